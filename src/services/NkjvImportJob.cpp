#include "services/NkjvImportJob.h"

#include "services/KeyringHelper.h"
#include "services/NodeChecker.h"
#include "services/ProjectPaths.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTimer>

namespace {

const QString redactedKey = QStringLiteral("[API key]");

// How long a killed script may take to disappear when the program quits.
constexpr int killWaitMs = 1000;

} // namespace

NkjvImportJob::NkjvImportJob(QString nodePath, QString projectRoot, int requestDelayMs,
                             QObject* parent)
    : QObject(parent), nodePath(std::move(nodePath)), projectRoot(std::move(projectRoot)),
      requestDelayMs(requestDelayMs) {}

NkjvImportJob::~NkjvImportJob() {
    // Whoever listened is going away too.
    blockSignals(true);
    if (process && process->state() != QProcess::NotRunning)
        cancelAndWait();
}

QString NkjvImportJob::targetPath() {
    return ApplicationSupport::path(QStringLiteral("data/bible.nkjv.sqlite"));
}

QString NkjvImportJob::temporaryPath() {
    return targetPath() + QStringLiteral(".tmp");
}

ApplicationSupport::TranslationInfo NkjvImportJob::nkjvTranslation() {
    return {QStringLiteral("NKJV"), QStringLiteral("New King James Version"),
            QStringLiteral("Scripture quotations marked (NKJV) are taken from the New King James "
                           "Version®. Copyright © 1982 by Thomas Nelson. Used by permission. All "
                           "rights reserved.")};
}

QString NkjvImportJob::friendlyError(const QString& output, int exitCode, bool earlierKept) {
    if (output.contains(QStringLiteral("401")))
        return QStringLiteral("API.Bible rejected your key (401). Check the key in Settings.");
    if (output.contains(QStringLiteral("403")))
        return QStringLiteral(
            "Your API.Bible plan may not include NKJV (403). Use WEB or upgrade your plan.");
    if (output.contains(QStringLiteral("429")))
        return QStringLiteral("API.Bible rate limit (429). Wait a few minutes and try again.");
    if (output.contains(QStringLiteral("Missing API_BIBLE"), Qt::CaseInsensitive))
        return QStringLiteral("API key or Bible ID missing. Save credentials in Settings.");
    if (output.contains(QStringLiteral("ERR_PNPM_ABORTED_REMOVE_MODULES_DIR_NO_TTY")) ||
        output.contains(QStringLiteral("no TTY"), Qt::CaseInsensitive))
        return QStringLiteral("Import launcher hit a pnpm install prompt (fixed in the latest "
                              "release package). Reinstall the Vesperline package, then try "
                              "Import again.");
    const QString database = earlierKept ? QStringLiteral("The earlier bible.nkjv.sqlite was kept.")
                                         : QStringLiteral("Partial bible.nkjv.sqlite was removed.");
    return QStringLiteral("NKJV import failed (exit %1). ").arg(exitCode) + database +
           QStringLiteral(" Details are in the server log.");
}

QProcessEnvironment NkjvImportJob::environment(QProcessEnvironment inherited, int requestDelayMs,
                                               const KeyringHelper::Credentials& credentials) {
    inherited.insert(QStringLiteral("API_BIBLE_KEY"), credentials.apiKey.value_or(QString()));
    inherited.insert(QStringLiteral("API_BIBLE_ID"), credentials.bibleId.value_or(QString()));
    inherited.insert(QStringLiteral("VESPERLINE_DB_PATH"), targetPath());
    inherited.insert(QStringLiteral("VESPERLINE_CONFIG_DIR"), ApplicationSupport::supportURL());
    inherited.insert(QStringLiteral("API_BIBLE_DELAY_MS"), QString::number(requestDelayMs));
    inherited.insert(QStringLiteral("CI"), QStringLiteral("true"));
    inherited.insert(QStringLiteral("PATH"),
                     QStringLiteral("/usr/local/bin:") + inherited.value(QStringLiteral("PATH")));
    return inherited;
}

std::optional<NkjvImportJob::Command> NkjvImportJob::command() const {
    const ProjectPaths paths{projectRoot};
    const QString script = paths.nkjvImportScript();
    if (!paths.canRunNkjvImport()) {
        if (!QFileInfo::exists(script))
            return std::nullopt;
        // A TypeScript script without its runner in the runtime: the
        // developer's own tools, through the login shell's PATH.
        return Command{NodeChecker::loginShell(),
                       {QStringLiteral("-lc"), QStringLiteral("cd '") + projectRoot +
                                                   QStringLiteral("' && CI=true pnpm exec tsx '") +
                                                   script + QStringLiteral("'")}};
    }
    if (script.endsWith(QStringLiteral(".mjs")))
        return Command{nodePath, {script}};
    return Command{nodePath,
                   {projectRoot + QStringLiteral("/node_modules/tsx/dist/cli.mjs"), script}};
}

