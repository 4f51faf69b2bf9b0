#include "services/BundleRepair.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

using TestSupport::readFile;
using TestSupport::writeFile;

class TestBundleRepair : public QObject {
    Q_OBJECT

    QTemporaryDir tmp;
    QStringList logged;
    BundleRepair::LogSink sink() {
        return [this](const QString& line) { logged << line; };
    }

    // An installed program far from any checkout, with its runtime root.
    QString root() const { return tmp.filePath("install/share/vesperline/project"); }
    BundleLayout installed() const {
        return BundleLayout::forApplicationDir(tmp.filePath("install/bin"));
    }

    // A development checkout holding the install tree two levels down.
    QString checkout() const { return tmp.filePath("checkout"); }
    BundleLayout inCheckout() const {
        return BundleLayout::forApplicationDir(checkout() + "/build/bin");
    }

    void makeHealthyRoot(const QString& dir) {
        writeFile(dir + "/apps/server/dist/index.js", "export {}\n");
        writeFile(dir + "/package.json", R"({"name":"x","type":"module"})");
        writeFile(dir + "/apps/server/package.json", R"({"type":"module"})");
    }

private Q_SLOTS:
    void init() {
        QDir(tmp.path()).removeRecursively();
        QDir().mkpath(tmp.filePath("install/bin"));
        logged.clear();
    }

    void aHealthyRootAndOneWithoutServerBuildAreLeftAlone() {
        makeHealthyRoot(root());
        const auto before = readFile(root() + "/package.json");
        QCOMPARE(BundleRepair::ensureBundleReady(root(), sink(), installed()),
                 (BundleRepair::Result{false, true, "Bundle ESM manifests OK"}));
        QCOMPARE(readFile(root() + "/package.json"), before);
        QCOMPARE(logged, QStringList());

        QDir(root()).removeRecursively();
        writeFile(root() + "/package.json", "{}");
        QCOMPARE(BundleRepair::ensureBundleReady(root(), sink(), installed()),
                 (BundleRepair::Result{false, false, "Server build not found under runtime root"}));
        QCOMPARE(readFile(root() + "/package.json"), QByteArray("{}"));
        QVERIFY(!QFile::exists(root() + "/apps/server/package.json"));
    }

    // Another type, text that does not parse, no file at all.
    void declarationsThatAreNotTheStringModuleAreRewritten() {
        for (const QByteArray& manifest :
             {QByteArray(R"({"type":"commonjs"})"), QByteArray("{\"type\":"), QByteArray()}) {
            logged.clear();
            makeHealthyRoot(root());
            QFile::remove(root() + "/package.json");
            if (!manifest.isEmpty())
                writeFile(root() + "/package.json", manifest);
            const auto result = BundleRepair::ensureBundleReady(root(), sink(), installed());
            QCOMPARE(result, (BundleRepair::Result{true, true, "Bundle ESM manifests repaired"}));
            QCOMPARE(readFile(root() + "/package.json"),
                     QByteArray("{\n  \"name\": \"vesperline-bundle\",\n  \"private\": true,\n  "
                                "\"type\": \"module\"\n}\n"));
            QCOMPARE(logged, QStringList{"Wrote " + root() + "/package.json (type: module)"});
        }
    }

    void aMinimalServerManifestIsWrittenAndAFailedWriteShows() {
        makeHealthyRoot(root());
        QFile::remove(root() + "/apps/server/package.json");
        const auto result = BundleRepair::ensureBundleReady(root(), sink(), installed());
        QCOMPARE(result, (BundleRepair::Result{true, true, "Bundle ESM manifests repaired"}));
        QCOMPARE(readFile(root() + "/apps/server/package.json"),
                 QByteArray("{\n  \"name\": \"@vesperline/server\",\n  \"private\": true,\n  "
                            "\"type\": \"module\"\n}\n"));
        QCOMPARE(logged, QStringList{"Wrote minimal apps/server/package.json (type: module)"});

        // A folder where the root manifest should be: the write fails, the re-read says so.
        QFile::remove(root() + "/package.json");
        QDir().mkpath(root() + "/package.json/x");
        QCOMPARE(BundleRepair::ensureBundleReady(root(), {}, installed()),
                 (BundleRepair::Result{true, false, "Bundle ESM manifests repaired"}));
    }

    void developmentCheckoutSuppliesManifestAndNativeHelpers() {
        makeHealthyRoot(checkout());
        // The checkout's own manifest is copied as it is, even without the declaration.
        writeFile(checkout() + "/apps/server/package.json", R"({"name":"@vesperline/server"})");
        writeFile(checkout() + "/node_modules/bindings/package.json", R"({"name":"bindings"})");
        writeFile(checkout() + "/node_modules/bindings/bindings.js", "module.exports = 1;\n");
        // pnpm keeps the real package deep inside .pnpm.
        const QString pnpm =
            checkout() + "/node_modules/.pnpm/file-uri-to-path@1.0.0/node_modules/file-uri-to-path";
        writeFile(pnpm + "/package.json", R"({"name":"file-uri-to-path"})");
        writeFile(pnpm + "/index.js", "module.exports = 2;\n");

        const QString staged = tmp.filePath("staged");
        makeHealthyRoot(staged);
        QFile::remove(staged + "/apps/server/package.json");
        const auto result = BundleRepair::ensureBundleReady(staged, sink(), inCheckout());
        QCOMPARE(result, (BundleRepair::Result{true, true, "Bundle ESM manifests repaired"}));
        QCOMPARE(readFile(staged + "/apps/server/package.json"),
                 QByteArray(R"({"name":"@vesperline/server"})"));
        QCOMPARE(readFile(staged + "/node_modules/bindings/bindings.js"),
                 QByteArray("module.exports = 1;\n"));
        QCOMPARE(readFile(staged + "/node_modules/file-uri-to-path/index.js"),
                 QByteArray("module.exports = 2;\n"));
        QCOMPARE(logged, QStringList({"Copied apps/server/package.json from " + checkout() +
                                          "/apps/server/package.json",
                                      "Copied runtime dep bindings into bundle",
                                      "Copied runtime dep file-uri-to-path into bundle"}));
        QCOMPARE(QDir(staged + "/node_modules")
                     .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList({"bindings", "file-uri-to-path"}));
    }
};

VESPERLINE_TEST_MAIN(TestBundleRepair)
#include "tst_bundlerepair.moc"
