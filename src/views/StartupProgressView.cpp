#include "views/StartupProgressView.h"

#include "services/ServerManager.h"
#include "views/AppLogoView.h"
#include "views/ScreenStyle.h"
#include "views/StatusDot.h"
#include "views/Symbols.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QShowEvent>
#include <QTimer>
#include <QVBoxLayout>
#include <QVariantAnimation>

using namespace std::chrono_literals;

namespace {

constexpr int padding = 24;
constexpr int sectionSpacing = 16;
constexpr int headerSpacing = 14;
constexpr int statusSpacing = 8;
constexpr int logPanelSpacing = 6;
constexpr int logoHeight = 48;
constexpr int statusDotSize = 8;
constexpr int logCornerRadius = 8;
constexpr int scrollAnimationMs = 150;
constexpr int maxErrorLines = 8;

const QString presenterPath = QStringLiteral("/presenter");

// Type sizes relative to the body font, after the usual desktop scale:
// titles about a third larger, captions and small controls a little smaller.
constexpr qreal titleScale = 1.35;
constexpr qreal subheadlineScale = 0.92;
constexpr qreal captionScale = 0.85;

QColor blend(const QColor& from, const QColor& to, qreal amount) {
    return QColor::fromRgbF(from.redF() + (to.redF() - from.redF()) * amount,
                            from.greenF() + (to.greenF() - from.greenF()) * amount,
                            from.blueF() + (to.blueF() - from.blueF()) * amount);
}

// A small indeterminate spinner: twelve spokes, the brightest one turning.
class BusyIndicator : public QWidget {
public:
    explicit BusyIndicator(int size, QWidget* parent) : QWidget(parent) {
        setFixedSize(size, size);
        timer.setInterval(80);
        QObject::connect(&timer, &QTimer::timeout, this, [this] {
            step = (step + 1) % spokes;
            update();
        });
        setAccessibleName(QStringLiteral("In progress"));
    }

protected:
    void showEvent(QShowEvent*) override { timer.start(); }
    void hideEvent(QHideEvent*) override { timer.stop(); }
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.translate(width() / 2.0, height() / 2.0);
        const qreal radius = width() / 2.0;
        QColor color = palette().color(QPalette::WindowText);
        for (int i = 0; i < spokes; ++i) {
            const int age = (step - i + spokes) % spokes;
            color.setAlphaF(qMax(0.15, 1.0 - age / qreal(spokes)));
            QPen pen(color, qMax(1.5, radius / 5.0), Qt::SolidLine, Qt::RoundCap);
            painter.setPen(pen);
            painter.save();
            painter.rotate(i * 360.0 / spokes);
            painter.drawLine(QPointF(0, -radius * 0.45), QPointF(0, -radius * 0.9));
            painter.restore();
        }
    }

private:
    static constexpr int spokes = 12;
    QTimer timer;
    int step = 0;
};

QPushButton* makeButton(const QString& text, const QString& name, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(name);
    // Return must always mean the outcome's own action, never whichever
    // button happens to have focus.
    button->setAutoDefault(false);
    return button;
}

} // namespace

StartupProgressView::StartupProgressView(ServerManager* server, QString logFile,
                                         std::function<void(const QString& path)> openPresenter,
                                         QWidget* parent)
    : QDialog(parent), openPresenter(std::move(openPresenter)), state_(server, std::move(logFile)) {
    setObjectName(QStringLiteral("startup-progress"));
    setWindowModality(Qt::WindowModal);
    setModal(true);
    buildLayout();
    connect(&state_, &StartupOutcome::changed, this, &StartupProgressView::render);
    connect(&state_, &StartupOutcome::closeRequested, this, &StartupProgressView::closeSheet);
    render();
}

StartupProgressView::~StartupProgressView() {
    if (scrollAnimation)
        scrollAnimation->stop();
    if (presented)
        disappear();
}

QColor StartupProgressView::successColor() {
    return QColor(0x2e, 0x9e, 0x5b);
}