void NkjvImportJob::start() {
    QFile::remove(temporaryPath());
    (void)ApplicationSupport::writeImportEnvFile();
    targetExisted = QFileInfo::exists(targetPath());
    const std::optional<Command> launch = command();
    if (!launch) {
        finish({Outcome::Kind::failed,
                QStringLiteral("NKJV import script missing. Reinstall the Vesperline package."),
                QString()});
        return;
    }
    const KeyringHelper::Credentials credentials = KeyringHelper::loadCredentials();
    apiKey = credentials.apiKey.value_or(QString()).trimmed();

    process = new QProcess(this);
    process->setProcessChannelMode(QProcess::MergedChannels);
    process->setWorkingDirectory(projectRoot);
    process->setProcessEnvironment(
        environment(QProcessEnvironment::systemEnvironment(), requestDelayMs, credentials));
    connect(process, &QProcess::readyReadStandardOutput, this, &NkjvImportJob::readOutput);
    connect(process, &QProcess::finished, this, &NkjvImportJob::onFinished);
    connect(process, &QProcess::errorOccurred, this, &NkjvImportJob::onErrorOccurred);
    process->start(launch->program, launch->arguments);
}

void NkjvImportJob::cancel() {
    if (done || !process || process->state() == QProcess::NotRunning || cancelling_)
        return;
    cancelling_ = true;
    process->terminate();
    killTimer = new QTimer(this);
    killTimer->setSingleShot(true);
    connect(killTimer, &QTimer::timeout, process, &QProcess::kill);
    killTimer->start(terminateGraceMs);
    Q_EMIT progressChanged();
}

void NkjvImportJob::cancelAndWait() {
    cancel();
    if (!process || process->state() == QProcess::NotRunning)
        return;
    if (!process->waitForFinished(terminateGraceMs)) {
        process->kill();
        process->waitForFinished(killWaitMs);
    }
}

void NkjvImportJob::readOutput() {
    const QByteArray chunk = process->readAllStandardOutput();
    output += chunk;
    pendingLine += chunk;
    qsizetype end;
    while ((end = pendingLine.indexOf('\n')) >= 0) {
        takeProgressLine(QString::fromUtf8(pendingLine.left(end)));
        pendingLine.remove(0, end + 1);
    }
}

void NkjvImportJob::takeProgressLine(const QString& line) {
    static const QRegularExpression pattern(QStringLiteral(R"(^\[(\d+)/(\d+)\] ([^:]+):)"));
    const QRegularExpressionMatch match = pattern.match(line.trimmed());
    if (!match.hasMatch())
        return;
    const Progress next{match.captured(1).toInt(), match.captured(2).toInt(),
                        match.captured(3).trimmed()};
    if (next == progress_ || next.book < 1 || next.book > next.books)
        return;
    progress_ = next;
    Q_EMIT progressChanged();
}

void NkjvImportJob::onFinished(int exitCode, QProcess::ExitStatus status) {
    readOutput();
    QString text = QString::fromUtf8(output);
    if (!apiKey.isEmpty())
        text.replace(apiKey, redactedKey);

    if (status == QProcess::NormalExit && exitCode == 0) {
        // The script is done either way; a cancel that came too late changes nothing.
        (void)ApplicationSupport::saveTranslation(nkjvTranslation());
        (void)ApplicationSupport::saveTranslationsSelection(QStringLiteral("bible.nkjv.sqlite"),
                                                            QStringLiteral("bible.sqlite"));
        finish({Outcome::Kind::succeeded, std::nullopt, text});
        return;
    }
    removeLeftovers();
    if (cancelling_) {
        finish({Outcome::Kind::cancelled, QStringLiteral("NKJV import cancelled."), text});
        return;
    }
    const int code = status == QProcess::NormalExit ? exitCode : -1;
    finish({Outcome::Kind::failed, friendlyError(text, code, targetExisted), text});
}

void NkjvImportJob::onErrorOccurred(QProcess::ProcessError error) {
    // Every other error ends in finished() as well.
    if (error != QProcess::FailedToStart)
        return;
    removeLeftovers();
    finish({Outcome::Kind::failed, process->errorString(), QString()});
}

void NkjvImportJob::removeLeftovers() const {
    QFile::remove(temporaryPath());
    if (!targetExisted)
        QFile::remove(targetPath());
}

void NkjvImportJob::finish(Outcome outcome) {
    if (done)
        return;
    done = true;
    if (killTimer)
        killTimer->stop();
    Q_EMIT finished(outcome);
}
