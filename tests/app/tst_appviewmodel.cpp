#include "app/AppTestSupport.h"
#include "app/AppViewModel.h"
#include "models/BookmarksConfig.h"
#include "models/JsonCoding.h"
#include "services/ApplicationSupport.h"
#include "services/DisplayScreen.h"
#include "services/LANAddresses.h"
#include "services/Preferences.h"
#include "services/ServerManager.h"
#include "support/GuiTestMain.h"
#include "support/ServerFixtures.h"

#include <QDesktopServices>
#include <QSignalSpy>

using namespace TestSupport;
using AppTest::InstallTree;

namespace {

// Two monitors, so that a choice between them means something.
void twoScreens() {
    const QString config = qEnvironmentVariable("HOME") + "/screens.json";
    writeFile(config, twoScreensConfig);
    qputenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + config).toUtf8());
}

Bookmark bookmark(const QString& id, const QString& label) {
    return {id, label, "Psalms", 23, 1, 6, "Comfort", std::nullopt};
}

QString supportFile(const QString& name) {
    return ApplicationSupport::path(name);
}

std::vector<Bookmark> bookmarksOnDisk() {
    return JsonCoding::decodeFile<BookmarksConfig>(supportFile("bookmarks.json")).value().bookmarks;
}

// URLs handed to the desktop's browser, caught before they leave the program.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    UrlCatcher() { QDesktopServices::setUrlHandler("http", this, "open"); }
    ~UrlCatcher() override { QDesktopServices::unsetUrlHandler("http"); }
    QList<QUrl> opened;
public Q_SLOTS:
    void open(const QUrl& url) { opened << url; }
};

} // namespace

class TestAppViewModel : public QObject {
    Q_OBJECT

    std::unique_ptr<InstallTree> tree;
    std::unique_ptr<AppViewModel> app;
    int port = 0;
    QString n;

    AppViewModel& make(AppViewModel::Environment environment) {
        app = std::make_unique<AppViewModel>(std::move(environment));
        return *app;
    }
    AppViewModel& make() { return make(tree->environment()); }

    // The launch-time restore has finished and the mirror has followed it.
    void awaitRestore() {
        QTRY_VERIFY_WITH_TIMEOUT(AppTest::restoreSettled(*app), TestSupport::settle);
    }

private Q_SLOTS:
    void init() {
        AppTest::prepareFirstLaunch(tree, port);
        n = QString::number(port);
    }

    void cleanup() {
        if (app)
            AppTest::tearDown(*app, app);
        QTRY_VERIFY2(!PortOwner::isLocalTCPPortOpen(port), "a test left its port busy");
    }

    // Something holds the port and is never ready: construction must not
    // wait for it, and the status says the way out. What the stored settings
    // mean is tst_settings'; the model adds the monitor: the primary one when
    // none is stored, a monitor that is there stays chosen, one unplugged
    // since gives way to the first, which is stored.
    void firstLaunchSeedsWithoutWaitingAndTheOutputGoesToAMonitorThatIsThere() {
        ExternalServer notReady("slow:600000", port);
        auto& a = make();
        QCOMPARE(a.server().status(), ServerStatus::starting);

        QCOMPARE(a.bootstrapError(), std::nullopt);
        QVERIFY(QFile::exists(supportFile("data/bible.sqlite")));
        // Read before the seeding wrote it.
        QCOMPARE(a.translationInfo(), ApplicationSupport::TranslationInfo::webDefaults());
        QCOMPARE(a.outputURLString(), "http://127.0.0.1:" + n + "/output?w=1920&h=1080");
        const quint32 primary = DisplayScreen::displayNumber("DP-1");
        QCOMPARE(a.selectedDisplayID(), primary);

        awaitRestore();
        QCOMPARE(a.mirroredServerStatus(), ServerStatus::stopped);
        await(a.syncServerStatus());
        QCOMPARE(a.statusMessage(),
                 "Port " + n + " is busy but /api/health failed — try Force Stop, then Start");
        a.setSelectedDisplayID(DisplayScreen::displayNumber("HDMI-2"));
        a.refreshDisplays();
        QCOMPARE(a.selectedDisplayID(), DisplayScreen::displayNumber("HDMI-2"));
        a.setSelectedDisplayID(DisplayScreen::displayNumber("VGA-9"));
        a.refreshDisplays();
        QCOMPARE(a.selectedDisplayID(), primary);
        QCOMPARE(Preferences::integerValue("outputDisplayID"), qint64(primary));
    }