QColor StartupProgressView::failureColor() {
    return QColor(0xd0, 0x45, 0x3a);
}

QColor StartupProgressView::progressColor() {
    return QColor(0xe0, 0x8a, 0x1e);
}

QColor StartupProgressView::statusColor() const {
    switch (state_.statusTone()) {
    case StartupOutcome::Tone::success:
        return successColor();
    case StartupOutcome::Tone::failure:
        return failureColor();
    case StartupOutcome::Tone::progress:
        break;
    }
    return progressColor();
}

// ---------------------------------------------------------------- layout

void StartupProgressView::buildLayout() {
    const QFont body = font();
    const QFont titleFont = ScreenStyle::scaled(body, titleScale, QFont::Bold);
    const QFont captionFont = ScreenStyle::scaled(body, captionScale);
    const QFont smallControlFont = ScreenStyle::scaled(body, subheadlineScale);
    const int symbolSize = QFontMetrics(titleFont).height();

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(padding, padding, padding, padding);
    column->setSpacing(sectionSpacing);
    // The sheet sizes itself: fixed width, height from the content.
    column->setSizeConstraint(QLayout::SetNoConstraint);
    setFixedWidth(sheetWidth);

    // Header.
    auto* header = new QHBoxLayout;
    header->setSpacing(headerSpacing);
    header->addWidget(new AppLogoView(logoHeight, this), 0, Qt::AlignVCenter);
    titleLabel = new QLabel(this);
    titleLabel->setObjectName(QStringLiteral("title"));
    titleLabel->setFont(titleFont);
    header->addWidget(titleLabel, 0, Qt::AlignVCenter);
    header->addStretch(1);
    spinner = new BusyIndicator(qRound(symbolSize * 0.8), this);
    header->addWidget(spinner, 0, Qt::AlignVCenter);
    outcomeSymbol = new QLabel(this);
    outcomeSymbol->setObjectName(QStringLiteral("outcome-symbol"));
    outcomeSymbol->setFixedSize(symbolSize, symbolSize);
    header->addWidget(outcomeSymbol, 0, Qt::AlignVCenter);
    column->addLayout(header);

    // Status row.
    auto* statusRow = new QHBoxLayout;
    statusRow->setSpacing(statusSpacing);
    statusDot = new StatusDot(statusDotSize, this);
    statusRow->addWidget(statusDot, 0, Qt::AlignVCenter);
    statusLabel = new QLabel(this);
    statusLabel->setObjectName(QStringLiteral("status-line"));
    statusLabel->setFont(ScreenStyle::scaled(body, 1.0, QFont::DemiBold));
    statusRow->addWidget(statusLabel, 1, Qt::AlignVCenter);
    column->addLayout(statusRow);

    // Error line.
    errorLabel = new QLabel(this);
    errorLabel->setObjectName(QStringLiteral("error-line"));
    errorLabel->setFont(captionFont);
    errorLabel->setWordWrap(true);
    errorLabel->setTextFormat(Qt::PlainText);
    errorLabel->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    QPalette errorPalette = errorLabel->palette();
    errorPalette.setColor(QPalette::WindowText, failureColor());
    errorLabel->setPalette(errorPalette);
    // A diagnostic carries the last twenty log lines; past a few lines the
    // error scrolls instead of pushing the sheet off a small screen.
    errorArea = new QScrollArea(this);
    errorArea->setObjectName(QStringLiteral("error-area"));
    errorArea->setFrameShape(QFrame::NoFrame);
    errorArea->setWidgetResizable(true);
    errorArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    errorArea->setBackgroundRole(QPalette::Window);
    errorArea->viewport()->setAutoFillBackground(false);
    errorArea->setWidget(errorLabel);
    errorArea->setFixedWidth(sheetWidth - 2 * padding);
    column->addWidget(errorArea);

    buildLogPanel(column);
    buildActions(column);
}

