#include "views/ApiBiblePanel.h"

#include "app/AppViewModel.h"
#include "services/ApplicationSupport.h"
#include "services/KeyringHelper.h"
#include "services/ServerManager.h"
#include "views/ScreenStyle.h"
#include "views/SemanticColors.h"

#include <QCheckBox>
#include <QFontDatabase>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

using namespace ScreenStyle;
using SemanticColors::Tone;

namespace {

QLabel* messageLabel(const QString& name, QWidget* parent) {
    auto* label = caption(QString(), parent);
    label->setObjectName(name);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

} // namespace

ApiBiblePanel::ApiBiblePanel(AppViewModel& app, QWidget* parent)
    : QGroupBox(QStringLiteral("API.Bible (NKJV import)"), parent), app(app) {
    auto* column = new QVBoxLayout(this);
    column->setSpacing(8);
    buildFields();
    buildButtons();
    buildImport();
    connect(&app, &AppViewModel::changed, this, &ApiBiblePanel::render);
}

void ApiBiblePanel::buildFields() {
    auto* column = static_cast<QVBoxLayout*>(layout());
    // Labelled as well as hinted: a filled, masked field has no hint left.
    auto* form = new QFormLayout;
    apiKeyField = new QLineEdit(this);
    apiKeyField->setObjectName(QStringLiteral("apiKeyField"));
    apiKeyField->setPlaceholderText(QStringLiteral("API.Bible key"));
    apiKeyField->setAccessibleName(QStringLiteral("API.Bible key"));
    apiKeyField->setEchoMode(QLineEdit::Password);
    form->addRow(QStringLiteral("API key"), apiKeyField);

    showApiKey = new QCheckBox(QStringLiteral("Show API key"), this);
    showApiKey->setObjectName(QStringLiteral("showApiKey"));
    connect(showApiKey, &QCheckBox::toggled, this, [this](bool shown) {
        apiKeyField->setEchoMode(shown ? QLineEdit::Normal : QLineEdit::Password);
    });
    form->addRow(QString(), showApiKey);

    bibleIdField = new QLineEdit(this);
    bibleIdField->setObjectName(QStringLiteral("bibleIdField"));
    bibleIdField->setPlaceholderText(QStringLiteral("Bible ID (NKJV from API.Bible)"));
    bibleIdField->setAccessibleName(QStringLiteral("Bible ID (NKJV from API.Bible)"));
    bibleIdField->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    form->addRow(QStringLiteral("Bible ID"), bibleIdField);
    column->addLayout(form);
}

void ApiBiblePanel::buildButtons() {
    auto* column = static_cast<QVBoxLayout*>(layout());
    auto* row = new QHBoxLayout;
    auto* saveButton = namedButton(QStringLiteral("Save"), QStringLiteral("saveCredentials"), this);
    connect(saveButton, &QPushButton::clicked, this, &ApiBiblePanel::save);
    row->addWidget(saveButton);
    testButton = namedButton(QStringLiteral("Test API key"), QStringLiteral("testApiKey"), this);
    connect(testButton, &QPushButton::clicked, this, [this] {
        [[maybe_unused]] auto task = this->app.testApiBibleKey(apiKeyField->text());
    });
    row->addWidget(testButton);
    auto* clearButton = namedButton(QStringLiteral("Clear key"), QStringLiteral("clearKey"), this);
    // Destructive: it forgets the stored key.
    QPalette destructive = clearButton->palette();
    destructive.setColor(QPalette::ButtonText, SemanticColors::tone(Tone::red, palette()));
    clearButton->setPalette(destructive);
    connect(clearButton, &QPushButton::clicked, this, &ApiBiblePanel::clearKey);
    row->addWidget(clearButton);
    row->addStretch(1);
    column->addLayout(row);

    savedNote = messageLabel(QStringLiteral("savedNote"), this);
    savedNote->setText(savedText);
    setTextTone(savedNote, Tone::green);
    savedNote->hide();
    column->addWidget(savedNote);
    // The confirmation of a Save belongs to the values saved.
    for (QLineEdit* field : {apiKeyField, bibleIdField})
        connect(field, &QLineEdit::textEdited, savedNote, &QWidget::hide);
    testMessage = messageLabel(QStringLiteral("testMessage"), this);
    column->addWidget(testMessage);
}

void ApiBiblePanel::buildImport() {
    auto* column = static_cast<QVBoxLayout*>(layout());
    importButton = namedButton(QString(), QStringLiteral("importNkjv"), this);
    makeProminent(importButton);
    connect(importButton, &QPushButton::clicked, this, [this] { this->app.importNkjvFromAPI(); });
    auto* importRow = new QHBoxLayout;
    importRow->addWidget(importButton, 0, Qt::AlignLeft);
    blockedReason = messageLabel(QStringLiteral("importBlockedReason"), this);
    importRow->addWidget(blockedReason, 1);
    column->addLayout(importRow);

    progressRow = new QWidget(this);
    auto* progress = new QHBoxLayout(progressRow);
    progress->setContentsMargins(0, 0, 0, 0);
    auto* progressColumn = new QVBoxLayout;
    progressBar = new QProgressBar(progressRow);
    progressBar->setObjectName(QStringLiteral("importProgress"));
    progressBar->setAccessibleName(QStringLiteral("Import progress"));
    progressBar->setTextVisible(false);
    progressColumn->addWidget(progressBar);
    progressText = messageLabel(QStringLiteral("importProgressText"), progressRow);
    progressColumn->addWidget(progressText);
    progressColumn->addWidget(caption(
        QStringLiteral("The import takes 30 to 60 minutes. The other tabs keep working; leave "
                       "the server stopped until it has finished."),
        progressRow));
    progress->addLayout(progressColumn, 1);
    cancelButton = namedButton(QString(), QStringLiteral("cancelImport"), progressRow);
    connect(cancelButton, &QPushButton::clicked, this, [this] { this->app.cancelNkjvImport(); });
    progress->addWidget(cancelButton, 0, Qt::AlignTop);
    column->addWidget(progressRow);

    importError = messageLabel(QStringLiteral("importError"), this);
    setTextTone(importError, Tone::orange);
    column->addWidget(importError);
    installedNote = messageLabel(QStringLiteral("installedNote"), this);
    column->addWidget(installedNote);

    auto* signup = new QLabel(
        QStringLiteral("<a href=\"https://scripture.api.bible/signup\">API.Bible signup &amp; "
                       "docs</a>"),
        this);
    signup->setObjectName(QStringLiteral("signupLink"));
    signup->setOpenExternalLinks(true);
    signup->setTextInteractionFlags(Qt::TextBrowserInteraction);
    column->addWidget(signup);
    column->addWidget(caption(
        QStringLiteral("Stop the server before import. Writes bible.nkjv.sqlite (WEB stays). NKJV "
                       "needs copyright attribution in your theme (docs/bible-translations.md). "
                       "Runs Node directly — no pnpm install."),
        this));
}

void ApiBiblePanel::reloadFromStorage() {
    const KeyringHelper::Credentials stored = KeyringHelper::loadCredentials();
    if (stored.apiKey)
        apiKeyField->setText(*stored.apiKey);
    bibleIdField->setText(stored.bibleId && !stored.bibleId->isEmpty()
                              ? *stored.bibleId
                              : ApplicationSupport::loadApiBibleId());
    credentialsStored = stored.complete();
    savedNote->hide();
    render();
}

void ApiBiblePanel::save() {
    if (const auto failure =
            app.saveApiBibleCredentials(apiKeyField->text(), bibleIdField->text())) {
        app.setNkjvImportError(failure);
        return;
    }
    reloadFromStorage();
    app.setStatusMessage(savedText);
    app.setNkjvImportError(std::nullopt);
    savedNote->show();
}

void ApiBiblePanel::clearKey() {
    app.clearApiBibleCredentials();
    apiKeyField->clear();
    bibleIdField->clear();
    credentialsStored = false;
    savedNote->hide();
    render();
}

void ApiBiblePanel::render() {
    const bool testing = app.isTestingApiKey();
    testButton->setText(testing ? QStringLiteral("Testing…") : QStringLiteral("Test API key"));
    testButton->setEnabled(!testing);

    const std::optional<QString>& message = app.apiKeyTestMessage();
    testMessage->setVisible(message.has_value());
    if (message) {
        setIfChanged(testMessage, *message);
        const bool valid = message->startsWith(validKeyPrefix);
        setTextTone(testMessage, valid ? Tone::green : Tone::secondary);
    }
    renderImport();
}

void ApiBiblePanel::renderImport() {
    const bool importing = app.isImporting();
    importButton->setText(importing ? QStringLiteral("Importing licensed translation…")
                                    : QStringLiteral("Import NKJV (licensed)"));
    // The button says why it cannot be pressed, rather than only greying out.
    const std::optional<QString> blocked = app.nkjvImportBlockedReason(credentialsStored);
    importButton->setEnabled(!importing && !blocked);
    blockedReason->setVisible(!importing && blocked);
    if (blocked)
        setIfChanged(blockedReason, *blocked);

    progressRow->setVisible(importing);
    if (importing) {
        const NkjvImportJob::Progress progress = app.importProgress();
        const bool cancelling = app.isCancellingImport();
        if (progress.books > 0) {
            progressBar->setRange(0, progress.books);
            progressBar->setValue(progress.book - 1);
            setIfChanged(progressText, QStringLiteral("Fetching %1 — book %2 of %3")
                                           .arg(progress.name)
                                           .arg(progress.book)
                                           .arg(progress.books));
        } else {
            progressBar->setRange(0, 0);
            setIfChanged(progressText, QStringLiteral("Connecting to API.Bible…"));
        }
        if (cancelling)
            setIfChanged(progressText, QStringLiteral("Cancelling — removing the partial "
                                                      "download…"));
        cancelButton->setText(cancelling ? QStringLiteral("Cancelling…")
                                         : QStringLiteral("Cancel import"));
        cancelButton->setEnabled(!cancelling);
    }

    const std::optional<QString>& error = app.nkjvImportError();
    importError->setVisible(error.has_value());
    if (error)
        setIfChanged(importError, *error);
    const bool installed = app.translationInfo().id == QStringLiteral("NKJV");
    installedNote->setVisible(installed && !importing);
    setIfChanged(installedNote,
                 QStringLiteral("NKJV is installed. Start the server, then choose it as Primary "
                                "on the Admin tab."));
}
