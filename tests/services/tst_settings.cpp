#include "services/Preferences.h"
#include "services/Settings.h"
#include "support/TestSupport.h"

#include <QFile>
#include <QSignalSpy>

using Key = Settings::Key;

// The preferences store and the typed settings read through it.
class TestSettings : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { QFile::remove(Preferences::filePath()); }

    // Not coerced: asked for with another type, a value reads as absent.
    void storedValuesKeepTheirTypesInTheXdgConfigHome() {
        QCOMPARE(Preferences::filePath(),
                 qEnvironmentVariable("XDG_CONFIG_HOME") + "/Vesperline/preferences.json");
        QVERIFY(Preferences::setInteger("outputDisplayID", 4294967295LL).ok());
        QVERIFY(Preferences::setString("apiBibleId", "abc").ok());
        QCOMPARE(Preferences::integerValue("outputDisplayID"), 4294967295LL);
        QCOMPARE(Preferences::stringValue("apiBibleId"), QString("abc"));
        QCOMPARE(Preferences::boolValue("outputDisplayID"), std::nullopt);
        QCOMPARE(Preferences::integerValue("apiBibleId"), std::nullopt);
    }

    // A hand-edited file must not start the server on port 0 or open a 0 × 0
    // window: a fraction is no integer, values out of range or of another
    // type fall back, and a file that does not parse reads as empty until the
    // next write replaces it.
    void handEditsFallBackAndACorruptFileIsRepairedByTheNextWrite() {
        TestSupport::writeFile(Preferences::filePath(),
                               R"({"serverPort":70000,"outputWidth":99999,"outputHeight":12,)"
                               R"("outputDisplayID":-1,"showStartupLog":"no",)"
                               R"("uiLayoutVersion":1.5})");
        QCOMPARE(Settings::integer(Key::serverPort), 3847);
        QCOMPARE(Settings::integer(Key::outputWidth), 7680);
        QCOMPARE(Settings::integer(Key::outputHeight), 320);
        QCOMPARE(Settings::integer(Key::outputDisplayID), std::nullopt);
        QVERIFY(Settings::flag(Key::showStartupLog));
        QCOMPARE(Preferences::integerValue("uiLayoutVersion"), std::nullopt);

        TestSupport::writeFile(Preferences::filePath(), "{\"serverPort\": 40");
        QCOMPARE(Preferences::integerValue("serverPort"), std::nullopt);
        QVERIFY(Preferences::setInteger("serverPort", 5000).ok());
        QCOMPARE(Preferences::integerValue("serverPort"), 5000);
        QVERIFY(TestSupport::readFile(Preferences::filePath()).endsWith("}\n"));
    }

    // An absent flag reads as on and is written so; a write is bounded like
    // a read and announced only when it changes the value.
    void flagsAreWrittenOnAndWritesAreAnnouncedOncePerChange() {
        QVERIFY(!Preferences::contains("showStartupLog"));
        QVERIFY(Settings::flag(Key::showStartupLog));
        QVERIFY(Settings::flag(Key::showWebOutputHint));
        QCOMPARE(Preferences::boolValue("showStartupLog"), true);
        QCOMPARE(Preferences::boolValue("showWebOutputHint"), true);

        QSignalSpy changes(&Settings::shared(), &Settings::changed);
        QVERIFY(Settings::setInteger(Key::outputWidth, 10000).ok());
        QCOMPARE(Preferences::integerValue("outputWidth"), 7680);
        QVERIFY(Settings::setInteger(Key::outputWidth, 7680).ok());
        QVERIFY(Settings::setFlag(Key::showWebOutputHint, false).ok());
        QVERIFY(Settings::setText(Key::apiBibleId, "de4e12af7f28f599-02").ok());
        QCOMPARE(Settings::text(Key::apiBibleId), QString("de4e12af7f28f599-02"));
        QCOMPARE(changes.size(), 3);
        QCOMPARE(changes.at(0).at(0).value<Key>(), Key::outputWidth);
        QCOMPARE(changes.at(1).at(0).value<Key>(), Key::showWebOutputHint);
    }
};

VESPERLINE_TEST_MAIN(TestSettings)
#include "tst_settings.moc"