void StartupProgressView::buildLogPanel(QVBoxLayout* column) {
    const QFont body = font();
    const QFont captionFont = ScreenStyle::scaled(body, captionScale);
    const QFont smallControlFont = ScreenStyle::scaled(body, subheadlineScale);
    auto* logPanel = new QVBoxLayout;
    logPanel->setSpacing(logPanelSpacing);
    auto* logHeader = new QHBoxLayout;
    auto* logTitle = new QLabel(QStringLiteral("Log"), this);
    logTitle->setFont(ScreenStyle::scaled(body, subheadlineScale, QFont::DemiBold));
    logHeader->addWidget(logTitle);
    logHeader->addStretch(1);
    auto* copyButton = makeButton(QStringLiteral("Copy log"), QStringLiteral("copy-log"), this);
    auto* selectAllButton =
        makeButton(QStringLiteral("Select All"), QStringLiteral("select-all"), this);
    for (QPushButton* button : {copyButton, selectAllButton}) {
        button->setFont(smallControlFont);
        // Clicking must leave the keyboard focus where it was, so that
        // "Select All" acts on the text the operator clicked into.
        button->setFocusPolicy(Qt::TabFocus);
        logHeader->addWidget(button);
    }
    connect(copyButton, &QPushButton::clicked, this, &StartupProgressView::copyLog);
    connect(selectAllButton, &QPushButton::clicked, this, &StartupProgressView::selectAll);
    logPanel->addLayout(logHeader);

    logView = new QPlainTextEdit(this);
    logView->setObjectName(QStringLiteral("log-text"));
    logView->setReadOnly(true);
    logView->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    logView->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    logView->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    logView->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    logView->setFixedSize(sheetWidth - 2 * padding, logAreaHeight);
    logView->setTabChangesFocus(true);
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setPointSizeF(captionFont.pointSizeF() > 0 ? captionFont.pointSizeF() : 9.0);
    logView->setFont(mono);
    // Half of the inner padding is the frame's, half the document's, so the
    // text's rectangle stays clear of the rounded corners.
    logView->document()->setDocumentMargin(logCornerRadius / 2);
    const QColor separator =
        blend(palette().color(QPalette::Window), palette().color(QPalette::WindowText), 0.2);
    logView->setStyleSheet(QStringLiteral("QPlainTextEdit { background: %1; border: 1px solid %2;"
                                          " border-radius: %3px; padding: %4px; }")
                               .arg(palette().color(QPalette::Base).name(), separator.name())
                               .arg(logCornerRadius)
                               .arg(logCornerRadius / 2));
    logPanel->addWidget(logView);
    column->addLayout(logPanel);

    scrollAnimation = new QVariantAnimation(this);
    scrollAnimation->setDuration(scrollAnimationMs);
    scrollAnimation->setEasingCurve(QEasingCurve::OutCubic);
    connect(scrollAnimation, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        logView->verticalScrollBar()->setValue(value.toInt());
    });
    // The range may have grown while the animation ran.
    connect(scrollAnimation, &QVariantAnimation::finished, this, [this] {
        QScrollBar* bar = logView->verticalScrollBar();
        bar->setValue(bar->maximum());
    });
}

void StartupProgressView::buildActions(QVBoxLayout* column) {
    const QFont captionFont = ScreenStyle::scaled(font(), captionScale);
    auto* actions = new QHBoxLayout;
    cancelButton = makeButton(QStringLiteral("Cancel"), QStringLiteral("cancel"), this);
    actions->addWidget(cancelButton);
    actions->addStretch(1);
    countdownLabel = new QLabel(this);
    countdownLabel->setObjectName(QStringLiteral("countdown"));
    countdownLabel->setFont(captionFont);
    QPalette secondary = countdownLabel->palette();
    QColor secondaryText = secondary.color(QPalette::WindowText);
    secondaryText.setAlphaF(0.6);
    secondary.setColor(QPalette::WindowText, secondaryText);
    countdownLabel->setPalette(secondary);
    actions->addWidget(countdownLabel);
    openControlButton =
        makeButton(QStringLiteral("Open Control"), QStringLiteral("open-control"), this);
    actions->addWidget(openControlButton);
    retryButton = makeButton(QStringLiteral("Retry"), QStringLiteral("retry"), this);
    actions->addWidget(retryButton);
    closeButton = makeButton(QStringLiteral("Close"), QStringLiteral("close"), this);
    actions->addWidget(closeButton);
    column->addLayout(actions);

    connect(cancelButton, &QPushButton::clicked, this, &StartupProgressView::closeSheet);
    connect(closeButton, &QPushButton::clicked, this, &StartupProgressView::closeSheet);
    connect(retryButton, &QPushButton::clicked, &state_, &StartupOutcome::retry);
    connect(openControlButton, &QPushButton::clicked, this, &StartupProgressView::openControl);
}

