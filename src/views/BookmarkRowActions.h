#pragma once

#include <QWidget>
#include <array>

class QToolButton;

// What a bookmark row offers: move up, move down, edit and delete.
enum class BookmarkRowAction { moveUp, moveDown, edit, remove };

// The row's actions as real buttons, laid over the current row of the list
// so that the keyboard and a screen reader reach them; the other rows have
// them painted by their delegate. Named for a screen reader, each with its
// icon, in the order of BookmarkRowAction.
class BookmarkRowActions : public QWidget {
    Q_OBJECT

public:
    static constexpr int buttonSize = 28;
    static constexpr int spacing = 2;
    static constexpr int count = 4;
    static constexpr int width = count * buttonSize + (count - 1) * spacing;

    static QString name(BookmarkRowAction action);
    static QString symbol(BookmarkRowAction action);

    explicit BookmarkRowActions(QWidget* parent);

    void setEnabled(BookmarkRowAction action, bool enabled);
    QToolButton* button(BookmarkRowAction action) const;

Q_SIGNALS:
    void triggered(BookmarkRowAction action);

private:
    std::array<QToolButton*, count> buttons{};
};
