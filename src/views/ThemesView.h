#pragma once

#include "views/AdminWebSheet.h"

#include <QPointer>
#include <QWidget>

class AppViewModel;
class QLabel;
class QListView;
class QPushButton;
class QToolButton;
class ThemeListModel;

// The Themes tab: the themes the server offers (or themes.json while it is
// stopped), the default one, the one live on the output, and the web admin
// for editing them. The program itself never changes a theme.
class ThemesView : public QWidget {
    Q_OBJECT

public:
    explicit ThemesView(AppViewModel& app, QWidget* parent = nullptr);

    void render();
    // The web admin sheet while it is open.
    AdminWebSheet* adminSheet() const { return adminSheet_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    QWidget* buildConfigBlock();
    QWidget* buildEmptyState();
    void openAdminSheet();
    void fitListToRows();

    AppViewModel& app;
    QToolButton* reloadButton = nullptr;
    QPushButton* advancedButton = nullptr;
    QLabel* errorLine = nullptr;
    QWidget* configBlock = nullptr;
    QLabel* defaultThemeId = nullptr;
    ThemeListModel* themes = nullptr;
    QListView* themeList = nullptr;
    QWidget* emptyState = nullptr;
    QPointer<AdminWebSheet> adminSheet_;
};
