#include "services/BundleLayout.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

BundleLayout BundleLayout::current() {
    return forApplicationDir(QCoreApplication::applicationDirPath());
}

BundleLayout BundleLayout::forApplicationDir(const QString& applicationDir) {
    BundleLayout layout;
    layout.applicationDir = QDir::cleanPath(applicationDir);
    const QString resources = QDir::cleanPath(applicationDir + "/../share/vesperline");
    if (QFileInfo(resources).isDir())
        layout.resourceDir = resources;
    return layout;
}
