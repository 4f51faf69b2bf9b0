#include "models/AtomicFileWriter.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

class TestAtomicFileWriter : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void writeAndCopyReplaceTheTargetWholeAndLeaveNoTemporaryFiles() {
        QTemporaryDir dir;
        const QString path = dir.filePath("bookmarks.json");
        TestSupport::writeFile(path, "old contents that are longer than the new ones");
        QVERIFY(AtomicFileWriter::write(path, "new").ok());
        QCOMPARE(TestSupport::readFile(path), QByteArray("new"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{"bookmarks.json"});

        // A copy is complete however large the file.
        QByteArray big(3 * 1024 * 1024 + 17, '\0');
        for (int i = 0; i < big.size(); ++i)
            big[i] = char(i * 31);
        TestSupport::writeFile(dir.filePath("src.sqlite"), big);
        QVERIFY(
            AtomicFileWriter::copy(dir.filePath("src.sqlite"), dir.filePath("dst.sqlite")).ok());
        QCOMPARE(TestSupport::readFile(dir.filePath("dst.sqlite")), big);
        QVERIFY(!AtomicFileWriter::copy(dir.filePath("absent"), dir.filePath("dst2")).ok());
        QVERIFY(!QFile::exists(dir.filePath("dst2")));
    }

    void failedWritesReportTheErrorAndKeepTheOldFile() {
        QTemporaryDir dir;
        const auto missing = AtomicFileWriter::write(dir.filePath("no/such/folder/x.json"), "x");
        QVERIFY(!missing.ok());
        QVERIFY(missing.error().contains("x.json"));

        if (geteuid() == 0)
            QSKIP("root writes into read-only folders");
        const QString folder = dir.filePath("ro");
        QDir().mkpath(folder);
        TestSupport::writeFile(folder + "/a.json", "kept");
        QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        const auto denied = AtomicFileWriter::write(folder + "/a.json", "lost");
        QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                          QFileDevice::ExeOwner);
        QVERIFY(!denied.ok());
        QCOMPARE(TestSupport::readFile(folder + "/a.json"), QByteArray("kept"));
    }
};

VESPERLINE_TEST_MAIN(TestAtomicFileWriter)
#include "tst_atomicfilewriter.moc"
