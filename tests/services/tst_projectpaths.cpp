#include "services/ApplicationSupport.h"
#include "services/BundleRuntime.h"
#include "services/ProjectPaths.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

using TestSupport::writeFile;

namespace {

void makeRuntimeRoot(const QString& dir) {
    writeFile(dir + "/apps/server/dist/index.js", "// server");
}

void makeExecutable(const QString& path) {
    writeFile(path, "#!/bin/sh\necho v20.11.1\n");
    QFile::setPermissions(path, QFile::permissions(path) | QFileDevice::ExeOwner);
}

} // namespace

class TestProjectPaths : public QObject {
    Q_OBJECT

    QTemporaryDir root;
    QString app() const { return root.filePath("install/bin"); }
    QString resources() const { return root.filePath("install/share/vesperline"); }
    BundleLayout layout() const { return BundleLayout::forApplicationDir(app()); }

private Q_SLOTS:
    void init() {
        QDir(root.path()).removeRecursively();
        QDir().mkpath(app());
        QDir(ApplicationSupport::supportURL()).removeRecursively();
    }

    // A hot-patched runtime, then the bundled one (project before
    // Resources/project), then a development checkout, then ~/Vesperline.
    void resolutionOrder() {
        QCOMPARE(layout().resourceDir, std::nullopt);
        QCOMPARE(ProjectPaths::resolvedReleaseRuntimeRoot(layout()),
                 QDir::homePath() + "/Vesperline");

        // A development checkout sits above the install tree.
        makeRuntimeRoot(root.path());
        QCOMPARE(ProjectPaths::detectDevProjectRoot(layout()), root.path());
        QCOMPARE(ProjectPaths::defaultRuntimeRoot(layout()), root.path());
        // The search goes up to the application folder's 8th parent, no further.
        const QString deep = root.path() + "/d/d/d/d/d/d/d";
        QCOMPARE(ProjectPaths::detectDevProjectRoot(BundleLayout::forApplicationDir(deep + "/bin")),
                 root.path());
        QCOMPARE(
            ProjectPaths::detectDevProjectRoot(BundleLayout::forApplicationDir(deep + "/d/bin")),
            std::nullopt);

        QDir().mkpath(resources());
        QCOMPARE(layout().resourceDir, QDir::cleanPath(resources()));
        makeRuntimeRoot(resources() + "/Resources/project");
        QCOMPARE(ProjectPaths::defaultRuntimeRoot(layout()), resources() + "/Resources/project");
        makeRuntimeRoot(resources() + "/project");
        QCOMPARE(ProjectPaths::resolvedReleaseRuntimeRoot(layout()), resources() + "/project");
        QCOMPARE(ProjectPaths::defaultRuntimeRoot(layout()), resources() + "/project");

        makeRuntimeRoot(ApplicationSupport::path("runtime/current"));
        QCOMPARE(ProjectPaths::resolvedReleaseRuntimeRoot(layout()),
                 ApplicationSupport::path("runtime/current"));
        QCOMPARE(ProjectPaths::defaultRuntimeRoot(layout()),
                 ApplicationSupport::path("runtime/current"));
    }

    void runtimeVersionLabelAndImportScript() {
        const ProjectPaths paths{root.filePath("rt")};
        QCOMPARE(paths.runtimeVersionLabel(), QString("bundled"));
        for (const auto& [contents, label] : std::initializer_list<std::pair<QByteArray, QString>>{
                 {R"({"version":"1.2.0","notes":"x"})", "1.2.0"},
                 {R"({"version":120})", "bundled"},
                 {"{\"version\":\"1.2", "bundled"}}) {
            writeFile(paths.runtimeRoot + "/runtime-version.json", contents);
            QCOMPARE(paths.runtimeVersionLabel(), label);
        }

        // The .mjs is preferred; the .ts runs only with tsx.
        QCOMPARE(paths.nkjvImportScript(), paths.runtimeRoot + "/scripts/import-bible-nkjv.ts");
        QVERIFY(!paths.canRunNkjvImport());
        writeFile(paths.runtimeRoot + "/scripts/import-bible-nkjv.ts", "");
        QVERIFY(!paths.canRunNkjvImport());
        writeFile(paths.runtimeRoot + "/node_modules/tsx/dist/cli.mjs", "");
        QVERIFY(paths.canRunNkjvImport());
        QFile::remove(paths.runtimeRoot + "/node_modules/tsx/dist/cli.mjs");
        writeFile(paths.runtimeRoot + "/scripts/import-bible-nkjv.mjs", "");
        QCOMPARE(paths.nkjvImportScript(), paths.runtimeRoot + "/scripts/import-bible-nkjv.mjs");
        QVERIFY(paths.canRunNkjvImport());
    }

    void embeddedNodeAndSelfContainment() {
        QDir().mkpath(resources());
        QCOMPARE(BundleRuntime::embeddedNodePath(layout()), std::nullopt);
        writeFile(resources() + "/node/bin/node", "not executable");
        makeExecutable(resources() + "/node-x64/bin/node");
        makeExecutable(resources() + "/node-arm64/bin/node");
        QCOMPARE(BundleRuntime::embeddedNodePath(layout()), resources() + "/node-arm64/bin/node");
        QVERIFY(!BundleRuntime::isSelfContained(layout()));
        makeRuntimeRoot(resources() + "/project");
        QVERIFY(BundleRuntime::isSelfContained(layout()));
        makeExecutable(resources() + "/node/bin/node");
        QCOMPARE(BundleRuntime::embeddedNodePath(layout()), resources() + "/node/bin/node");
    }
};

VESPERLINE_TEST_MAIN(TestProjectPaths)
#include "tst_projectpaths.moc"
