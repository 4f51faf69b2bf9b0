// Revealing a file goes to the desktop's file browser over the session bus,
// and falls back on opening the folder where no file browser answers. A
// private bus without service activation stands in for the session's, so no
// real file browser ever opens.
#include "services/FileBrowser.h"
#include "support/GuiTestMain.h"

#include <QDBusConnection>
#include <QDesktopServices>
#include <QProcess>
#include <QTemporaryDir>

namespace {

constexpr char busConfig[] = R"(<busconfig>
  <type>session</type>
  <listen>unix:tmpdir=/tmp</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
)";

} // namespace

// What a file browser offers on the bus; it records what it was asked to show.
class FakeFileManager : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")

public:
    QList<QStringList> shown;

public Q_SLOTS:
    void ShowItems(const QStringList& uris, const QString& /*startupId*/) { shown << uris; }
};

// Stands in for the desktop's handler of file: URLs.
class OpenedUrls : public QObject {
    Q_OBJECT

public:
    QList<QUrl> urls;

public Q_SLOTS:
    void open(const QUrl& url) { urls << url; }
};

class TestFileBrowser : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    QProcess bus;
    OpenedUrls opened;
    FakeFileManager fileManager;

private Q_SLOTS:
    void initTestCase() {
        TestSupport::writeFile(dir.filePath("bus.conf"), busConfig);
        bus.start(QStringLiteral("dbus-daemon"),
                  {"--config-file=" + dir.filePath("bus.conf"), "--nofork", "--print-address=1"});
        QVERIFY2(bus.waitForReadyRead(10000), "dbus-daemon did not start");
        qputenv("DBUS_SESSION_BUS_ADDRESS", bus.readLine().trimmed());
        QVERIFY(QDBusConnection::sessionBus().isConnected());
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &opened, "open");
    }

    void cleanupTestCase() {
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
        QDBusConnection::disconnectFromBus(QStringLiteral("fileManager"));
        bus.terminate();
        bus.waitForFinished(5000);
    }

    // The file need not exist: its folder is shown all the same.
    void aFileBrowserOnTheBusShowsTheFileElseItsFolderOpens() {
        const QString file = dir.filePath("data folder/themes.json");
        FileBrowser::reveal(file);
        QTRY_COMPARE(opened.urls, QList<QUrl>{QUrl::fromLocalFile(dir.filePath("data folder"))});
        FileBrowser::openFolder(dir.path());
        QCOMPARE(opened.urls.last(), QUrl::fromLocalFile(dir.path()));

        QDBusConnection connection = QDBusConnection::connectToBus(
            qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("fileManager"));
        QVERIFY(connection.registerObject(QStringLiteral("/org/freedesktop/FileManager1"),
                                          &fileManager, QDBusConnection::ExportAllSlots));
        QVERIFY(connection.registerService(QStringLiteral("org.freedesktop.FileManager1")));
        FileBrowser::reveal(file);
        QTRY_COMPARE(fileManager.shown, QList<QStringList>{{QUrl::fromLocalFile(file).toString()}});
        QCOMPARE(opened.urls.size(), 2);
    }
};

VESPERLINE_GUI_TEST_MAIN(TestFileBrowser)
#include "tst_filebrowser.moc"
