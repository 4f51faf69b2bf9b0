#include "views/OutputPanel.h"

#include "app/AppViewModel.h"
#include "views/ScreenStyle.h"
#include "views/SemanticColors.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QVBoxLayout>

using namespace ScreenStyle;

OutputPanel::OutputPanel(AppViewModel& app, QWidget* parent)
    : QGroupBox(QStringLiteral("Presentation output"), parent), app(app) {
    auto* column = new QVBoxLayout(this);
    column->setSpacing(10);
    column->addWidget(caption(
        QStringLiteral(
            "Opens a borderless fullscreen window on the chosen monitor (same content as OBS). "
            "Content appears when Live with a verse/slide loaded — Preview keeps the screen "
            "black on purpose. Press Esc to close. Shows \"Stage (confidence)\" puts the live "
            "text, what comes next and the time on that monitor instead, facing the platform."),
        this));

    auto* pickerRow = new QHBoxLayout;
    auto* pickerLabel = new QLabel(QStringLiteral("Display"), this);
    pickerRow->addWidget(pickerLabel);
    displayPicker = new QComboBox(this);
    displayPicker->setObjectName(QStringLiteral("displayPicker"));
    displayPicker->setAccessibleName(QStringLiteral("Display"));
    displayPicker->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    pickerLabel->setBuddy(displayPicker);
    connect(displayPicker, &QComboBox::activated, this, [this](int index) {
        this->app.setSelectedDisplayID(displayPicker->itemData(index).toUInt());
    });
    pickerRow->addWidget(displayPicker);
    buildPagePicker(pickerRow);
    pickerRow->addStretch(1);
    column->addLayout(pickerRow);
    buildSizeRow();
    buildOpenRow();

    webOutputToggle =
        new QCheckBox(QStringLiteral("Also show web output URL (OBS Browser Source)"), this);
    webOutputToggle->setObjectName(QStringLiteral("webOutputToggle"));
    connect(webOutputToggle, &QCheckBox::toggled, this,
            [this](bool on) { this->app.setShowWebOutputHint(on); });
    column->addWidget(webOutputToggle);
}

OutputPanel::~OutputPanel() {
    watchScreens(false);
}

void OutputPanel::buildPagePicker(QHBoxLayout* row) {
    auto* label = new QLabel(QStringLiteral("Shows"), this);
    row->addSpacing(12);
    row->addWidget(label);
    pagePicker = new QComboBox(this);
    pagePicker->setObjectName(QStringLiteral("displayPage"));
    pagePicker->setAccessibleName(QStringLiteral("Display shows"));
    pagePicker->addItem(QStringLiteral("Output"), false);
    pagePicker->addItem(QStringLiteral("Stage (confidence)"), true);
    pagePicker->setToolTip(QStringLiteral(
        "Stage (confidence): the live text, what comes next and the time, for the platform"));
    label->setBuddy(pagePicker);
    connect(pagePicker, &QComboBox::activated, this, [this](int index) {
        this->app.setDisplayShowsStage(pagePicker->itemData(index).toBool());
    });
    row->addWidget(pagePicker);
}

void OutputPanel::buildSizeRow() {
    auto* row = new QHBoxLayout;
    const auto stepper = [this](const QString& prefix, const QString& name, const QString& title) {
        auto* spin = new QSpinBox(this);
        spin->setObjectName(name);
        spin->setAccessibleName(title);
        spin->setRange(minimumStepperSize, maximumStepperSize);
        spin->setSingleStep(stepperStep);
        spin->setPrefix(prefix);
        spin->setKeyboardTracking(false);
        return spin;
    };
    widthStepper =
        stepper(QStringLiteral("Width: "), QStringLiteral("width"), QStringLiteral("Output width"));
    heightStepper = stepper(QStringLiteral("Height: "), QStringLiteral("height"),
                            QStringLiteral("Output height"));
    connect(widthStepper, &QSpinBox::valueChanged, this,
            [this](int width) { app.setOutputSize(width, app.outputHeight()); });
    connect(heightStepper, &QSpinBox::valueChanged, this,
            [this](int height) { app.setOutputSize(app.outputWidth(), height); });
    row->addWidget(widthStepper);
    row->addWidget(heightStepper);
    row->addStretch(1);
    static_cast<QVBoxLayout*>(layout())->addLayout(row);
}

