#include "services/ApplicationSupport.h"
#include "services/Preferences.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

using TestSupport::readFile;
using TestSupport::writeFile;
namespace AS = ApplicationSupport;

class TestApplicationSupport : public QObject {
    Q_OBJECT

    QTemporaryDir bundle;

private Q_SLOTS:
    void init() {
        QDir(AS::supportURL()).removeRecursively();
        QFile::remove(Preferences::filePath());
        QDir(bundle.path()).removeRecursively();
        writeFile(bundle.filePath("data/bible.sqlite"), "SQLite format 3\0 web");
        writeFile(bundle.filePath("bookmarks.json"), "{\"bookmarks\":[]}\n");
        writeFile(bundle.filePath("themes.json"),
                  "{\"defaultThemeId\":\"lowerThird\",\"themes\":[]}\n");
    }

    void firstLaunchSeedsAndLaterLaunchesNeverOverwrite() {
        QCOMPARE(AS::supportURL(), qEnvironmentVariable("XDG_DATA_HOME") + "/Vesperline");
        QCOMPARE(AS::bootstrap(bundle.path()), std::nullopt);
        QCOMPARE(readFile(AS::path("data/bible.sqlite")),
                 readFile(bundle.filePath("data/bible.sqlite")));
        QCOMPARE(readFile(AS::path("bookmarks.json")), QByteArray("{\"bookmarks\":[]}\n"));
        QVERIFY(QFile::exists(AS::path("themes.json")));
        QCOMPARE(readFile(AS::path("translation.json")),
                 QByteArray("{\n  \"attribution\": \"Scripture from WEB, public domain\",\n"
                            "  \"id\": \"WEB\",\n  \"label\": \"World English Bible\"\n}\n"));

        writeFile(AS::path("bookmarks.json"), "church edits");
        writeFile(bundle.filePath("data/bible.sqlite"), "a newer database");
        QCOMPARE(AS::bootstrap(bundle.path()), std::nullopt);
        QCOMPARE(readFile(AS::path("bookmarks.json")), QByteArray("church edits"));
        QVERIFY(readFile(AS::path("data/bible.sqlite")).startsWith("SQLite format 3"));

        // A lost translation record comes back with the WEB defaults; one that
        // does not read reads as them.
        QFile::remove(AS::path("translation.json"));
        QCOMPARE(AS::bootstrap(bundle.path()), std::nullopt);
        QCOMPARE(AS::loadTranslation(), AS::TranslationInfo::webDefaults());
        for (const QByteArray& bad : {QByteArray("{\"id\": \"NKJV\""),
                                      QByteArray(R"({"id":"NKJV","label":"New King James"})")}) {
            writeFile(AS::path("translation.json"), bad);
            QCOMPARE(AS::loadTranslation(), AS::TranslationInfo::webDefaults());
        }
    }

    void runtimeWithoutDatabaseStillSeedsTheFiles() {
        QFile::remove(bundle.filePath("data/bible.sqlite"));
        QCOMPARE(AS::bootstrap(bundle.path()), std::nullopt);
        QVERIFY(!QFile::exists(AS::path("data/bible.sqlite")));
        QVERIFY(!QFile::exists(AS::path("translation.json")));
        QVERIFY(QFile::exists(AS::path("bookmarks.json")));

        // No runtime at all: the folders, and no files to seed.
        QDir(AS::supportURL()).removeRecursively();
        QCOMPARE(AS::bootstrap(std::nullopt), std::nullopt);
        QVERIFY(QFileInfo(AS::path("media/slides")).isDir());
        QVERIFY(!QFile::exists(AS::path("bookmarks.json")));
    }

    void failuresBecomeTheirMessages() {
        // A file where the support folder should be.
        writeFile(AS::supportURL(), "not a folder");
        const auto blocked = AS::bootstrap(bundle.path());
        QVERIFY(blocked.has_value());
        QVERIFY2(blocked->startsWith("Could not create the data folder: "), qPrintable(*blocked));
        QFile::remove(AS::supportURL());

        // Unreadable sources (folders in place of files) fail the copy; nothing
        // half-copied is left behind for later launches to keep.
        QFile::remove(bundle.filePath("data/bible.sqlite"));
        QDir().mkpath(bundle.filePath("data/bible.sqlite"));
        const auto database = AS::bootstrap(bundle.path());
        QVERIFY(database.has_value());
        QVERIFY2(database->startsWith("Could not copy Bible database: "), qPrintable(*database));
        QVERIFY(!QFile::exists(AS::path("data/bible.sqlite")));
        QVERIFY(!QFile::exists(AS::path("translation.json")));

        QDir(bundle.filePath("data/bible.sqlite")).removeRecursively();
        QFile::remove(bundle.filePath("themes.json"));
        QDir().mkpath(bundle.filePath("themes.json"));
        const auto seed = AS::bootstrap(bundle.path());
        QVERIFY(seed.has_value());
        QVERIFY2(seed->startsWith("Could not copy themes.json: "), qPrintable(*seed));
        QVERIFY(QFile::exists(AS::path("bookmarks.json")));
        QVERIFY(!QFile::exists(AS::path("themes.json")));
    }

    // The records the server and the updater read: written as they read
    // them, and one that does not read falls back rather than failing.
    void recordsReadBackAndFallBack() {
        QVERIFY(AS::bootstrap(std::nullopt) == std::nullopt);
        QVERIFY(AS::saveTranslationsSelection("WEB", std::nullopt).ok());
        QCOMPARE(readFile(AS::path("translations-selection.json")),
                 QByteArray("{\n  \"primaryId\": \"WEB\"\n}\n"));

        QVERIFY(AS::saveApiBibleId("  de4e12af7f28f599-02 \n").ok());
        QCOMPARE(readFile(AS::path("api-config.json")),
                 QByteArray("{\n  \"bibleId\": \"de4e12af7f28f599-02\"\n}\n"));
        QCOMPARE(Preferences::stringValue("apiBibleId"), QString("de4e12af7f28f599-02"));
        writeFile(AS::path("api-config.json"), R"({"bibleId":"from-file","delayMs":250})");
        QCOMPARE(AS::loadApiBibleId(), QString("from-file"));
        for (const QByteArray& bad :
             {QByteArray(R"({"bibleId":"   "})"), QByteArray(R"({"delayMs":250})"),
              QByteArray(R"({"bibleId":"x","delayMs":2.5})"), QByteArray("{oops")}) {
            writeFile(AS::path("api-config.json"), bad);
            QCOMPARE(AS::loadApiBibleId(), QString("de4e12af7f28f599-02"));
        }

        QCOMPARE(AS::loadUpdateFeedURL(), AS::defaultUpdateFeedURL());
        QVERIFY(AS::saveUpdateFeedURL("  https://example.org/runtime/feed.json\n").ok());
        QCOMPARE(AS::loadUpdateFeedURL(), QUrl("https://example.org/runtime/feed.json"));
        // Edited by hand, with the spaces an editor leaves.
        writeFile(AS::path("update-feed-url.txt"), "  http://127.0.0.1:8123/feed.json\n");
        QCOMPARE(AS::loadUpdateFeedURL(), QUrl("http://127.0.0.1:8123/feed.json"));
        for (const QByteArray& bad : {QByteArray("   \n"), QByteArray("http://exa mple.org/feed"),
                                      QByteArray("feed.json")}) {
            writeFile(AS::path("update-feed-url.txt"), bad);
            QCOMPARE(AS::loadUpdateFeedURL(), AS::defaultUpdateFeedURL());
        }
    }
};

VESPERLINE_TEST_MAIN(TestApplicationSupport)
#include "tst_applicationsupport.moc"
