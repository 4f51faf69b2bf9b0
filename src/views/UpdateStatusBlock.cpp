#include "views/UpdateStatusBlock.h"

#include "views/BrandColors.h"
#include "views/ScreenStyle.h"
#include "views/SemanticColors.h"
#include "views/Symbols.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

using namespace ScreenStyle;

namespace {

constexpr int symbolSize = 18;
// The bar's steps: fine enough for whole percents of a large archive.
constexpr int progressSteps = 1000;

} // namespace

UpdateStatusBlock::UpdateStatusBlock(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("updateStatusBlock"));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(6);
    auto* line = new QHBoxLayout;
    line->setSpacing(6);
    symbol = new QLabel(this);
    symbol->setFixedSize(symbolSize, symbolSize);
    message = new QLabel(this);
    message->setObjectName(QStringLiteral("updateStatusText"));
    message->setWordWrap(true);
    message->setTextInteractionFlags(Qt::TextSelectableByMouse);
    line->addWidget(symbol, 0, Qt::AlignTop);
    line->addWidget(message, 1);
    column->addLayout(line);
    notes = caption(QString(), this);
    notes->setObjectName(QStringLiteral("updateNotes"));
    column->addWidget(notes);

    auto* progressLine = new QHBoxLayout;
    progress = new QProgressBar(this);
    progress->setObjectName(QStringLiteral("updateProgress"));
    progress->setTextVisible(false);
    progress->setFixedWidth(220);
    progressLabel = new QLabel(this);
    progressLabel->setObjectName(QStringLiteral("updateProgressLabel"));
    progressLine->addWidget(progress);
    progressLine->addWidget(progressLabel);
    progressLine->addStretch(1);
    column->addLayout(progressLine);
}

void UpdateStatusBlock::showMessage(const QString& symbolName, const QString& text,
                                    std::variant<SemanticColors::Tone, QColor> ink) {
    symbol->setVisible(!symbolName.isEmpty());
    if (!symbolName.isEmpty())
        symbol->setPixmap(Symbols::icon(symbolName).pixmap(symbolSize, symbolSize));
    setIfChanged(message, text);
    if (const auto* tone = std::get_if<SemanticColors::Tone>(&ink))
        setTextTone(message, *tone);
    else
        setFixedTextColor(message, std::get<QColor>(ink));
    message->show();
    progress->hide();
    progressLabel->hide();
}

void UpdateStatusBlock::showProgress(const QString& label, std::optional<double> fraction) {
    symbol->hide();
    message->hide();
    notes->hide();
    progress->setAccessibleName(label.isEmpty() ? QStringLiteral("Download progress") : label);
    if (fraction) {
        progress->setRange(0, progressSteps);
        progress->setValue(qRound(*fraction * progressSteps));
    } else {
        progress->setRange(0, 0);
    }
    progress->show();
    setIfChanged(progressLabel, label);
    progressLabel->setVisible(!label.isEmpty());
}

void UpdateStatusBlock::render(const UpdateStatus& status) {
    using Status = UpdateStatus;
    using SemanticColors::Tone;
    notes->hide();
    if (status.is<Status::Idle>()) {
        showMessage(
            {}, QStringLiteral("Check anytime — patches are signed and verified before install."),
            Tone::secondary);
    } else if (status.is<Status::Checking>()) {
        showProgress(QStringLiteral("Checking…"), std::nullopt);
    } else if (status.is<Status::UpToDate>()) {
        showMessage(QStringLiteral("checkmark.circle.fill"),
                    QStringLiteral("Runtime is up to date"), Tone::green);
    } else if (const auto* available = status.get<Status::Available>()) {
        showMessage(QStringLiteral("arrow.down.circle.fill"),
                    QStringLiteral("Runtime ") + available->version + QStringLiteral(" available"),
                    BrandColors::gold());
        setIfChanged(notes, available->notes);
        notes->setVisible(!available->notes.isEmpty());
    } else if (const auto* downloading = status.get<Status::Downloading>()) {
        showProgress(downloading->fraction ? QString() : QStringLiteral("Downloading…"),
                     downloading->fraction);
    } else if (status.is<Status::Installing>()) {
        showProgress(QStringLiteral("Installing & restarting server…"), std::nullopt);
    } else if (const auto* installed = status.get<Status::Installed>()) {
        showMessage(QStringLiteral("checkmark.seal.fill"),
                    QStringLiteral("Installed runtime ") + installed->version, Tone::green);
    } else if (const auto* failed = status.get<Status::Failed>()) {
        showMessage(QStringLiteral("exclamationmark.triangle.fill"), failed->message, Tone::red);
    }
}
