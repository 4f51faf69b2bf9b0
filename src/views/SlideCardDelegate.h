#pragma once

#include <QStyledItemDelegate>

// A lesson slide card: the thumbnail on black, the "Label" field and a small
// destructive "Delete". Every card paints its field and button and answers
// clicks on them; the selected card's editor holds a real line edit and
// button in their place (see SelectionEditor), whose every keystroke is
// committed to the model.
class SlideCardDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    static constexpr int minimumCardWidth = 140;
    static constexpr int spacing = 12;
    static constexpr int cardHeight = 8 + 80 + 6 + 28 + 6 + 24 + 8;

    using QStyledItemDelegate::QStyledItemDelegate;

    // Set by the grid as its width changes.
    void setCardWidth(int width) { cardWidth = width; }

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override;
    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const override;

Q_SIGNALS:
    void deleteRequested(const QString& slideId);

protected:
    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override;

private:
    int cardWidth = minimumCardWidth;
};
