#include "views/QRCodeView.h"

#include "services/QRCodeGenerator.h"
#include "views/SemanticColors.h"

#include <QPainter>
#include <QPainterPath>

namespace {

constexpr qreal cornerRadius = 8;

} // namespace

QRCodeView::QRCodeView(QWidget* parent) : QWidget(parent) {
    setFixedSize(codeSize + 2 * padding, codeSize + 2 * padding);
    setAccessibleName(QStringLiteral("QR unavailable"));
}

void QRCodeView::setText(const QString& newText) {
    if (newText == text)
        return;
    text = newText;
    code = QRCodeGenerator::image(text, codeSize);
    setAccessibleName(code ? QStringLiteral("QR code of ") + text
                           : QStringLiteral("QR unavailable"));
    update();
}

void QRCodeView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (!code) {
        const QRectF box((width() - codeSize) / 2.0, (height() - codeSize) / 2.0, codeSize,
                         codeSize);
        QColor fill = SemanticColors::secondaryLabel(palette());
        fill.setAlphaF(0.2f);
        painter.setPen(Qt::NoPen);
        painter.setBrush(fill);
        painter.drawRoundedRect(box, cornerRadius, cornerRadius);
        painter.setPen(SemanticColors::secondaryLabel(palette()));
        painter.drawText(box, Qt::AlignCenter, QStringLiteral("QR unavailable"));
        return;
    }
    QPainterPath card;
    card.addRoundedRect(QRectF(rect()), cornerRadius, cornerRadius);
    painter.fillPath(card, Qt::white);
    // Smoothing would blur the module edges a camera looks for.
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.drawImage(QRectF(padding, padding, codeSize, codeSize), *code);
}
