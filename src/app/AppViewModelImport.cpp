// AppViewModel's API.Bible credentials, key test and licensed import: thin
// operations over ApiBibleCredentials, ApiBibleClient and NkjvImportJob,
// kept apart from the model's server and church-data operations.
#include "app/AppViewModel.h"
#include "services/ApiBibleClient.h"
#include "services/ApiBibleCredentials.h"
#include "services/KeyringHelper.h"
#include "services/ServerManager.h"

NkjvImportJob::Progress AppViewModel::importProgress() const {
    return importJob_ ? importJob_->progress() : NkjvImportJob::Progress{};
}

bool AppViewModel::isCancellingImport() const {
    return importJob_ && importJob_->isCancelling();
}

void AppViewModel::setNkjvImportError(std::optional<QString> message) {
    assign(nkjvImportError_, std::move(message));
}

std::optional<QString> AppViewModel::saveApiBibleCredentials(const QString& apiKey,
                                                             const QString& bibleId) {
    if (auto failure = ApiBibleCredentials::save(apiKey, bibleId))
        return failure;
    assign(nkjvImportError_, std::optional<QString>());
    assign(apiKeyTestMessage_, std::optional<QString>());
    return std::nullopt;
}

void AppViewModel::clearApiBibleCredentials() {
    ApiBibleCredentials::clear();
    assign(nkjvImportError_, std::optional<QString>());
    assign(apiKeyTestMessage_, std::optional<QString>());
}

QCoro::Task<> AppViewModel::testApiBibleKey(QString apiKey) {
    QPointer<AppViewModel> self(this);
    const Operation operation(this);
    QString key = apiKey.trimmed();
    if (key.isEmpty())
        key = KeyringHelper::load(KeyringHelper::Key::apiKey).value_or(QString());
    if (key.isEmpty()) {
        assign(apiKeyTestMessage_,
               std::optional(QStringLiteral("Enter or save an API key first.")));
        co_return;
    }
    assign(isTestingApiKey_, true);
    assign(apiKeyTestMessage_, std::optional(QStringLiteral("Testing…")));
    auto test = ApiBibleClient::testApiKey(key);
    const ApiBibleClient::TestResult result = co_await test;
    if (!self)
        co_return;
    assign(apiKeyTestMessage_, std::optional(result.message));
    if (result.ok)
        assign(nkjvImportError_, std::optional<QString>());
    assign(isTestingApiKey_, false);
}

std::optional<QString> AppViewModel::nkjvImportBlockedReason(bool hasCredentials) const {
    if (!hasCredentials)
        return QStringLiteral("Add your API.Bible key and NKJV Bible ID in Settings first.");
    if (!nodeInfo_)
        return QStringLiteral("Node.js is required to run the import.");
    if (server_->isRunning())
        return QStringLiteral("Stop the server before importing a new translation.");
    return std::nullopt;
}

void AppViewModel::importNkjvFromAPI() {
    if (importJob_)
        return;
    if (const auto blocked = nkjvImportBlockedReason(KeyringHelper::hasCredentials())) {
        assign(nkjvImportError_, blocked);
        return;
    }
    importJob_ =
        new NkjvImportJob(nodeInfo_->path, projectRoot_, environment_.importRequestDelayMs, this);
    connect(importJob_, &NkjvImportJob::progressChanged, this, &AppViewModel::notify);
    connect(importJob_, &NkjvImportJob::finished, this, &AppViewModel::finishNkjvImport);
    nkjvImportError_.reset();
    statusMessage_ =
        QStringLiteral("Importing NKJV from API.Bible (30–60+ min, network required)…");
    notify();
    importJob_->start();
}

void AppViewModel::cancelNkjvImport() {
    if (importJob_)
        importJob_->cancel();
}

void AppViewModel::cancelNkjvImportAndWait() {
    if (importJob_)
        importJob_->cancelAndWait();
}

void AppViewModel::finishNkjvImport(const NkjvImportJob::Outcome& outcome) {
    for (const QString& line : outcome.output.split('\n'))
        server_->appendLog(line);
    switch (outcome.kind) {
    case NkjvImportJob::Outcome::Kind::succeeded:
        translationInfo_ = ApplicationSupport::loadTranslation();
        statusMessage_ = QStringLiteral(
            "NKJV import finished. Start the server, then set Primary to NKJV in Admin if needed.");
        break;
    case NkjvImportJob::Outcome::Kind::cancelled:
        statusMessage_ = outcome.error;
        nkjvImportError_ = outcome.error;
        break;
    case NkjvImportJob::Outcome::Kind::failed:
        nkjvImportError_ = outcome.error;
        break;
    }
    importJob_->deleteLater();
    importJob_ = nullptr;
    notify();
}
