#include "app/AppDelegate.h"

#include "app/AppViewModel.h"
#include "services/ServerManager.h"

#include <QCoreApplication>

AppDelegate::AppDelegate(QObject* parent) : QObject(parent) {
    connect(qApp, &QCoreApplication::aboutToQuit, this, &AppDelegate::applicationWillTerminate);
}

void AppDelegate::applicationWillTerminate() {
    AppViewModel* model = appViewModel.data();
    if (!model)
        return;
    model->closeDisplayOutput();
    // The import script would otherwise run on, unseen, for up to an hour.
    model->cancelNkjvImportAndWait();
    model->server().shutdownOnTerminate();
}
