#include "views/TranslationsCard.h"

#include "app/AppViewModel.h"
#include "views/ScreenStyle.h"
#include "views/SemanticColors.h"

#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

using namespace ScreenStyle;

namespace {

using Entries = QList<std::pair<QString, QString>>; // label, id

// Entries are rebuilt only when they change, so that an open picker is not
// closed under the operator's hand by an unrelated change.
void setEntries(QComboBox* picker, const Entries& entries) {
    Entries current;
    for (int i = 0; i < picker->count(); ++i)
        current.append({picker->itemText(i), picker->itemData(i).toString()});
    if (current == entries)
        return;
    picker->clear();
    for (const auto& [label, id] : entries)
        picker->addItem(label, id);
}

// The label of a translation, with its file where another one has the same
// label: two copies of one Bible would otherwise be two identical entries.
QString distinctLabel(const TranslationsPayload& payload, const QString& label,
                      const std::optional<QString>& file) {
    const auto sameLabel =
        std::count_if(payload.libraries.begin(), payload.libraries.end(),
                      [&](const auto& library) { return library.label == label; });
    return sameLabel > 1 && file ? label + QStringLiteral(" (") + *file + ')' : label;
}

} // namespace

TranslationsCard::TranslationsCard(AppViewModel& app, QWidget* parent) : QWidget(parent), app(app) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(10);
    stoppedLine =
        new QLabel(QStringLiteral("Start the server to choose primary and compare Bibles."), this);
    stoppedLine->setWordWrap(true);
    column->addWidget(stoppedLine);
    errorLine = new QLabel(this);
    errorLine->setObjectName(QStringLiteral("translationsError"));
    errorLine->setWordWrap(true);
    setTextTone(errorLine, SemanticColors::Tone::red);
    column->addWidget(errorLine);
    noLibrariesLine =
        new QLabel(QStringLiteral("No Bible libraries reported yet. Refresh after Start."), this);
    noLibrariesLine->setWordWrap(true);
    column->addWidget(noLibrariesLine);

    pickers = new QWidget(this);
    auto* pickerColumn = new QVBoxLayout(pickers);
    pickerColumn->setContentsMargins(0, 0, 0, 0);
    pickerColumn->setSpacing(10);
    auto* form = new QFormLayout;
    form->setFieldGrowthPolicy(QFormLayout::ExpandingFieldsGrow);
    primaryPicker = new QComboBox(pickers);
    primaryPicker->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    primaryPicker->setObjectName(QStringLiteral("primaryPicker"));
    primaryPicker->setAccessibleName(QStringLiteral("Primary (on air)"));
    form->addRow(QStringLiteral("Primary (on air)"), primaryPicker);
    comparePicker = new QComboBox(pickers);
    comparePicker->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    comparePicker->setObjectName(QStringLiteral("comparePicker"));
    comparePicker->setAccessibleName(QStringLiteral("Compare (side-by-side)"));
    form->addRow(QStringLiteral("Compare (side-by-side)"), comparePicker);
    pickerColumn->addLayout(form);
    pickerColumn->addWidget(caption(QStringLiteral("Needs two installed databases (e.g. "
                                                   "bible.sqlite + bible.web.sqlite). Applies "
                                                   "immediately."),
                                    pickers));
    saveButton = new QPushButton(QStringLiteral("Save translations"), pickers);
    saveButton->setObjectName(QStringLiteral("saveTranslations"));
    makeProminent(saveButton);
    pickerColumn->addWidget(saveButton, 0, Qt::AlignLeft);
    compareLine = caption(QString(), pickers);
    compareLine->setObjectName(QStringLiteral("compareAvailable"));
    pickerColumn->addWidget(compareLine);
    column->addWidget(pickers);

    connect(primaryPicker, &QComboBox::activated, this, &TranslationsCard::choosePrimary);
    connect(comparePicker, &QComboBox::activated, this, &TranslationsCard::chooseSecondary);
    connect(saveButton, &QPushButton::clicked, this, [this] { save(); });
    connect(&app, &AppViewModel::changed, this, &TranslationsCard::render);
    render();
}

