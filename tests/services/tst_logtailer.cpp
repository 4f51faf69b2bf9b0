#include "services/LogTailer.h"
#include "support/TestSupport.h"

#include <QFile>
#include <QTemporaryDir>

namespace {

void append(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Append));
    file.write(bytes);
}

} // namespace

class TestLogTailer : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    QString log() const { return dir.filePath("logs/server.log"); }

private Q_SLOTS:
    void init() { QFile::remove(log()); }

    void beginSessionReadsTheLast500LinesAndCreatesAMissingFile() {
        LogTailer tailer(log());
        tailer.beginSession();
        QVERIFY(QFile::exists(log()));
        QVERIFY(tailer.lines().isEmpty());

        QByteArray many;
        for (int i = 1; i <= 620; ++i)
            many += "line " + QByteArray::number(i) + "\n";
        append(log(), many + "  Start clicked  \n\n");
        tailer.beginSession();
        QCOMPARE(tailer.lines().size(), 500);
        QCOMPARE(tailer.lines().first(), QString("line 122"));
        QCOMPARE(tailer.lines().last(), QString("Start clicked"));
        // Emptied for the next start, the file is read from its beginning.
        QVERIFY(QFile::resize(log(), 0));
        append(log(), "new\n");
        tailer.pollOnce();
        QCOMPARE(tailer.lines(), QStringList{"new"});
    }

    void partialLinesAndCharactersWaitForTheirEnd() {
        LogTailer tailer(log());
        tailer.beginSession();
        append(log(), "Listening on http://0.0");
        tailer.pollOnce();
        QVERIFY(tailer.lines().isEmpty());
        // CR LF ends a line like LF; the warning sign is three bytes, split
        // across two reads.
        const QByteArray warning = QString("⚠️ EADDRINUSE\r\n").toUtf8();
        append(log(), ".0.0:3847\r\n" + warning.left(1));
        tailer.pollOnce();
        QCOMPARE(tailer.lines(), QStringList{"Listening on http://0.0.0.0:3847"});
        append(log(), warning.mid(1) + "next");
        tailer.pollOnce();
        QCOMPARE(tailer.lines(),
                 QStringList({"Listening on http://0.0.0.0:3847", "⚠️ EADDRINUSE"}));
        append(log(), "\n");
        tailer.pollOnce();
        QCOMPARE(tailer.lines().last(), QString("next"));
    }
};

VESPERLINE_TEST_MAIN(TestLogTailer)
#include "tst_logtailer.moc"
