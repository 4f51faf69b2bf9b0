#pragma once

#include "services/ApplicationSupport.h"
#include "services/KeyringHelper.h"

#include <QObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <optional>

class QTimer;

// One run of the runtime's licensed-translation import script (30 to 60
// minutes against API.Bible): launches it with the credentials, reads its
// combined output as it comes (so the pipe never fills), publishes which book
// it is fetching from its "[i/N] Book: …" lines, and can be cancelled. A
// finished run installs the translation record and selection; a failed or
// cancelled one removes only the script's temporary database, so an earlier
// import stays in use. finished() follows every start() exactly once.
class NkjvImportJob : public QObject {
    Q_OBJECT

public:
    struct Progress {
        // The book being fetched, counted from 1; 0 until the first one.
        int book = 0;
        int books = 0;
        QString name;
        bool operator==(const Progress&) const = default;
    };

    struct Outcome {
        enum class Kind { succeeded, failed, cancelled };
        Kind kind = Kind::failed;
        // The user's message for a failure.
        std::optional<QString> error;
        // Everything the script printed, with the API key blanked out.
        QString output;
    };

    static constexpr int defaultRequestDelayMs = 250;
    // How long the script may take to clean up after SIGTERM before SIGKILL.
    static constexpr int terminateGraceMs = 5000;

    NkjvImportJob(QString nodePath, QString projectRoot, int requestDelayMs = defaultRequestDelayMs,
                  QObject* parent = nullptr);
    // A job still running is ended as by cancelAndWait().
    ~NkjvImportJob() override;

    static QString targetPath();
    static QString temporaryPath();
    static ApplicationSupport::TranslationInfo nkjvTranslation();
    // What a failed run's exit status and output mean for the user.
    static QString friendlyError(const QString& output, int exitCode, bool earlierKept);
    // The child's environment: `inherited` with the import's variables.
    static QProcessEnvironment environment(QProcessEnvironment inherited, int requestDelayMs,
                                           const KeyringHelper::Credentials& credentials);

    void start();
    // SIGTERM now, SIGKILL once the grace period has passed; finished()
    // reports a cancelled run.
    void cancel();
    // The same, waiting for the script to end: for quitting the program.
    void cancelAndWait();

    const Progress& progress() const { return progress_; }
    bool isCancelling() const { return cancelling_; }

Q_SIGNALS:
    void progressChanged();
    void finished(const NkjvImportJob::Outcome& outcome);

private:
    struct Command {
        QString program;
        QStringList arguments;
    };
    std::optional<Command> command() const;
    void readOutput();
    void takeProgressLine(const QString& line);
    void onFinished(int exitCode, QProcess::ExitStatus status);
    void onErrorOccurred(QProcess::ProcessError error);
    // Removes what a run that did not finish leaves: the temporary database,
    // and a target that only this run created.
    void removeLeftovers() const;
    void finish(Outcome outcome);

    QString nodePath;
    QString projectRoot;
    int requestDelayMs;
    QProcess* process = nullptr;
    QTimer* killTimer = nullptr;
    QByteArray pendingLine;
    QByteArray output;
    QString apiKey;
    Progress progress_;
    bool targetExisted = false;
    bool cancelling_ = false;
    bool done = false;
};
