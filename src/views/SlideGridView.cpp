#include "views/SlideGridView.h"

#include "views/SlideCardDelegate.h"

#include <QResizeEvent>

SlideGridView::SlideGridView(SlideCardDelegate* delegate, QWidget* parent)
    : QListView(parent), delegate(delegate) {
    setViewMode(QListView::IconMode);
    setMovement(QListView::Static);
    setResizeMode(QListView::Adjust);
    setWrapping(true);
    setUniformItemSizes(true);
    setSpacing(0);
    setDragEnabled(false);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::EditKeyPressed);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    viewport()->setAutoFillBackground(false);
    setItemDelegate(delegate);
}

void SlideGridView::setModel(QAbstractItemModel* model) {
    QListView::setModel(model);
    for (const auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(model, signal, this, &SlideGridView::fit);
    connect(model, &QAbstractItemModel::modelReset, this, &SlideGridView::fit);
    fit();
}

void SlideGridView::resizeEvent(QResizeEvent* event) {
    QListView::resizeEvent(event);
    if (event->size().width() != event->oldSize().width())
        fit();
}

void SlideGridView::fit() {
    constexpr int gap = SlideCardDelegate::spacing;
    const int width = qMax(viewport()->width(), SlideCardDelegate::minimumCardWidth);
    // Each cell is a card and the gap after it, and the cells fill the row;
    // the view wraps a row that reaches its last pixel, so one is left free.
    const int columns = qMax(1, (width - 1) / (SlideCardDelegate::minimumCardWidth + gap));
    const int cellWidth = (width - 1) / columns;
    delegate->setCardWidth(cellWidth - gap);
    setGridSize(QSize(cellWidth, SlideCardDelegate::cardHeight + gap));
    const int count = model() ? model()->rowCount() : 0;
    const int rows = (count + columns - 1) / columns;
    setFixedHeight(rows * (SlideCardDelegate::cardHeight + gap) + frameWidth() * 2);
    doItemsLayout();
}
