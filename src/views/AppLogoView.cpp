#include "views/AppLogoView.h"

#include <QPainter>
#include <QSvgRenderer>

namespace {

QSvgRenderer& logo() {
    static QSvgRenderer renderer(QStringLiteral(":/AppLogo.svg"));
    return renderer;
}

} // namespace

AppLogoView::AppLogoView(int height, QWidget* parent) : QWidget(parent), logoHeight(height) {
    setAccessibleName(QStringLiteral("Vesperline"));
    setFixedSize(sizeHint());
}

QSize AppLogoView::sizeHint() const {
    const QSizeF natural = logo().defaultSize();
    if (natural.isEmpty())
        return {logoHeight, logoHeight};
    return {qRound(natural.width() * logoHeight / natural.height()), logoHeight};
}

void AppLogoView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    logo().render(&painter, QRectF(rect()));
}
