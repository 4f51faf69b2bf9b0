#pragma once

#include <QStyledItemDelegate>

// A playlist row: its label, then up, down and remove as borderless icon
// buttons. Every row paints its buttons and answers clicks on them; the
// selected row's editor holds the same buttons as real widgets (see
// SelectionEditor), named for a screen reader.
class PlaylistItemDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    static constexpr int rowHeight = 34;

    using QStyledItemDelegate::QStyledItemDelegate;

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
    void moveRequested(int row, int delta);
    void removeRequested(const QString& itemId);

protected:
    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override;

private:
    enum class Control { up, down, remove };
    void trigger(Control control, const QModelIndex& index);
};
