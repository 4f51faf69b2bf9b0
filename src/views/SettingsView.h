#pragma once

#include "app/AppTab.h"

#include <QWidget>
#include <optional>

class ApiBiblePanel;
class AppViewModel;
class QCheckBox;
class QLabel;
class QLineEdit;

// The Settings tab: whether the installed runtime is complete, the server's
// port, start-up log and Node.js, the translation in use, the API.Bible
// credentials and the licensed import, the data folder and the version.
// Renders from the model on every change; its own state is what the operator
// types (the port and the API.Bible fields).
class SettingsView : public QWidget {
    Q_OBJECT

public:
    static inline const QString nodeDownloadURL = QStringLiteral("https://nodejs.org/en/download");

    explicit SettingsView(AppViewModel& app, QWidget* parent = nullptr);

    // A decimal port of 1024…65535, with an optional sign; absent otherwise.
    static std::optional<int> parsePort(const QString& text);
    // Moves the server to the typed port, or puts the current port back.
    void applyPort();

    void render();

protected:
    void showEvent(QShowEvent* event) override;

private:
    QWidget* buildReleaseBundle();
    QWidget* buildServer();
    QWidget* buildTranslation();
    QWidget* buildData();
    QWidget* buildAbout();
    void resetPortField();
    void renderNode();

    AppViewModel& app;
    AppTab shownTab;
    bool loadedOnce = false;
    QLabel* serverBuildIcon = nullptr;
    QLabel* bundledBibleIcon = nullptr;
    QCheckBox* startupLogToggle = nullptr;
    QLineEdit* portField = nullptr;
    QLabel* nodeValue = nullptr;
    QLabel* nodeInstallLink = nullptr;
    QLabel* translationLabel = nullptr;
    QLabel* attribution = nullptr;
    ApiBiblePanel* apiBible = nullptr;
    QLabel* databaseIcon = nullptr;
    QLabel* databasePath = nullptr;
};
