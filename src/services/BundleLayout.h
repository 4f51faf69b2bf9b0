#pragma once

#include <QString>
#include <optional>

// Where the installed program's own files are. The executable's folder plays
// the part of the application bundle's directory, and <that>/../share/vesperline
// is its resource directory (an install prefix: bin/ beside share/).
struct BundleLayout {
    QString applicationDir;
    std::optional<QString> resourceDir; // absent when the folder does not exist

    static BundleLayout current();
    static BundleLayout forApplicationDir(const QString& applicationDir);
};
