#pragma once

#include <QGroupBox>
#include <QMetaObject>
#include <QPointer>

class AppViewModel;
class QLabel;
class QPlainTextEdit;
class ServerLog;

// The Dashboard's "Server log" box: where the log file is, revealing its
// folder, clearing it, and its last 500 lines. New lines are appended as
// they come; the view follows them while it is at the bottom and stays
// where the operator scrolled otherwise.
class ServerLogPanel : public QGroupBox {
    Q_OBJECT

public:
    static constexpr int visibleLines = 500;

    explicit ServerLogPanel(AppViewModel& app, QWidget* parent = nullptr);

    // Follows the log of the model's current server manager.
    void render();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void follow(const ServerLog& log);
    void append(const QString& line);
    void reload();
    void renderPath();

    AppViewModel& app;
    QPointer<const ServerLog> followed;
    QList<QMetaObject::Connection> logConnections;
    QLabel* logPath = nullptr;
    QPlainTextEdit* logView = nullptr;
};
