#pragma once

#include "services/BundleLayout.h"

#include <QString>
#include <optional>

// Which folder is the runtime root (the server build, its web pages and its
// dependencies), and what the start sequence and screens need to know about it.
// Every answer is read from the disk at call time and fails soft.
struct ProjectPaths {
    QString runtimeRoot;

    static std::optional<QString> bundledProjectRoot(const BundleLayout& = BundleLayout::current());
    static std::optional<QString>
    detectDevProjectRoot(const BundleLayout& = BundleLayout::current());
    static QString defaultRuntimeRoot(const BundleLayout& = BundleLayout::current());
    static QString resolvedReleaseRuntimeRoot(const BundleLayout& = BundleLayout::current());

    // Whether a folder holds the server entry script, which makes it a runtime root.
    static bool isRuntimeRoot(const QString& dir);

    bool hasBibleDatabase() const;
    bool hasServerBuild() const;
    // The server's packages, which a self-contained install must carry.
    bool hasServerDependencies() const;
    // The string "version" of runtime-version.json, when there is one.
    std::optional<QString> runtimeVersion() const;
    QString runtimeVersionLabel() const;
    QString nkjvImportScript() const;
    bool canRunNkjvImport() const;

    QString serverEntryScript() const { return runtimeRoot + "/apps/server/dist/index.js"; }

    bool operator==(const ProjectPaths&) const = default;
};
