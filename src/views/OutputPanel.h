#pragma once

#include <QGroupBox>
#include <QList>
#include <QMetaObject>

class AppViewModel;
class QCheckBox;
class QHBoxLayout;
class QComboBox;
class QLabel;
class QPushButton;
class QSpinBox;

// The Dashboard's "Presentation output" box: which monitor the display output
// opens on and at what size, opening and closing it, and whether the web
// output addresses are listed. While shown it follows monitors being plugged
// in, removed or rearranged.
class OutputPanel : public QGroupBox {
    Q_OBJECT

public:
    static constexpr int minimumStepperSize = 640;
    static constexpr int maximumStepperSize = 7680;
    static constexpr int stepperStep = 10;

    explicit OutputPanel(AppViewModel& app, QWidget* parent = nullptr);
    ~OutputPanel() override;

    void render();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void buildSizeRow();
    void buildOpenRow();
    void watchScreens(bool watch);
    void renderPicker();
    void buildPagePicker(QHBoxLayout* row);

    AppViewModel& app;
    QComboBox* displayPicker = nullptr;
    // Output or the stage view, in the window on that monitor.
    QComboBox* pagePicker = nullptr;
    QSpinBox* widthStepper = nullptr;
    QSpinBox* heightStepper = nullptr;
    QPushButton* openOutputButton = nullptr;
    QPushButton* closeOutputButton = nullptr;
    QWidget* outputOpenLabel = nullptr;
    QCheckBox* webOutputToggle = nullptr;
    QList<QMetaObject::Connection> screenWatch;
};
