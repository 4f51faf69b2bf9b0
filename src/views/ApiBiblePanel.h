#pragma once

#include <QGroupBox>

class AppViewModel;
class QCheckBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

// The Settings box "API.Bible (NKJV import)": the key and Bible ID fields,
// Save / Test API key / Clear key, the key test's message, the import button
// with its enabling rules, and, while an import runs, which book it fetches
// with a Cancel button. The fields are the screen's own (what the operator is
// typing); reloadFromStorage() fills them from the keyring and the data
// folder, as the screen does when it is shown and on every tab change.
class ApiBiblePanel : public QGroupBox {
    Q_OBJECT

public:
    static inline const QString validKeyPrefix = QStringLiteral("API key is valid");
    static inline const QString savedText =
        QStringLiteral("Saved to the keyring and the data folder (import.env)");

    explicit ApiBiblePanel(AppViewModel& app, QWidget* parent = nullptr);

    void reloadFromStorage();
    void render();

private:
    void buildFields();
    void buildButtons();
    void buildImport();
    void save();
    void clearKey();
    void renderImport();

    AppViewModel& app;
    // Whether the keyring held both credentials at the last reload: asked
    // there and after Save / Clear, never on every redraw.
    bool credentialsStored = false;
    QLineEdit* apiKeyField = nullptr;
    QCheckBox* showApiKey = nullptr;
    QLineEdit* bibleIdField = nullptr;
    QPushButton* testButton = nullptr;
    QLabel* savedNote = nullptr;
    QLabel* testMessage = nullptr;
    QLabel* importError = nullptr;
    QPushButton* importButton = nullptr;
    QLabel* blockedReason = nullptr;
    QWidget* progressRow = nullptr;
    QProgressBar* progressBar = nullptr;
    QLabel* progressText = nullptr;
    QPushButton* cancelButton = nullptr;
    QLabel* installedNote = nullptr;
};
