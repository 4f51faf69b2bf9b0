#include "services/Preferences.h"
#include "support/TestSupport.h"

#include <QFile>

class TestPreferences : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { QFile::remove(Preferences::filePath()); }

    void valuesKeepTheirTypesInTheXdgConfigHome() {
        QCOMPARE(Preferences::filePath(),
                 qEnvironmentVariable("XDG_CONFIG_HOME") + "/Vesperline/preferences.json");
        QVERIFY(Preferences::setBool("showStartupLog", false).ok());
        QVERIFY(Preferences::setInteger("outputDisplayID", 4294967295LL).ok());
        QVERIFY(Preferences::setString("apiBibleId", "abc").ok());
        QCOMPARE(Preferences::boolValue("showStartupLog"), false);
        QCOMPARE(Preferences::integerValue("outputDisplayID"), 4294967295LL);
        QCOMPARE(Preferences::stringValue("apiBibleId"), QString("abc"));

        QVERIFY(Preferences::remove("outputDisplayID").ok());
        QVERIFY(!Preferences::contains("outputDisplayID"));
        QCOMPARE(Preferences::boolValue("showStartupLog"), false);
    }

    // Not coerced: asked for with another type, a value reads as absent.
    void handEditedValuesOfTheWrongShapeReadAsAbsent() {
        TestSupport::writeFile(
            Preferences::filePath(),
            R"({"serverPort":"8080","outputWidth":1920.5,"outputHeight":1080,"showStartupLog":1})");
        QCOMPARE(Preferences::integerValue("serverPort"), std::nullopt);
        QCOMPARE(Preferences::integerValue("outputWidth"), std::nullopt);
        QCOMPARE(Preferences::integerValue("outputHeight"), 1080);
        QCOMPARE(Preferences::boolValue("showStartupLog"), std::nullopt);
    }

    void aCorruptFileReadsAsEmptyAndIsRepairedByTheNextWrite() {
        TestSupport::writeFile(Preferences::filePath(), "{\"serverPort\": 40");
        QCOMPARE(Preferences::integerValue("serverPort"), std::nullopt);
        QVERIFY(Preferences::setInteger("serverPort", 5000).ok());
        QCOMPARE(Preferences::integerValue("serverPort"), 5000);
        QVERIFY(TestSupport::readFile(Preferences::filePath()).endsWith("}\n"));
    }
};

VESPERLINE_TEST_MAIN(TestPreferences)
#include "tst_preferences.moc"
