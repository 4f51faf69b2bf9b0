#pragma once

#include <QImage>
#include <QString>
#include <QWidget>
#include <optional>

// A QR code of a text, 240 × 240 with its modules kept sharp, on a white
// rounded card whose margin is the quiet zone a camera needs; "QR
// unavailable" in its place when the text cannot be encoded.
class QRCodeView : public QWidget {
    Q_OBJECT

public:
    static constexpr int codeSize = 240;
    static constexpr int padding = 16;

    explicit QRCodeView(QWidget* parent = nullptr);

    // Encodes `text` unless it is the text already shown.
    void setText(const QString& text);
    bool hasCode() const { return code.has_value(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString text;
    // What is drawn, made from `text`.
    std::optional<QImage> code;
};
