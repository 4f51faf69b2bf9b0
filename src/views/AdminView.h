#pragma once

#include "app/AppTab.h"
#include "views/AdminWebSheet.h"

#include <QPointer>
#include <QWidget>
#include <qcoro/qcorotask.h>

class AppViewModel;
class QGroupBox;
class QPushButton;
class QToolButton;
class TranslationsCard;

// The Admin tab: the translation on air and the one beside it, the ways to
// the Bookmarks and Themes tabs, the server's web admin, and the data files.
class AdminView : public QWidget {
    Q_OBJECT

public:
    explicit AdminView(AppViewModel& app, QWidget* parent = nullptr);

    void render();
    TranslationsCard& translations() const { return *translations_; }
    // The web admin sheet while it is open.
    AdminWebSheet* webAdminSheet() const { return webAdminSheet_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    QGroupBox* buildBookmarksBox();
    QGroupBox* buildThemesBox();
    QGroupBox* buildFilesBox();
    // A button that shows another tab.
    QPushButton* tabButton(const QString& text, AppTab tab);
    void openWebAdmin();
    // What the web admin may have changed, read back in order: bookmarks,
    // themes, translations.
    static QCoro::Task<> reloadAfterWebAdmin(QPointer<AppViewModel> app);

    AppViewModel& app;
    QToolButton* reloadButton = nullptr;
    TranslationsCard* translations_ = nullptr;
    QPushButton* webAdminButton = nullptr;
    QPointer<AdminWebSheet> webAdminSheet_;
};
