#pragma once

#include <QWidget>

// The program's logo at a given height; the width follows its aspect ratio.
class AppLogoView : public QWidget {
    Q_OBJECT

public:
    explicit AppLogoView(int height, QWidget* parent = nullptr);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int logoHeight;
};
