#pragma once

#include <QWidget>

class AppViewModel;
class QFrame;
class QLabel;

// The Dashboard's setup warnings: the support folder that could not be made,
// Node.js missing, the Bible database missing, the server build or its
// packages missing. Each box shows only while its condition holds; the panel
// takes no room when none does.
class SetupWarningsPanel : public QWidget {
    Q_OBJECT

public:
    explicit SetupWarningsPanel(AppViewModel& app, QWidget* parent = nullptr);

    void render();

private:
    QFrame* addWarning(const QString& name, const QString& symbol);

    AppViewModel& app;
    QFrame* bootstrapWarning = nullptr;
    QLabel* bootstrapText = nullptr;
    QFrame* nodeWarning = nullptr;
    QLabel* nodeHeadline = nullptr;
    QLabel* nodeDetail = nullptr;
    QLabel* nodeDownload = nullptr;
    QFrame* databaseWarning = nullptr;
    QLabel* databasePath = nullptr;
    QFrame* buildWarning = nullptr;
    QLabel* buildHeadline = nullptr;
};
