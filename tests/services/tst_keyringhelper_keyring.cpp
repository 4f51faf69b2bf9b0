// The credentials against a real Secret Service: tests/run-with-keyring runs
// this program with an unlocked keyring, on a bus without one, and on one
// whose keyring never answers (VESPERLINE_TEST_SESSION_BUS says which); run
// by hand it sees no bus at all.
#include "services/ApiBibleCredentials.h"
#include "services/ApplicationSupport.h"
#include "services/KeyringHelper.h"
#include "services/Preferences.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <algorithm>
#include <filesystem>

using KeyringHelper::Key;
using TestSupport::readFile;
namespace AS = ApplicationSupport;

namespace {

bool keyringRunning() {
    return qEnvironmentVariable("VESPERLINE_TEST_SESSION_BUS") == QStringLiteral("unlocked");
}

// How many items the keyring holds for the account, as another program sees it.
int itemsFor(Key key) {
    QProcess search;
    search.setProcessChannelMode(QProcess::MergedChannels);
    search.start(QStringLiteral("secret-tool"),
                 {QStringLiteral("search"), QStringLiteral("--all"), QStringLiteral("service"),
                  KeyringHelper::serviceName(), QStringLiteral("account"),
                  KeyringHelper::accountName(key)});
    if (!search.waitForFinished(10000))
        return -1;
    const QList<QByteArray> lines = search.readAll().split('\n');
    return int(std::count_if(lines.begin(), lines.end(),
                             [](const QByteArray& line) { return line.startsWith("[/"); }));
}

bool ownerOnly(const QString& file) {
    namespace fs = std::filesystem;
    return fs::status(file.toStdString()).permissions() ==
           (fs::perms::owner_read | fs::perms::owner_write);
}

} // namespace

class TestKeyringHelper : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() {
        QDir(AS::supportURL()).removeRecursively();
        QVERIFY(!AS::bootstrap(std::nullopt));
        QFile::remove(Preferences::filePath());
        if (keyringRunning()) {
            KeyringHelper::remove(Key::apiKey);
            KeyringHelper::remove(Key::bibleId);
        }
    }

    void savingReplacesTheOneItemOfEachAccount() {
        if (!keyringRunning())
            QSKIP("needs a keyring");
        QCOMPARE(KeyringHelper::save(QStringLiteral("first-key"), Key::apiKey), std::nullopt);
        QCOMPARE(KeyringHelper::save(QStringLiteral("second-key ✓"), Key::apiKey), std::nullopt);
        QCOMPARE(KeyringHelper::load(Key::apiKey), QStringLiteral("second-key ✓"));
        QCOMPARE(itemsFor(Key::apiKey), 1);
        QVERIFY(!KeyringHelper::hasCredentials());

        QCOMPARE(KeyringHelper::save(QString(), Key::bibleId), std::nullopt);
        QCOMPARE(KeyringHelper::load(Key::bibleId), QString());
        QVERIFY2(!KeyringHelper::hasCredentials(), "an empty Bible ID is no credential");
        QCOMPARE(KeyringHelper::save(QStringLiteral("de4e12af7f28f599-02"), Key::bibleId),
                 std::nullopt);
        QVERIFY(KeyringHelper::hasCredentials());
    }

    // import.env is for its owner alone from its first byte and after every
    // rewrite. The credentials are saved whole or not at all, and cleared
    // together.
    void credentialsAndTheImportEnvFile() {
        if (!keyringRunning())
            QSKIP("needs a keyring");
        QCOMPARE(ApiBibleCredentials::save(QStringLiteral("key"), QStringLiteral("   ")),
                 QStringLiteral("API key and Bible ID are both required."));
        QCOMPARE(KeyringHelper::load(Key::apiKey), std::nullopt);
        QVERIFY(!QFile::exists(AS::path("api-config.json")));

        QVERIFY(AS::writeImportEnvFile().ok());
        const QString file = AS::path("import.env");
        QCOMPARE(readFile(file), ("# Vesperline — written by the desktop app. Do not commit.\n"
                                  "VESPERLINE_CONFIG_DIR=" +
                                  AS::supportURL() + "\n" +
                                  "VESPERLINE_DB_PATH=" + AS::path("data/bible.nkjv.sqlite") + "\n")
                                     .toUtf8());
        QVERIFY(ownerOnly(file));

        // A copy loosened by hand is narrowed again by the next write.
        QVERIFY(QFile::setPermissions(file, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                QFileDevice::ReadGroup | QFileDevice::ReadOther));
        QVERIFY(!ownerOnly(file));
        QCOMPARE(ApiBibleCredentials::save(QStringLiteral(" secret-key \n"),
                                           QStringLiteral("  bible-1 ")),
                 std::nullopt);
        const QStringList lines = QString::fromUtf8(readFile(file)).split('\n');
        QCOMPARE(lines.mid(3), QStringList({QStringLiteral("API_BIBLE_KEY=secret-key"),
                                            QStringLiteral("API_BIBLE_ID=bible-1"), QString()}));
        QVERIFY(ownerOnly(file));

        ApiBibleCredentials::clear();
        QCOMPARE(itemsFor(Key::apiKey), 0);
        QCOMPARE(itemsFor(Key::bibleId), 0);
        QVERIFY(!QFile::exists(file));
        // The ID's other copies stay for the field to offer again.
        QCOMPARE(AS::loadApiBibleId(), QStringLiteral("bible-1"));
    }

    void withoutAWorkingKeyringSavingFailsInWordsAndNothingHangs() {
        if (keyringRunning())
            QSKIP("needs a session without a working keyring");
        const qint64 bound = KeyringHelper::answerTimeoutMs + 2000;
        QElapsedTimer clock;
        clock.start();
        const std::optional<QString> failure =
            KeyringHelper::save(QStringLiteral("key"), Key::apiKey);
        QVERIFY2(clock.elapsed() < bound, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(failure);
        QVERIFY2(failure->startsWith("Keyring save failed (") &&
                     failure->contains("GNOME Keyring or KWallet must be running"),
                 qPrintable(*failure));

        clock.restart();
        QCOMPARE(KeyringHelper::load(Key::apiKey), std::nullopt);
        KeyringHelper::remove(Key::bibleId);
        QVERIFY2(clock.elapsed() < 2 * bound, qPrintable(QString::number(clock.elapsed())));
        // One wait for both credentials, not two.
        clock.restart();
        QVERIFY(!KeyringHelper::hasCredentials());
        QVERIFY2(clock.elapsed() < bound, qPrintable(QString::number(clock.elapsed())));

        // Saving both reports the keyring's failure; the data folder is untouched.
        QCOMPARE(ApiBibleCredentials::save(QStringLiteral("key"), QStringLiteral("bible")),
                 failure);
        QVERIFY(!QFile::exists(AS::path("import.env")));
    }
};

VESPERLINE_TEST_MAIN(TestKeyringHelper)
#include "tst_keyringhelper_keyring.moc"
