#include "services/DisplayScreen.h"
#include "support/GuiTestMain.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTemporaryDir>

namespace {

// The offscreen platform builds its screens from a JSON file. It orders them
// by name and makes the first the primary one, and a repeated name yields a
// second screen with the same connector name.
constexpr char screensConfig[] = R"({"screens": [
  {"name": "DP-1",   "x": 0,    "y": 0, "width": 1280, "height": 720, "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1},
  {"name": "HDMI-2", "x": 1280, "y": 0, "width": 1024, "height": 768, "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1},
  {"name": "HDMI-2", "x": 2304, "y": 0, "width": 640,  "height": 480, "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}
]})";

void useThreeOffscreenScreens() {
    static QTemporaryDir dir;
    const QString path = dir.filePath("screens.json");
    TestSupport::writeFile(path, screensConfig);
    qputenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + path).toUtf8());
}

} // namespace

class TestDisplayScreen : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QCOMPARE(QGuiApplication::screens().size(), 3); }

    void displayNumberIsFnv1aOverUtf8() {
        // Reference values of 32-bit FNV-1a; stored preferences depend on them.
        QCOMPARE(DisplayScreen::displayNumber(""), 0x811c9dc5u);
        QCOMPARE(DisplayScreen::displayNumber("foobar"), 0xbf9cf968u);
        // UTF-8 bytes, not Latin-1 or UTF-16 code units.
        QCOMPARE(DisplayScreen::displayNumber(QStringLiteral("Écran")), 0x41bc67ebu);
    }

    void eachConnectorIsListedOnceAndFoundByItsId() {
        const QList<DisplayScreen> displays = DisplayScreen::enumerate();
        const DisplayScreen dp{DisplayScreen::displayNumber("DP-1"), "DP-1", true, 1280, 720};
        const DisplayScreen hdmi{DisplayScreen::displayNumber("HDMI-2"), "HDMI-2", false, 1024,
                                 768};
        QCOMPARE(displays, (QList<DisplayScreen>{dp, hdmi}));
        QCOMPARE(displays[0].label(), QStringLiteral("DP-1 (Main) · 1280×720"));
        QCOMPARE(displays[1].label(), QStringLiteral("HDMI-2 · 1024×768"));

        // The first screen of a repeated name answers for it; an unplugged
        // monitor's stored id finds nothing, and the owner falls back to the
        // default screen.
        const QScreen* first = DisplayScreen::screen(hdmi.id);
        QVERIFY(first && first->geometry() == QRect(1280, 0, 1024, 768));
        QCOMPARE(DisplayScreen::screen(DisplayScreen::displayNumber("DP-9")), nullptr);
        QCOMPARE(DisplayScreen::defaultScreen(), QGuiApplication::primaryScreen());
    }
};

VESPERLINE_GUI_TEST_MAIN_WITH(TestDisplayScreen, useThreeOffscreenScreens)
#include "tst_displayscreen.moc"
