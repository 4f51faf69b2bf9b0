#pragma once

#include <QList>
#include <QString>
#include <QWidget>
#include <functional>

class AppViewModel;
class QBoxLayout;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QRCodeView;
class QScrollArea;
struct iPadSetupContent;

// How the tablet finds the server: the presenter URL over the LAN with its
// QR code (and, on a computer with several LAN addresses, which one to use),
// a checklist, the local and OBS addresses. Renders from the model on every
// change; the addresses are read again whenever the screen is shown.
class iPadSetupView : public QWidget {
    Q_OBJECT

public:
    explicit iPadSetupView(AppViewModel& app, QWidget* parent = nullptr);

    void render();

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    struct ChecklistRow {
        QLabel* mark;
        QLabel* text;
    };

    iPadSetupContent content() const;
    QWidget* buildQRColumn(QWidget* parent);
    QWidget* buildInstructions(QWidget* parent);
    QGroupBox* buildChecklist(QWidget* parent);
    QGroupBox* buildLocalBox(QWidget* parent);
    QGroupBox* buildOutputBox(QWidget* parent);
    QGroupBox* buildStageBox(QWidget* parent);
    QWidget* pageButtons(const QString& page, const QString& copyText,
                         std::function<QString()> address, std::function<QString()> path,
                         QPushButton*& open, QWidget* parent);
    void renderAddressPicker();
    void renderChecklist(const iPadSetupContent& shown);

    AppViewModel& app;
    QScrollArea* scroll = nullptr;
    QBoxLayout* columns = nullptr;
    QLabel* firewallText = nullptr;
    QWidget* addressRow = nullptr;
    QComboBox* addressPicker = nullptr;
    QRCodeView* qrCode = nullptr;
    QLabel* presenterURL = nullptr;
    QPushButton* openPresenter = nullptr;
    QList<ChecklistRow> checklist;
    QLabel* localURL = nullptr;
    QLabel* outputURL = nullptr;
    QPushButton* openOutput = nullptr;
    QLabel* stageURL = nullptr;
    QPushButton* openStage = nullptr;
    QLabel* stoppedHint = nullptr;
};
