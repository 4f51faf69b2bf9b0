#pragma once

#include "views/BookmarkRowActions.h"

#include <QStyledItemDelegate>

class QAbstractItemView;

// Paints a bookmark row: the colour swatch, the label, the bucket badge and
// the reference below them, with the row's action buttons at the right.
// Rows without an open BookmarkRowActions (every row but the current one)
// get the buttons painted and pressable with the mouse; the current row's
// editor is that widget, so its buttons are real.
class BookmarkDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    explicit BookmarkDelegate(QAbstractItemView* view);

    // The action's icon in the row's secondary ink (delete in red), faded
    // when disabled.
    static QIcon actionIcon(BookmarkRowAction action, const QPalette& palette);
    static QRect actionRect(const QRect& row, BookmarkRowAction action);

    // Moves wait while a save started by the screen is under way.
    void setSaving(bool saving);
    bool isEnabled(const QModelIndex& index, BookmarkRowAction action) const;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget*, QAbstractItemModel*, const QModelIndex&) const override {}
    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const override;

Q_SIGNALS:
    void actionTriggered(BookmarkRowAction action, const QModelIndex& index);

protected:
    // Presses on painted buttons, before the view takes them for a
    // selection or a drag.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void paintFirstLine(QPainter* painter, const QStyleOptionViewItem& option,
                        const QModelIndex& index, const QRect& line) const;
    void paintActions(QPainter* painter, const QStyleOptionViewItem& option,
                      const QModelIndex& index) const;
    std::optional<BookmarkRowAction> actionAt(const QModelIndex& index, const QPoint& at) const;

    QAbstractItemView* view;
    bool saving = false;
    bool swallowRelease = false;
};
