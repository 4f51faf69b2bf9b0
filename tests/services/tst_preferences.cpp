#include "services/Preferences.h"
#include "support/TestSupport.h"

#include <QFile>

class TestPreferences : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { QFile::remove(Preferences::filePath()); }

    // Not coerced: asked for with another type, a value reads as absent.
    void valuesKeepTheirTypesInTheXdgConfigHome() {
        QCOMPARE(Preferences::filePath(),
                 qEnvironmentVariable("XDG_CONFIG_HOME") + "/Vesperline/preferences.json");
        QVERIFY(Preferences::setBool("showStartupLog", false).ok());
        QVERIFY(Preferences::setInteger("outputDisplayID", 4294967295LL).ok());
        QVERIFY(Preferences::setString("apiBibleId", "abc").ok());
        QCOMPARE(Preferences::boolValue("showStartupLog"), false);
        QCOMPARE(Preferences::integerValue("outputDisplayID"), 4294967295LL);
        QCOMPARE(Preferences::stringValue("apiBibleId"), QString("abc"));
        QCOMPARE(Preferences::boolValue("outputDisplayID"), std::nullopt);
        QCOMPARE(Preferences::integerValue("apiBibleId"), std::nullopt);
    }

    // Hand edits: a fraction is no integer, and a file that does not parse
    // reads as empty until the next write replaces it.
    void aCorruptFileReadsAsEmptyAndIsRepairedByTheNextWrite() {
        TestSupport::writeFile(Preferences::filePath(), R"({"outputWidth":1920.5})");
        QCOMPARE(Preferences::integerValue("outputWidth"), std::nullopt);
        TestSupport::writeFile(Preferences::filePath(), "{\"serverPort\": 40");
        QCOMPARE(Preferences::integerValue("serverPort"), std::nullopt);
        QVERIFY(Preferences::setInteger("serverPort", 5000).ok());
        QCOMPARE(Preferences::integerValue("serverPort"), 5000);
        QVERIFY(TestSupport::readFile(Preferences::filePath()).endsWith("}\n"));
    }
};

VESPERLINE_TEST_MAIN(TestPreferences)
#include "tst_preferences.moc"
