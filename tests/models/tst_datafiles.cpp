#include "models/AtomicFileWriter.h"
#include "models/BookmarksFileIO.h"
#include "models/JsonCoding.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {

BookmarksConfig sampleBookmarks() {
    Bookmark single{"b1", "Psalm 23", "Psalms", 23, 1, std::nullopt, "Comfort", "blue"};
    Bookmark range{"b2", "John 3:16–17", "John", 3, 16, 17, std::nullopt, std::nullopt};
    return BookmarksConfig{{single, range}};
}

} // namespace

class TestDataFiles : public QObject {
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

    // Key order is nlohmann's (the exact files are tst_applicationsupport's),
    // the field names tst_records', the playlists file tst_appviewmodel's;
    // here, that a file is written pretty, in UTF-8 as it is, has no nulls
    // and reads back equal.
    void filesAreWrittenPrettyWithoutNullsAndReadBackEqual() {
        QTemporaryDir dir;
        const QString bookmarks = dir.filePath("bookmarks.json");
        QVERIFY(BookmarksFileIO::save(sampleBookmarks(), bookmarks).ok());
        const QByteArray text = TestSupport::readFile(bookmarks);
        QVERIFY2(text.startsWith("{\n  \"bookmarks\": [\n    {\n") && text.endsWith("]\n}\n") &&
                     text.contains("3:16–17") && !text.contains("null"),
                 text.constData());
        QVERIFY(JsonCoding::decodeFile<BookmarksConfig>(bookmarks).value() == sampleBookmarks());
    }

    // A failed save is the writer's above, and the model's in tst_appviewmodel.
    // Unreadable files: what the decoder says about broken text is
    // tst_records', a broken file's tst_appviewmodel's; here, that a file
    // that cannot be read is named.
    void failedReadsSayWhich() {
        QTemporaryDir dir;
        const auto absent = JsonCoding::decodeFile<BookmarksConfig>(dir.filePath("none.json"));
        QVERIFY(!absent.ok());
        QVERIFY2(absent.error().startsWith(dir.filePath("none.json") + ": "),
                 qPrintable(absent.error()));
        QVERIFY(!JsonCoding::decodeFile<BookmarksConfig>(dir.path()).ok());
    }
};

VESPERLINE_TEST_MAIN(TestDataFiles)
#include "tst_datafiles.moc"
