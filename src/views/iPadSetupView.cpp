#include "views/iPadSetupView.h"

#include "app/AppViewModel.h"
#include "models/iPadSetupContent.h"
#include "services/LANAddresses.h"
#include "services/ProjectPaths.h"
#include "services/ServerManager.h"
#include "views/QRCodeView.h"
#include "views/ScreenHeader.h"
#include "views/ScreenStyle.h"
#include "views/SemanticColors.h"

#include <QBoxLayout>
#include <QComboBox>
#include <QEvent>
#include <QFontDatabase>
#include <QGroupBox>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QSignalBlocker>

using namespace ScreenStyle;
using Tone = SemanticColors::Tone;

namespace {

constexpr int qrColumnWidth = 280;
constexpr int instructionsMaximumWidth = 400;
// Narrower than this beside the QR code, the instructions go below it.
constexpr int instructionsMinimumWidth = 300;
constexpr int columnSpacing = 32;
constexpr int screenPadding = 24;
constexpr int markSize = 18;

// A URL to read off, select and copy.
QLabel* urlLabel(QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    label->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    label->setWordWrap(true);
    return label;
}

// A filled green check-circle when done, an empty circle otherwise.
QPixmap checkMark(bool done, const QPalette& palette, qreal ratio) {
    QPixmap pixmap(QSize(markSize, markSize) * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF circle(1.5, 1.5, markSize - 3, markSize - 3);
    if (!done) {
        painter.setPen(QPen(SemanticColors::tone(Tone::secondary, palette), 1.5));
        painter.drawEllipse(circle);
        return pixmap;
    }
    painter.setPen(Qt::NoPen);
    painter.setBrush(SemanticColors::tone(Tone::green, palette));
    painter.drawEllipse(circle);
    painter.setPen(QPen(Qt::white, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawPolyline(QPolygonF({{5.2, 9.4}, {7.9, 12.0}, {12.9, 6.4}}));
    return pixmap;
}

} // namespace

iPadSetupView::iPadSetupView(AppViewModel& app, QWidget* parent) : QWidget(parent), app(app) {
    setObjectName(QStringLiteral("ipadSetup"));
    // Placed by resizeEvent rather than a layout: see there.
    scroll = new QScrollArea(this);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);

    auto* page = new QWidget(scroll);
    auto* column = new QVBoxLayout(page);
    column->setContentsMargins(screenPadding, screenPadding, screenPadding, screenPadding);
    column->setSpacing(24);
    column->addWidget(new ScreenHeader(QStringLiteral("iPad Setup"), page));
    column->addWidget(caption(QStringLiteral("On the same Wi\u2011Fi, scan this QR code with the "
                                             "iPad's camera or open the URL in its browser."),
                              page));

    auto* firewall = new QGroupBox(QStringLiteral("Firewall"), page);
    auto* firewallColumn = new QVBoxLayout(firewall);
    firewallText = caption(QString(), firewall);
    firewallText->setObjectName(QStringLiteral("firewallText"));
    firewallText->setTextInteractionFlags(Qt::TextSelectableByMouse);
    firewallColumn->addWidget(firewallText);
    column->addWidget(firewall);

    auto* row = new QWidget(page);
    columns = new QBoxLayout(QBoxLayout::LeftToRight, row);
    columns->setContentsMargins(0, 0, 0, 0);
    columns->setSpacing(columnSpacing);
    columns->addWidget(buildQRColumn(row), 0, Qt::AlignTop | Qt::AlignLeft);
    // Top only: across, the instructions take the room up to their maximum.
    columns->addWidget(buildInstructions(row), 1, Qt::AlignTop);
    columns->addStretch(0); // beyond their maximum, the rest goes to the right
    column->addWidget(row);
    column->addStretch(1);
    scroll->setWidget(page);

    connect(&app, &AppViewModel::changed, this, &iPadSetupView::render);
    render();
}

QWidget* iPadSetupView::buildQRColumn(QWidget* parent) {
    auto* qrColumn = new QWidget(parent);
    qrColumn->setFixedWidth(qrColumnWidth);
    auto* layout = new QVBoxLayout(qrColumn);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(12);

    addressRow = new QWidget(qrColumn);
    auto* addressLayout = new QVBoxLayout(addressRow);
    addressLayout->setContentsMargins(0, 0, 0, 0);
    addressLayout->setSpacing(4);
    auto* pickerLabel = new QLabel(QStringLiteral("Network address"), addressRow);
    addressPicker = new QComboBox(addressRow);
    addressPicker->setObjectName(QStringLiteral("addressPicker"));
    addressPicker->setAccessibleName(QStringLiteral("Network address"));
    pickerLabel->setBuddy(addressPicker);
    connect(addressPicker, &QComboBox::activated, this,
            [this](int index) { this->app.lanAddresses().choose(addressPicker->itemText(index)); });
    addressLayout->addWidget(pickerLabel);
    addressLayout->addWidget(addressPicker);
    addressLayout->addWidget(
        caption(QStringLiteral("This computer is on more than one network. Choose the address "
                               "that begins like the iPad's own (iPad Settings → Wi\u2011Fi → ⓘ)."),
                addressRow));
    layout->addWidget(addressRow);

    qrCode = new QRCodeView(qrColumn);
    qrCode->setObjectName(QStringLiteral("qrCode"));
    layout->addWidget(qrCode, 0, Qt::AlignHCenter);
    presenterURL = urlLabel(qrColumn);
    presenterURL->setObjectName(QStringLiteral("presenterURL"));
    presenterURL->setAlignment(Qt::AlignHCenter);
    layout->addWidget(presenterURL);

    auto* buttons = pageButtons(
        QStringLiteral("presenter"), QStringLiteral("Copy URL"),
        [this] { return content().presenterURL; }, [] { return QStringLiteral("/presenter"); },
        openPresenter, qrColumn);
    static_cast<QHBoxLayout*>(buttons->layout())->insertStretch(0, 1);
    layout->addWidget(buttons);
    return qrColumn;
}

QWidget* iPadSetupView::buildInstructions(QWidget* parent) {
    auto* instructions = new QWidget(parent);
    instructions->setMinimumWidth(instructionsMinimumWidth);
    instructions->setMaximumWidth(instructionsMaximumWidth);
    auto* layout = new QVBoxLayout(instructions);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(16);
    layout->addWidget(buildChecklist(instructions));
    layout->addWidget(buildLocalBox(instructions));
    layout->addWidget(buildOutputBox(instructions));
    layout->addWidget(buildStageBox(instructions));
    stoppedHint =
        new QLabel(QStringLiteral("Start the server from the Dashboard tab first."), instructions);
    stoppedHint->setObjectName(QStringLiteral("stoppedHint"));
    stoppedHint->setWordWrap(true);
    setTextTone(stoppedHint, Tone::orange);
    layout->addWidget(stoppedHint);
    return instructions;
}

QGroupBox* iPadSetupView::buildChecklist(QWidget* parent) {
    auto* box = new QGroupBox(QStringLiteral("Checklist"), parent);
    box->setObjectName(QStringLiteral("checklist"));
    auto* layout = new QGridLayout(box);
    layout->setHorizontalSpacing(8);
    layout->setVerticalSpacing(8);
    layout->setColumnStretch(1, 1);
    for (int i = 0; i < 4; ++i) {
        ChecklistRow row{new QLabel(box), new QLabel(box)};
        row.mark->setFixedSize(markSize, markSize);
        row.text->setWordWrap(true);
        layout->addWidget(row.mark, i, 0, Qt::AlignTop);
        layout->addWidget(row.text, i, 1);
        checklist << row;
    }
    return box;
}

QGroupBox* iPadSetupView::buildLocalBox(QWidget* parent) {
    auto* box = new QGroupBox(QStringLiteral("Also available locally"), parent);
    auto* layout = new QVBoxLayout(box);
    localURL = urlLabel(box);
    localURL->setObjectName(QStringLiteral("localPresenterURL"));
    layout->addWidget(localURL);
    layout->addWidget(caption(
        QStringLiteral("Use the LAN URL above for iPad; localhost only works on this computer."),
        box));
    return box;
}

QGroupBox* iPadSetupView::buildOutputBox(QWidget* parent) {
    auto* box = new QGroupBox(QStringLiteral("Stream output (OBS)"), parent);
    auto* layout = new QVBoxLayout(box);
    outputURL = urlLabel(box);
    outputURL->setObjectName(QStringLiteral("outputURL"));
    layout->addWidget(outputURL);
    layout->addWidget(pageButtons(
        QStringLiteral("output"), QStringLiteral("Copy output URL"),
        [this] { return app.outputURLString(); },
        [this] {
            return QStringLiteral("/output?w=%1&h=%2")
                .arg(app.outputWidth())
                .arg(app.outputHeight());
        },
        openOutput, box));
    layout->addWidget(caption(QStringLiteral("Or use Dashboard → Open Display Output for a "
                                             "fullscreen window on an external monitor."),
                              box));
    return box;
}

QGroupBox* iPadSetupView::buildStageBox(QWidget* parent) {
    auto* box = new QGroupBox(QStringLiteral("Stage (confidence)"), parent);
    auto* layout = new QVBoxLayout(box);
    stageURL = urlLabel(box);
    stageURL->setObjectName(QStringLiteral("stageURL"));
    layout->addWidget(stageURL);
    layout->addWidget(pageButtons(
        QStringLiteral("stage"), QStringLiteral("Copy stage URL"),
        [this] { return content().stageURL; }, [] { return QStringLiteral("/stage"); }, openStage,
        box));
    layout->addWidget(caption(QStringLiteral("For a second tablet or a screen facing the platform: "
                                             "the live text, what comes next and the time."),
                              box));
    return box;
}

// "Copy …" puts the address as shown on the clipboard; "Open on this computer"
// opens the page at 127.0.0.1. Both named after `page` for tests and screen
// readers ("copyStageURL", "openStage", "Open the stage page on this computer").
QWidget* iPadSetupView::pageButtons(const QString& page, const QString& copyText,
                                    std::function<QString()> address, std::function<QString()> path,
                                    QPushButton*& open, QWidget* parent) {
    const QString name = page.left(1).toUpper() + page.mid(1);
    auto* copy = new QPushButton(copyText, parent);
    copy->setObjectName(QStringLiteral("copy") + name + QStringLiteral("URL"));
    connect(copy, &QPushButton::clicked, this,
            [this, address] { app.copyToPasteboard(address()); });
    open = new QPushButton(QStringLiteral("Open on this computer"), parent);
    open->setObjectName(QStringLiteral("open") + name);
    open->setAccessibleName(QStringLiteral("Open the %1 page on this computer").arg(page));
    connect(open, &QPushButton::clicked, this, [this, path] { app.openURL(path(), false); });
    auto* row = new QWidget(parent);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(copy);
    layout->addWidget(open);
    layout->addStretch(1);
    return row;
}

iPadSetupContent iPadSetupView::content() const {
    return iPadSetupContent::make(app.lanAddresses().current(), app.server().port(),
                                  app.mirroredServerRunning(),
                                  ProjectPaths{app.projectRoot()}.hasBibleDatabase());
}

void iPadSetupView::render() {
    const iPadSetupContent shown = content();
    const bool running = app.mirroredServerRunning();
    setIfChanged(firewallText, shown.firewallText);
    renderAddressPicker();
    qrCode->setText(shown.presenterURL);
    setIfChanged(presenterURL, shown.presenterURL);
    openPresenter->setEnabled(running);
    renderChecklist(shown);
    setIfChanged(localURL, shown.localPresenterURL);
    setIfChanged(outputURL, app.outputURLString());
    openOutput->setEnabled(running);
    setIfChanged(stageURL, shown.stageURL);
    openStage->setEnabled(running);
    stoppedHint->setVisible(!running);
}

void iPadSetupView::renderAddressPicker() {
    const LANAddresses& lan = app.lanAddresses();
    addressRow->setVisible(lan.addresses().size() > 1);
    const QSignalBlocker quiet(addressPicker);
    QStringList items;
    for (int i = 0; i < addressPicker->count(); ++i)
        items << addressPicker->itemText(i);
    if (items != lan.addresses()) {
        addressPicker->clear();
        addressPicker->addItems(lan.addresses());
    }
    addressPicker->setCurrentIndex(lan.addresses().indexOf(lan.current()));
}

void iPadSetupView::renderChecklist(const iPadSetupContent& shown) {
    const qreal ratio = devicePixelRatioF();
    for (int i = 0; i < checklist.size(); ++i) {
        const iPadSetupContent::ChecklistRow& item = shown.checklist.at(i);
        setIfChanged(checklist[i].text, item.text);
        checklist[i].mark->setPixmap(checkMark(item.done, palette(), ratio));
        checklist[i].mark->setAccessibleName(item.done ? QStringLiteral("Done")
                                                       : QStringLiteral("Not done"));
    }
}

void iPadSetupView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // A change of network while the screen was hidden shows now; the read
    // announces itself only when the list differs.
    app.lanAddresses().refresh();
    render();
}

void iPadSetupView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    const int besideWidth = 2 * screenPadding + qrColumnWidth + columnSpacing +
                            instructionsMinimumWidth + 24; // room for a scroll bar
    const auto direction =
        width() >= besideWidth ? QBoxLayout::LeftToRight : QBoxLayout::TopToBottom;
    if (columns->direction() != direction) {
        columns->setDirection(direction);
        // Settled now, before the scroll area sizes the page: left to the
        // posted layout requests, a frame or two would show the columns
        // side by side squeezed into the narrow width.
        columns->activate();
        scroll->widget()->layout()->activate();
    }
    scroll->setGeometry(rect());
}

void iPadSetupView::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    // The marks and the hint are painted in the palette's tones.
    if (event->type() == QEvent::PaletteChange)
        render();
}