    void dataGoesToTheFilesWhileTheServerIsStoppedAndFailuresLoseNothing() {
        auto& a = make();
        awaitRestore();
        const std::vector<Bookmark> list{bookmark("b1", "Shepherd"),
                                         bookmark("b2", "Still waters")};
        await(a.saveBookmarks(list));
        QCOMPARE(a.bookmarks(), list);
        QCOMPARE(a.statusMessage(), QString("Bookmarks saved to file (server stopped)"));
        QCOMPARE(bookmarksOnDisk(), list);

        // A file that does not decode, then a folder where the file should
        // be: each shows its error and the list stays.
        writeFile(supportFile("bookmarks.json"), "{\"bookmarks\": [{\"id\": 1}]}");
        await(a.reloadBookmarks());
        QVERIFY2(a.bookmarksError() && a.bookmarksError()->contains("id"),
                 qPrintable(a.bookmarksError().value_or("no error")));
        QCOMPARE(a.bookmarks(), list);
        QFile::remove(supportFile("bookmarks.json"));
        QDir().mkpath(supportFile("bookmarks.json"));
        a.setStatusMessage(std::nullopt);
        await(a.saveBookmarks({bookmark("b9", "Lost?")}));
        QVERIFY(a.bookmarksError().has_value());
        QCOMPARE(a.bookmarks(), list);
        QCOMPARE(a.statusMessage(), std::nullopt);
        // No bookmarks file at all is an error too; no playlists file is not.
        QDir().rmdir(supportFile("bookmarks.json"));
        await(a.reloadBookmarks());
        QVERIFY(a.bookmarks().empty());
        QCOMPARE(a.bookmarksError(), QString("bookmarks.json not found"));
        await(a.reloadPlaylists());
        QCOMPARE(a.playlistsError(), std::nullopt);
        QVERIFY(a.playlistsConfig().playlists.empty() && a.playlistsConfig().slides.empty());

        // "media" is a file, so the slides folder cannot be made: no playlists
        // file is written either. Once it can be, the save makes it.
        QDir(supportFile("media")).removeRecursively();
        writeFile(supportFile("media"), "not a folder");
        PlaylistsConfig config;
        config.slides.push_back(LessonSlide{"s1", "Welcome", "welcome.png"});
        await(a.savePlaylists(config));
        QVERIFY2(a.playlistsError() &&
                     a.playlistsError()->startsWith(supportFile("media/slides") + ": "),
                 qPrintable(a.playlistsError().value_or("no error")));
        QVERIFY(a.playlistsConfig().slides.empty());
        QVERIFY(!QFile::exists(supportFile("playlists.json")));
        QFile::remove(supportFile("media"));
        await(a.savePlaylists(config));
        QCOMPARE(a.playlistsConfig(), config);
        QCOMPARE(a.statusMessage(), QString("Playlists saved to file (server stopped)"));
        QVERIFY(QFile::exists(supportFile("playlists.json")));

        a.setStatusMessage(std::nullopt);
        await(a.saveTranslations("WEB", std::nullopt));
        QCOMPARE(a.translationsError(), QString("Start the server to manage translations"));
        QCOMPARE(a.statusMessage(), std::nullopt);
    }

    void savesWhileStartingGoToTheServer() {
        auto& a = make();
        awaitRestore();
        await(a.reloadBookmarks());
        const std::vector<Bookmark> listBefore = a.bookmarks();
        const QByteArray fileBefore = readFile(supportFile("bookmarks.json"));
        // Listening but not ready: the start is still under way.
        setFixtureMode("slow:600000");
        a.server().start();
        QTRY_VERIFY_WITH_TIMEOUT(PortOwner::isLocalTCPPortOpen(port), TestSupport::settle);
        QCOMPARE(a.server().status(), ServerStatus::starting);
        await(a.saveBookmarks({bookmark("b1", "Shepherd")}));
        // The fixture knows only /api/health: the server's error shows and
        // the list stays.
        QCOMPARE(a.bookmarksError(), QString("Server returned HTTP 404"));
        QCOMPARE(a.bookmarks(), listBefore);
        QCOMPARE(readFile(supportFile("bookmarks.json")), fileBefore);
        a.server().cancelStart();
    }

