// The import job with the runtime's real script (from the stage) against a
// fake API.Bible on 127.0.0.1, with the credentials in a private keyring.
#include "services/ApiBibleCredentials.h"
#include "services/ApplicationSupport.h"
#include "services/NkjvImportJob.h"
#include "services/Preferences.h"
#include "support/FakeApiBible.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>

using namespace TestSupport;
namespace AS = ApplicationSupport;
using Kind = NkjvImportJob::Outcome::Kind;

Q_DECLARE_METATYPE(NkjvImportJob::Outcome)

namespace {

const QString secretKey = QStringLiteral("sk-test-0123456789");
const QByteArray earlierDatabase = "SQLite format 3\0earlier import";

QString stagedProject() {
    return stageDir() + "/share/vesperline/project";
}

} // namespace

class TestNkjvImportJob : public QObject {
    Q_OBJECT

    std::unique_ptr<FakeApiBible> api;

    // Runs a job to its end; `whileRunning` gets the job once it fetches `atBook`.
    NkjvImportJob::Outcome run(const QString& project = stagedProject(),
                               const std::function<void(NkjvImportJob&)>& whileRunning = {},
                               int atBook = 0) {
        NkjvImportJob job(TestSupport::nodeExecutable(), project, 0);
        QSignalSpy finished(&job, &NkjvImportJob::finished);
        job.start();
        if (whileRunning) {
            if (!QTest::qWaitFor([&] { return job.progress().book >= atBook; }, 30000))
                qFatal("the import never reached book %d", atBook);
            whileRunning(job);
        }
        if (finished.isEmpty() && !finished.wait(60000))
            qFatal("the import never finished");
        return finished.first().first().value<NkjvImportJob::Outcome>();
    }

private Q_SLOTS:
    void initTestCase() {
        qRegisterMetaType<NkjvImportJob::Outcome>();
        if (!QFile::exists(stagedProject() + "/scripts/import-bible-nkjv.mjs"))
            QSKIP("the stage has not been built (scripts/stage build)");
    }

    void init() {
        QDir(AS::supportURL()).removeRecursively();
        QFile::remove(Preferences::filePath());
        QDir().mkpath(AS::path("data"));
        api = freshApiBible();
        QCOMPARE(ApiBibleCredentials::save(secretKey, FakeApiBible::bibleId), std::nullopt);
    }

    void friendlyError_data() {
        QTest::addColumn<QString>("output");
        QTest::addColumn<int>("code");
        QTest::addColumn<bool>("earlierKept");
        QTest::addColumn<QString>("message");
        QTest::newRow("401 anywhere") << "x HTTP 4013 y" << 1 << false
                                      << "API.Bible rejected your key (401). Check the key in "
                                         "Settings.";
        QTest::newRow("missing settings") << "missing api_bible_id: save" << 2 << false
                                          << "API key or Bible ID missing. Save credentials in "
                                             "Settings.";
        QTest::newRow("no tty") << "prompt needs a tty: no tty here" << 1 << false
                                << "Import launcher hit a pnpm install prompt (fixed in the "
                                   "latest release package). Reinstall the Vesperline package, "
                                   "then try Import again.";
        QTest::newRow("nothing said") << "" << 3 << false
                                      << "NKJV import failed (exit 3). Partial bible.nkjv.sqlite "
                                         "was removed. Details are in the server log.";
        QTest::newRow("earlier kept") << "boom" << 1 << true
                                      << "NKJV import failed (exit 1). The earlier "
                                         "bible.nkjv.sqlite was kept. Details are in the server "
                                         "log.";
    }

    void friendlyError() {
        QFETCH(QString, output);
        QFETCH(int, code);
        QFETCH(bool, earlierKept);
        QTEST(NkjvImportJob::friendlyError(output, code, earlierKept), "message");
    }

    // The real runs show the key, the Bible ID and the paths arriving. CI
    // keeps a package manager from stopping at a prompt no one can answer.
    void theScriptRunsWithoutATerminal() {
        QProcessEnvironment inherited;
        inherited.insert("HOME", "/home/x");
        const QProcessEnvironment env = NkjvImportJob::environment(inherited, 250, {});
        QCOMPARE(env.value("CI"), QStringLiteral("true"));
        QCOMPARE(env.value("HOME"), QStringLiteral("/home/x"));
    }

