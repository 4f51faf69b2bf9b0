#include "views/ServerLogPanel.h"

#include "app/AppViewModel.h"
#include "services/ApplicationSupport.h"
#include "services/ServerManager.h"
#include "views/ScreenStyle.h"

#include <QDesktopServices>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QUrl>
#include <QVBoxLayout>

using namespace ScreenStyle;

ServerLogPanel::ServerLogPanel(AppViewModel& app, QWidget* parent)
    : QGroupBox(QStringLiteral("Server log"), parent), app(app) {
    auto* column = new QVBoxLayout(this);
    auto* row = new QHBoxLayout;
    logPath = caption(QString(), this);
    logPath->setFont(scaled(font(), 0.8));
    logPath->setWordWrap(false);
    logPath->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    logPath->setAccessibleName(QStringLiteral("Log file"));
    row->addWidget(logPath, 1);
    auto* reveal = new QPushButton(QStringLiteral("Reveal log"), this);
    reveal->setObjectName(QStringLiteral("revealLog"));
    connect(reveal, &QPushButton::clicked, this, [] {
        QDesktopServices::openUrl(QUrl::fromLocalFile(ApplicationSupport::supportURL()));
    });
    auto* clear = new QPushButton(QStringLiteral("Clear"), this);
    clear->setObjectName(QStringLiteral("clearLog"));
    clear->setAccessibleName(QStringLiteral("Clear log"));
    connect(clear, &QPushButton::clicked, this, [this] { this->app.server().clearLogs(); });
    row->addWidget(reveal);
    row->addWidget(clear);
    column->addLayout(row);

    logView = new QPlainTextEdit(this);
    logView->setObjectName(QStringLiteral("serverLog"));
    logView->setAccessibleName(QStringLiteral("Server log"));
    logView->setReadOnly(true);
    logView->setLineWrapMode(QPlainTextEdit::NoWrap);
    logView->setMaximumBlockCount(visibleLines);
    logView->setFixedHeight(140);
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setPointSizeF(font().pointSizeF() * 0.9);
    logView->setFont(mono);
    logView->setStyleSheet(QStringLiteral("QPlainTextEdit { border-radius: 6px; }"));
    column->addWidget(logView);
}

void ServerLogPanel::render() {
    if (followed != &app.server().log())
        follow(app.server().log());
    renderPath();
}

void ServerLogPanel::follow(const ServerLog& log) {
    for (const auto& connection : std::as_const(logConnections))
        disconnect(connection);
    followed = &log;
    logConnections = {connect(&log, &ServerLog::appended, this, &ServerLogPanel::append),
                      connect(&log, &ServerLog::cleared, logView, &QPlainTextEdit::clear)};
    reload();
}

void ServerLogPanel::reload() {
    logView->setPlainText(followed->lines().join('\n'));
    logView->verticalScrollBar()->setValue(logView->verticalScrollBar()->maximum());
}

void ServerLogPanel::append(const QString& line) {
    QScrollBar* bar = logView->verticalScrollBar();
    const int position = bar->value();
    const bool atBottom = position >= bar->maximum();
    // At the limit the oldest line goes, and the text moves up by one.
    const bool full = logView->blockCount() >= visibleLines;
    logView->appendPlainText(line);
    if (atBottom)
        bar->setValue(bar->maximum());
    else
        bar->setValue(full ? std::max(0, position - 1) : position);
}

void ServerLogPanel::resizeEvent(QResizeEvent* event) {
    QGroupBox::resizeEvent(event);
    renderPath();
}

void ServerLogPanel::renderPath() {
    const QString path = ServerLog::filePath();
    setIfChanged(logPath,
                 logPath->fontMetrics().elidedText(path, Qt::ElideMiddle, logPath->width()));
    logPath->setToolTip(path);
}
