#include "services/Preferences.h"
#include "services/Settings.h"
#include "support/TestSupport.h"

#include <QFile>
#include <QSignalSpy>

using Key = Settings::Key;

class TestSettings : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { QFile::remove(Preferences::filePath()); }

    void absentKeysReadAsTheirDefaultsAndTheFlagsAreWritten() {
        QCOMPARE(Settings::integer(Key::serverPort), 3847);
        QCOMPARE(Settings::integer(Key::outputWidth), 1920);
        QCOMPARE(Settings::integer(Key::outputHeight), 1080);
        QCOMPARE(Settings::integer(Key::uiLayoutVersion), 0);
        QCOMPARE(Settings::integer(Key::outputDisplayID), std::nullopt);
        QCOMPARE(Settings::text(Key::apiBibleId), QString());
        QVERIFY(!Preferences::contains("showStartupLog"));
        QVERIFY(Settings::flag(Key::showStartupLog));
        QVERIFY(Settings::flag(Key::showWebOutputHint));
        QCOMPARE(Preferences::boolValue("showStartupLog"), true);
        QCOMPARE(Preferences::boolValue("showWebOutputHint"), true);
    }

    // A hand-edited file must not start the server on port 0 or open a 0 × 0
    // window.
    void valuesOutOfRangeOrOfAnotherTypeFallBack() {
        TestSupport::writeFile(Preferences::filePath(),
                               R"({"serverPort":70000,"outputWidth":99999,"outputHeight":12,)"
                               R"("outputDisplayID":-1,"showStartupLog":"no"})");
        QCOMPARE(Settings::integer(Key::serverPort), 3847);
        QCOMPARE(Settings::integer(Key::outputWidth), 7680);
        QCOMPARE(Settings::integer(Key::outputHeight), 320);
        QCOMPARE(Settings::integer(Key::outputDisplayID), std::nullopt);
        QVERIFY(Settings::flag(Key::showStartupLog));
    }

    void writesAreBoundedAndAnnouncedOncePerChange() {
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
