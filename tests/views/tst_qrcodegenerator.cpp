#include "services/QRCodeGenerator.h"
#include "support/QRReader.h"
#include "support/TestSupport.h"

#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

namespace {

// What a camera reads off the image, given the white margin that the screen
// draws around it; empty when nothing can be read.
QString decoded(const QImage& code) {
    const int margin = 40;
    QImage page(code.size() + QSize(2 * margin, 2 * margin), QImage::Format_RGB32);
    page.fill(Qt::white);
    QPainter(&page).drawImage(QRect(QPoint(margin, margin), code.size()), code);
    QTemporaryDir dir;
    const QString file = dir.filePath("code.png");
    return page.save(file) ? TestSupport::readQRCode(file) : QString();
}

} // namespace

class TestQRCodeGenerator : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void readsBackAsTheTextAtTheRequestedSize_data() {
        QTest::addColumn<QString>("text");
        QTest::newRow("presenter URL") << "http://192.168.1.20:3847/presenter";
        QTest::newRow("no LAN address") << "http://—:3847/presenter";
        QTest::newRow("long") << "http://192.168.1.20:3847/presenter?note=" +
                                     QString("x").repeated(360);
    }

    // Each module is 10 × 10 pixels, so the bitmap grows with the text; its
    // nominal size stays what the screen lays out.
    void readsBackAsTheTextAtTheRequestedSize() {
        QFETCH(QString, text);
        const std::optional<QImage> code = QRCodeGenerator::image(text, 240);
        QVERIFY(code);
        QCOMPARE(code->deviceIndependentSize(), QSizeF(240, 240));
        QCOMPARE(code->width(), code->height());
        const int modules = code->width() / 10;
        QCOMPARE(modules * 10, code->width());
        QCOMPARE((modules - 21) % 4, 0); // a QR code version's side
        QCOMPARE(decoded(*code), text);
    }

    void nothingToEncodeGivesNoImage() {
        QVERIFY(!QRCodeGenerator::image(QString(), 240));
        // Beyond the capacity of the largest code at level M.
        QVERIFY(!QRCodeGenerator::image(QString("x").repeated(2400), 240));
    }
};

VESPERLINE_TEST_MAIN(TestQRCodeGenerator)
#include "tst_qrcodegenerator.moc"