void OutputPanel::buildOpenRow() {
    auto* row = new QHBoxLayout;
    // Ctrl+Shift+O belongs to the Output menu, which does the same; a second
    // binding here would make the key ambiguous and do nothing at all.
    closeOutputButton = new QPushButton(QStringLiteral("Close Display Output"), this);
    closeOutputButton->setObjectName(QStringLiteral("closeOutput"));
    connect(closeOutputButton, &QPushButton::clicked, this, [this] { app.closeDisplayOutput(); });
    row->addWidget(closeOutputButton);
    outputOpenLabel = new QWidget(this);
    outputOpenLabel->setAccessibleName(QStringLiteral("Display output open"));
    auto* openLabel = new QHBoxLayout(outputOpenLabel);
    openLabel->setContentsMargins(0, 0, 0, 0);
    openLabel->setSpacing(4);
    openLabel->addWidget(symbolLabel(QStringLiteral("display"), 14, outputOpenLabel));
    auto* text = caption(QStringLiteral("Open"), outputOpenLabel);
    setTextTone(text, SemanticColors::Tone::green);
    openLabel->addWidget(text);
    row->addWidget(outputOpenLabel);
    openOutputButton = new QPushButton(QStringLiteral("Open Display Output"), this);
    openOutputButton->setObjectName(QStringLiteral("openOutput"));
    openOutputButton->setToolTip(QStringLiteral("Ctrl+Shift+O"));
    makeProminent(openOutputButton);
    connect(openOutputButton, &QPushButton::clicked, this, [this] { app.openDisplayOutput(); });
    row->addWidget(openOutputButton);
    auto* refreshDisplays = new QPushButton(QStringLiteral("Refresh displays"), this);
    refreshDisplays->setObjectName(QStringLiteral("refreshDisplays"));
    connect(refreshDisplays, &QPushButton::clicked, this, [this] { app.refreshDisplays(); });
    row->addWidget(refreshDisplays);
    row->addStretch(1);
    static_cast<QVBoxLayout*>(layout())->addLayout(row);
}

void OutputPanel::showEvent(QShowEvent* event) {
    QGroupBox::showEvent(event);
    watchScreens(true);
    app.refreshDisplays();
}

void OutputPanel::hideEvent(QHideEvent* event) {
    watchScreens(false);
    QGroupBox::hideEvent(event);
}

void OutputPanel::watchScreens(bool watch) {
    for (const auto& connection : std::as_const(screenWatch))
        disconnect(connection);
    screenWatch.clear();
    if (!watch)
        return;
    const auto refresh = [this] {
        app.refreshDisplays();
        watchScreens(true); // a new screen needs its own geometry watch
    };
    screenWatch << connect(qApp, &QGuiApplication::screenAdded, this, refresh)
                << connect(qApp, &QGuiApplication::screenRemoved, this, refresh)
                << connect(qApp, &QGuiApplication::primaryScreenChanged, this, refresh);
    for (QScreen* screen : QGuiApplication::screens())
        screenWatch << connect(screen, &QScreen::geometryChanged, this,
                               [this] { app.refreshDisplays(); });
}

void OutputPanel::render() {
    renderPicker();
    {
        const QSignalBlocker blockPage(pagePicker);
        pagePicker->setCurrentIndex(app.displayShowsStage() ? 1 : 0);
    }
    {
        const QSignalBlocker blockWidth(widthStepper);
        const QSignalBlocker blockHeight(heightStepper);
        widthStepper->setValue(app.outputWidth());
        heightStepper->setValue(app.outputHeight());
    }
    const bool open = app.isDisplayOutputOpen();
    closeOutputButton->setVisible(open);
    outputOpenLabel->setVisible(open);
    openOutputButton->setVisible(!open);
    openOutputButton->setEnabled(app.mirroredServerRunning());
    const QSignalBlocker blockToggle(webOutputToggle);
    webOutputToggle->setChecked(app.showWebOutputHint());
}

void OutputPanel::renderPicker() {
    const QSignalBlocker blockPicker(displayPicker);
    const QList<DisplayScreen>& displays = app.availableDisplays();
    bool same = displayPicker->count() == displays.size();
    for (int i = 0; same && i < displays.size(); ++i)
        same = displayPicker->itemData(i).toUInt() == displays[i].id &&
               displayPicker->itemText(i) == displays[i].label();
    if (!same) {
        displayPicker->clear();
        for (const DisplayScreen& display : displays)
            displayPicker->addItem(display.label(), display.id);
    }
    displayPicker->setCurrentIndex(displayPicker->findData(app.selectedDisplayID()));
}
