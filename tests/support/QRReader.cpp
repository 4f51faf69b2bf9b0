#include "support/QRReader.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTest>

namespace TestSupport {

QString readQRCode(const QString& imageFile) {
    const QString zbarimg = QStandardPaths::findExecutable(QStringLiteral("zbarimg"));
    if (zbarimg.isEmpty()) {
        QTest::qFail("zbarimg is missing: run scripts/install-deps", __FILE__, __LINE__);
        return {};
    }
    QProcess zbar;
    zbar.start(zbarimg, {QStringLiteral("--quiet"), QStringLiteral("--raw"), imageFile});
    if (!zbar.waitForFinished(30000) || zbar.exitCode() != 0)
        return {};
    QString text = QString::fromUtf8(zbar.readAllStandardOutput());
    if (text.endsWith('\n'))
        text.chop(1);
    return text;
}

} // namespace TestSupport