// ---------------------------------------------------------------- presentation

void StartupProgressView::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous() || presented)
        return;
    presented = true;
    state_.appear();
    QScrollBar* bar = logView->verticalScrollBar();
    bar->setValue(bar->maximum());
}

void StartupProgressView::hideEvent(QHideEvent* event) {
    QDialog::hideEvent(event);
    // A minimised main window hides the sheet too; that is no dismissal.
    if (!event->spontaneous() && presented)
        disappear();
}

void StartupProgressView::closeEvent(QCloseEvent* event) {
    // The window's own close button is no way to abandon a start; Cancel
    // and Esc are, and they cancel it properly.
    if (presented && state_.outcome() == Outcome::inProgress) {
        event->ignore();
        return;
    }
    closeSheet();
    event->accept();
}

void StartupProgressView::reject() {
    closeSheet();
}

void StartupProgressView::closeSheet() {
    state_.stopCountdown();
    if (isVisible())
        QDialog::done(QDialog::Rejected); // hides, which runs disappear()
    else if (presented)
        disappear();
}

void StartupProgressView::disappear() {
    presented = false;
    state_.disappear();
    Q_EMIT closed();
}

// ---------------------------------------------------------------- actions

void StartupProgressView::openControl() {
    if (openPresenter)
        openPresenter(presenterPath);
    closeSheet();
}

void StartupProgressView::copyLog() const {
    const QString text = state_.fullLogText();
    if (text.isEmpty())
        return;
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(text);
}

void StartupProgressView::selectAll() {
    QWidget* focused = QApplication::focusWidget();
    if (focused && isAncestorOf(focused)) {
        if (auto* label = qobject_cast<QLabel*>(focused);
            label && label->textInteractionFlags() & Qt::TextSelectableByMouse) {
            label->setSelection(0, int(label->text().size()));
            return;
        }
        if (focused->metaObject()->indexOfSlot("selectAll()") >= 0) {
            QMetaObject::invokeMethod(focused, "selectAll");
            return;
        }
    }
    // Nothing selectable has the focus yet: the log is what the operator
    // wants to copy.
    logView->setFocus(Qt::OtherFocusReason);
    logView->selectAll();
}

// ---------------------------------------------------------------- rendering

void StartupProgressView::render() {
    renderHeader();
    statusDot->setColor(statusColor());
    statusLabel->setText(state_.statusLine());
    renderError();
    renderLog();
    renderActions();
    fitHeight();
}

void StartupProgressView::renderHeader() {
    const QString heading = state_.title();
    titleLabel->setText(heading);
    setWindowTitle(heading);
    const Outcome outcome = state_.outcome();
    spinner->setVisible(outcome == Outcome::inProgress);
    outcomeSymbol->setVisible(outcome != Outcome::inProgress);
    if (outcome == Outcome::inProgress)
        return;
    const bool success = outcome == Outcome::success;
    const QString symbol =
        success ? QStringLiteral("checkmark.circle.fill") : QStringLiteral("xmark.octagon.fill");
    outcomeSymbol->setPixmap(
        Symbols::icon(symbol).pixmap(outcomeSymbol->size(), devicePixelRatioF()));
    outcomeSymbol->setAccessibleName(success ? QStringLiteral("Success")
                                             : QStringLiteral("Failed"));
}