void TranslationsCard::syncPickersFromPayload() {
    const std::optional<TranslationsPayload>& payload = app.translationsPayload();
    if (!payload)
        return;
    primaryId_ = payload->selection.primaryId;
    secondaryId_ = payload->selection.secondaryId.value_or(QString());
    renderPickers();
}

QCoro::Task<> TranslationsCard::save() {
    const QPointer<TranslationsCard> self(this);
    auto task = app.saveTranslations(
        primaryId_, secondaryId_.isEmpty() ? std::nullopt : std::optional<QString>(secondaryId_));
    co_await task;
    if (!self)
        co_return;
    syncPickersFromPayload();
}

void TranslationsCard::choosePrimary(int index) {
    primaryId_ = primaryPicker->itemData(index).toString();
    renderPickers();
}

void TranslationsCard::chooseSecondary(int index) {
    secondaryId_ = comparePicker->itemData(index).toString();
    renderPickers();
}

void TranslationsCard::render() {
    // Asked when the server starts answering: "running" in the wider sense
    // begins while the server is still starting, and a request then is
    // refused, with nothing to ask again once it answers.
    const bool answering = app.mirroredServerStatus() == ServerStatus::running;
    if (answering && !wasAnswering_)
        app.reloadTranslations();
    wasAnswering_ = answering;
    const bool running = app.mirroredServerRunning();

    const std::optional<TranslationsPayload>& payload = app.translationsPayload();
    // A compare translation changed elsewhere counts too: a picker left on
    // "None" under a line naming two Bibles would contradict itself.
    const std::optional<TranslationSelectionDTO> serverSelection =
        payload ? std::optional(payload->selection) : std::nullopt;
    if (serverSelection != seenSelection_) {
        seenSelection_ = serverSelection;
        syncPickersFromPayload();
    }

    // Stopped, the server's last answer no longer holds: only the way to
    // change that is shown (its own "start the server" error would repeat it).
    const std::optional<QString>& error = app.translationsError();
    const bool hasLibraries = payload && !payload->libraries.empty();
    stoppedLine->setVisible(!running);
    setIfChanged(errorLine, error.value_or(QString()));
    errorLine->setVisible(running && error);
    noLibrariesLine->setVisible(running && !hasLibraries);
    pickers->setVisible(running && hasLibraries);
    renderPickers();
}

void TranslationsCard::renderPickers() {
    const std::optional<TranslationsPayload>& payload = app.translationsPayload();
    if (!payload)
        return;
    Entries primaries;
    Entries compares{{QStringLiteral("None"), QString()}};
    for (const TranslationLibraryDTO& library : payload->libraries) {
        const QString label = distinctLabel(*payload, library.label, library.file);
        primaries.append({label, library.id});
        if (library.id != primaryId_)
            compares.append({label, library.id});
    }
    setEntries(primaryPicker, primaries);
    setEntries(comparePicker, compares);
    primaryPicker->setCurrentIndex(primaryPicker->findData(primaryId_));
    // A compare choice that is now the primary is no longer offered; the
    // server shows no compare translation for it, and so does the picker.
    comparePicker->setCurrentIndex(std::max(0, comparePicker->findData(secondaryId_)));

    const bool saving = app.isSavingTranslations();
    saveButton->setText(saving ? QStringLiteral("Saving…") : QStringLiteral("Save translations"));
    saveButton->setEnabled(!saving && !primaryId_.isEmpty() && app.mirroredServerRunning());

    compareLine->setVisible(payload->secondary.has_value());
    if (payload->secondary)
        setIfChanged(
            compareLine,
            QStringLiteral("Compare available: ") +
                distinctLabel(*payload, payload->primary.label, payload->primary.file) +
                QStringLiteral(" + ") +
                distinctLabel(*payload, payload->secondary->label, payload->secondary->file));
}
