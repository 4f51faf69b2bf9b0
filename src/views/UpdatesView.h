#pragma once

#include "services/RuntimeUpdateService.h"

#include <QWidget>

class AppViewModel;
class QLabel;
class QLineEdit;
class QPushButton;
class UpdateStatusBlock;

// The Updates tab: which desktop app and server runtime are in use, the
// update feed's address, the check and installation of a runtime hot patch,
// and going back to the runtime an update replaced. It owns the update
// service, so a check or installation goes on while another tab is shown.
// Every time it is shown it discards an unsaved feed address and checks.
class UpdatesView : public QWidget {
    Q_OBJECT

public:
    explicit UpdatesView(AppViewModel& app, QWidget* parent = nullptr);
    // Tests: a service with their own signing key.
    UpdatesView(AppViewModel& app, RuntimeUpdateService::Options options,
                QWidget* parent = nullptr);

    RuntimeUpdateService& updates() const { return *updates_; }

    void render();

protected:
    void showEvent(QShowEvent* event) override;

private:
    QWidget* buildInstalled();
    QWidget* buildFeed();
    QWidget* buildHotPatch();
    void installLatest();
    void rollBack();

    AppViewModel& app;
    RuntimeUpdateService* updates_;
    QLabel* desktopAppVersion = nullptr;
    QLabel* runtimeVersion = nullptr;
    QLabel* runtimeSource = nullptr;
    QLineEdit* feedURL = nullptr;
    UpdateStatusBlock* statusBlock = nullptr;
    QPushButton* checkButton = nullptr;
    QPushButton* installButton = nullptr;
    QPushButton* rollBackButton = nullptr;
};