    void aRefusedImportKeepsWhatWasThere_data() {
        QTest::addColumn<int>("status");
        QTest::addColumn<bool>("earlier");
        QTest::addColumn<QString>("message");
        QTest::newRow("401, first import")
            << 401 << false << "API.Bible rejected your key (401). Check the key in Settings.";
        QTest::newRow("429, earlier import")
            << 429 << true << "API.Bible rate limit (429). Wait a few minutes and try again.";
    }

    void aRefusedImportKeepsWhatWasThere() {
        QFETCH(int, status);
        QFETCH(bool, earlier);
        if (earlier) {
            writeFile(NkjvImportJob::targetPath(), earlierDatabase);
            QVERIFY(AS::saveTranslation(NkjvImportJob::nkjvTranslation()).ok());
        }
        // Genesis arrives, Exodus is refused: the script has written part of a Bible.
        api->server().setResponse(FakeApiBible::chapterPath("EXO"), HttpResponse(status));
        const NkjvImportJob::Outcome outcome = run();
        QCOMPARE(outcome.kind, Kind::failed);
        QTEST(*outcome.error, "message");
        QVERIFY(!QFile::exists(NkjvImportJob::temporaryPath()));
        if (earlier) {
            QCOMPARE(readFile(NkjvImportJob::targetPath()), earlierDatabase);
            QCOMPARE(AS::loadTranslation().id, QStringLiteral("NKJV"));
        } else {
            QVERIFY(!QFile::exists(NkjvImportJob::targetPath()));
            QVERIFY(!QFile::exists(AS::path("translations-selection.json")));
        }
    }

    void cancellingEndsTheScriptAndKeepsWhatWasThere() {
        writeFile(NkjvImportJob::targetPath(), earlierDatabase);
        HttpResponse silent;
        silent.neverAnswer = true;
        api->server().setResponse(FakeApiBible::chapterPath("LEV"), silent);
        QElapsedTimer clock;
        const NkjvImportJob::Outcome outcome = run(
            stagedProject(),
            [&](NkjvImportJob& job) {
                QVERIFY(QFile::exists(NkjvImportJob::temporaryPath()));
                clock.start();
                job.cancel();
                QVERIFY(job.isCancelling());
            },
            3);
        // The script cleaned up on SIGTERM; no SIGKILL was needed.
        QVERIFY(clock.elapsed() < NkjvImportJob::terminateGraceMs);
        QCOMPARE(outcome.kind, Kind::cancelled);
        QCOMPARE(*outcome.error, QStringLiteral("NKJV import cancelled."));
        QVERIFY(outcome.output.contains("Import interrupted (SIGTERM)"));
        QVERIFY(!QFile::exists(NkjvImportJob::temporaryPath()));
        QCOMPARE(readFile(NkjvImportJob::targetPath()), earlierDatabase);
    }

    void aJobDestroyedMidwayLeavesNothingRunning() {
        HttpResponse silent;
        silent.neverAnswer = true;
        api->server().setResponse(FakeApiBible::chapterPath("GEN"), silent);
        auto job =
            std::make_unique<NkjvImportJob>(TestSupport::nodeExecutable(), stagedProject(), 0);
        job->start();
        QTRY_COMPARE_WITH_TIMEOUT(job->progress().book, 1, 30000);
        job.reset();
        QVERIFY(!QFile::exists(NkjvImportJob::temporaryPath()));
        QVERIFY(!QFile::exists(NkjvImportJob::targetPath()));
    }

    void aRuntimeWithoutTheScriptSaysSo() {
        QTemporaryDir empty;
        const NkjvImportJob::Outcome outcome = run(empty.path());
        QCOMPARE(outcome.kind, Kind::failed);
        QCOMPARE(*outcome.error,
                 QStringLiteral("NKJV import script missing. Reinstall the Vesperline package."));
    }
};

VESPERLINE_TEST_MAIN(TestNkjvImportJob)
#include "tst_nkjvimportjob_keyring.moc"