    // A new port or a Node.js found again replaces the manager: a server it
    // started moves or ends with it, an adopted one is adopted again.
    void replacingTheManagerMovesOrEndsOnlyAServerItStarted() {
        auto& a = make();
        awaitRestore();
        a.server().start();
        QTRY_VERIFY_WITH_TIMEOUT(AppTest::mirrorReached(a, ServerStatus::running),
                                 TestSupport::settle);
        // The same port again must not replace the supervising manager.
        ServerManager* before = &a.server();
        QSignalSpy changes(&a, &AppViewModel::changed);
        a.setPort(port);
        QCOMPARE(&a.server(), before);
        QCOMPARE(changes.count(), 0);

        const qint64 oldChild = *a.server().childProcessId();
        const int newPort = freePort();
        a.setPort(newPort);
        QCOMPARE(a.server().port(), newPort);
        QCOMPARE(Preferences::integerValue("serverPort"), qint64(newPort));
        QTRY_VERIFY(!processAlive(oldChild));
        QTRY_VERIFY_WITH_TIMEOUT(AppTest::mirrorReached(a, ServerStatus::running),
                                 TestSupport::settle);
        QVERIFY(a.server().spawnedByApp());
        QCOMPARE(a.outputURLString(),
                 "http://127.0.0.1:" + QString::number(newPort) + "/output?w=1920&h=1080");

        const qint64 child = *a.server().childProcessId();
        QPointer<ServerManager> old(&a.server());
        a.refreshNode();
        QVERIFY(&a.server() != old.data());
        QTRY_VERIFY(!processAlive(child));
        QTRY_VERIFY(old.isNull());
        // The new manager's launch restore finds the port free; a status
        // sync leaves the outcome to it until then.
        QTRY_COMPARE_WITH_TIMEOUT(a.pendingOperations(), 0, TestSupport::slowSettle);
        QVERIFY(AppTest::mirrorReached(a, ServerStatus::stopped));

        ExternalServer other("healthy", newPort);
        await(a.syncServerStatus());
        QVERIFY(a.mirroredExternallyManaged());
        a.refreshNode();
        // The new manager adopts it again at once; it was never stopped.
        QTRY_VERIFY_WITH_TIMEOUT(AppTest::mirrorReached(a, ServerStatus::running),
                                 TestSupport::settle);
        QVERIFY(other.isRunning());
        QVERIFY(!a.server().spawnedByApp());
    }

    void startBlockedReasonsComeInTheirOrder() {
        // Nothing at all: no Node.js, no server build, no database.
        auto bare = InstallTree::withFixtureRuntime();
        QFile::remove(bare->projectRoot() + "/apps/server/dist/index.js");
        QFile::remove(bare->projectRoot() + "/data/bible.sqlite");
        auto& a = make(bare->environment(false));
        QCOMPARE(a.nodeInfo(), std::nullopt);
        QCOMPARE(a.server().nodePath(), AppViewModel::fallbackNodePath);
        QCOMPARE(a.startBlockedReasons(),
                 QStringList({"Bundled Node missing — reinstall the Vesperline package.",
                              "Server build missing — run make stage in the project folder (or "
                              "reinstall the Vesperline package).",
                              "Bible database missing in the data folder."}));
        awaitRestore();
        app.reset();

        // Self-contained but without its dependencies.
        AppTest::resetUserData();
        QVERIFY(Preferences::setInteger("serverPort", port).ok());
        auto bundled = InstallTree::withFixtureRuntime(true);
        auto& b = make(bundled->environment());
        QVERIFY(b.isSelfContained());
        QVERIFY(b.nodeInfo() && b.nodeInfo()->isEmbedded);
        QCOMPARE(b.startBlockedReasons(),
                 QStringList({"Server dependencies missing in the installed package."}));
        writeFile(bundled->projectRoot() + "/node_modules/fastify/package.json", "{}");
        QCOMPARE(b.startBlockedReasons(), QStringList());
        awaitRestore();
    }

    // The LAN form goes to the address the operator chose on the iPad
    // screen, read afresh: the one the tablet's QR code shows.
    void urlsOpenOnThisComputerOrTheLan() {
        QStringList lan{"10.8.0.2", "192.168.1.20"};
        AppViewModel::Environment environment = tree->environment();
        environment.readLANAddresses = [&lan] { return lan; };
        auto& a = make(std::move(environment));
        awaitRestore();
        UrlCatcher browser;
        a.openURL("/presenter", false);
        a.openURL("/presenter", true);
        a.lanAddresses().choose("192.168.1.20");
        a.openURL("/presenter", true);
        lan = QStringList{"10.8.0.3"};
        a.openURL("/presenter", true);
        lan.clear();
        a.openURL("/presenter", true);
        a.openURL("/output?w=1&h=2 3", false); // not a URL: ignored
        const QStringList hosts{"127.0.0.1", "10.8.0.2", "192.168.1.20", "10.8.0.3", "127.0.0.1"};
        QCOMPARE(browser.opened.size(), hosts.size());
        for (int i = 0; i < hosts.size(); ++i)
            QCOMPARE(browser.opened[i], QUrl("http://" + hosts[i] + ":" + n + "/presenter"));
    }
};

VESPERLINE_GUI_TEST_MAIN_WITH(TestAppViewModel, twoScreens)
#include "tst_appviewmodel.moc"
