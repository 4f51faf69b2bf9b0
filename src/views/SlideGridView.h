#pragma once

#include <QListView>

class SlideCardDelegate;

// The lesson slides as a grid of cards: as many columns of at least the
// minimum card width as fit, and as tall as its rows, so the screen's own
// scroll area is the only one.
class SlideGridView : public QListView {
    Q_OBJECT

public:
    SlideGridView(SlideCardDelegate* delegate, QWidget* parent);

    void setModel(QAbstractItemModel* model) override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void fit();

    SlideCardDelegate* delegate;
};
