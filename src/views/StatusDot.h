#pragma once

#include <QColor>
#include <QWidget>

// A filled circle in a status colour.
class StatusDot : public QWidget {
    Q_OBJECT

public:
    explicit StatusDot(int diameter, QWidget* parent = nullptr);

    void setColor(const QColor& color);
    QColor color() const { return color_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor color_;
};
