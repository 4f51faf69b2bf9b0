#include "services/FileBrowser.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

namespace FileBrowser {

namespace {

const QString service = QStringLiteral("org.freedesktop.FileManager1");

void openContainingFolder(const QString& filePath) {
    openFolder(QFileInfo(filePath).absolutePath());
}

} // namespace

void reveal(const QString& filePath) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        openContainingFolder(filePath);
        return;
    }
    QDBusMessage call =
        QDBusMessage::createMethodCall(service, QStringLiteral("/org/freedesktop/FileManager1"),
                                       service, QStringLiteral("ShowItems"));
    call << QStringList{QUrl::fromLocalFile(QFileInfo(filePath).absoluteFilePath()).toString()}
         << QString(); // no start-up notification id
    // Asynchronous: a file browser that is started for the call may take
    // seconds, and the screen must not freeze meanwhile.
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), QCoreApplication::instance());
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                     [filePath](QDBusPendingCallWatcher* finished) {
                         if (QDBusPendingReply<>(*finished).isError())
                             openContainingFolder(filePath);
                         finished->deleteLater();
                     });
}

void openFolder(const QString& folderPath) {
    QDesktopServices::openUrl(QUrl::fromLocalFile(folderPath));
}

} // namespace FileBrowser