void StartupProgressView::renderError() {
    const ServerManager* server = state_.server();
    const auto error = server ? server->lastError() : std::nullopt;
    const bool showError = state_.outcome() == Outcome::failed && error.has_value();
    errorArea->setVisible(showError);
    if (!showError || errorLabel->text() == *error)
        return;
    const int width = errorArea->width() - errorArea->verticalScrollBar()->sizeHint().width();
    // Measured with the label's own layout, so the cap ends between lines.
    errorLabel->setText(QString(maxErrorLines - 1, QLatin1Char('\n')) + QLatin1Char('x'));
    const int capHeight = errorLabel->heightForWidth(width);
    errorLabel->setText(*error);
    errorArea->setFixedHeight(qMin(errorLabel->heightForWidth(width), capHeight));
}

void StartupProgressView::renderActions() {
    const Outcome outcome = state_.outcome();
    const bool inProgress = outcome == Outcome::inProgress;
    const bool succeeded = outcome == Outcome::success;
    const bool failed = outcome == Outcome::failed;
    const auto seconds = state_.autoCloseSeconds();
    cancelButton->setVisible(inProgress || failed);
    countdownLabel->setVisible(succeeded && seconds.has_value());
    if (seconds)
        countdownLabel->setText(QStringLiteral("Closing in ") + QString::number(*seconds));
    openControlButton->setVisible(succeeded);
    retryButton->setVisible(failed);
    closeButton->setVisible(succeeded || failed);
    openControlButton->setDefault(succeeded);
    retryButton->setDefault(failed);

    // "Close" is the filled button once the start has failed.
    if (failed == closeButton->property("prominent").toBool())
        return;
    closeButton->setProperty("prominent", failed);
    if (failed) {
        const QColor fill = palette().color(QPalette::Highlight);
        closeButton->setMinimumSize(retryButton->sizeHint());
        closeButton->setStyleSheet(
            QStringLiteral("QPushButton { background-color: %1; color: %2;"
                           " border: 1px solid %3; border-radius: 4px; padding: 3px 14px; }"
                           " QPushButton:pressed { background-color: %3; }")
                .arg(fill.name(), palette().color(QPalette::HighlightedText).name(),
                     fill.darker(125).name()));
    } else {
        closeButton->setMinimumSize(0, 0);
        closeButton->setStyleSheet(QString());
    }
}

void StartupProgressView::renderLog() {
    const QString text = state_.fullLogText();
    // An empty log keeps the area one line high.
    const QString shown = text.isEmpty() ? QStringLiteral(" ") : text;
    const QString current = logView->toPlainText();
    if (current == shown)
        return;
    QScrollBar* bar = logView->verticalScrollBar();
    const bool atBottom = bar->value() >= bar->maximum();
    const int position = bar->value();
    // Appending keeps what the operator has selected and where they
    // scrolled; only a log that started over is replaced.
    const bool grows = !current.isEmpty() && current != QStringLiteral(" ") &&
                       shown.startsWith(current + QLatin1Char('\n'));
    if (grows)
        logView->appendPlainText(shown.mid(current.size() + 1));
    else
        logView->setPlainText(shown);
    if (atBottom || !grows)
        scrollToBottom();
    else
        bar->setValue(position);
}

void StartupProgressView::scrollToBottom() {
    QScrollBar* bar = logView->verticalScrollBar();
    scrollAnimation->stop();
    if (!isVisible() || bar->value() == bar->maximum()) {
        bar->setValue(bar->maximum());
        return;
    }
    scrollAnimation->setStartValue(bar->value());
    scrollAnimation->setEndValue(bar->maximum());
    scrollAnimation->start();
}

void StartupProgressView::fitHeight() {
    QLayout* column = layout();
    column->invalidate();
    column->activate();
    const int height = column->hasHeightForWidth() ? column->totalHeightForWidth(sheetWidth)
                                                   : column->totalSizeHint().height();
    if (height > 0 && height != this->height())
        setFixedHeight(height);
}
