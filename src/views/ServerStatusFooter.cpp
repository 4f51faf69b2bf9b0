#include "views/ServerStatusFooter.h"

#include "app/AppViewModel.h"
#include "services/ServerManager.h"
#include "views/StatusDot.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>

ServerStatusFooter::Appearance ServerStatusFooter::appearance(ServerStatus status,
                                                              bool portOccupied, int port) {
    using SemanticColors::Tone;
    const QString n = QString::number(port);
    switch (status) {
    case ServerStatus::stopped:
        if (portOccupied)
            return {QStringLiteral("Port ") + n + QStringLiteral(" busy"), Tone::orange};
        return {QStringLiteral("Server stopped"), Tone::secondary};
    case ServerStatus::starting:
        return {QStringLiteral("Starting :") + n + QStringLiteral("…"), Tone::orange};
    case ServerStatus::running:
        return {QStringLiteral("Server on :") + n, Tone::green};
    case ServerStatus::stopping:
        return {QStringLiteral("Stopping…"), Tone::orange};
    case ServerStatus::crashed:
        return {QStringLiteral("Server failed"), Tone::red};
    }
    return {};
}

ServerStatusFooter::ServerStatusFooter(AppViewModel& app, QWidget* parent)
    : QWidget(parent), app(app), dot(new StatusDot(8, this)), label(new QLabel(this)) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(8);
    dot->setAttribute(Qt::WA_TransparentForMouseEvents);
    row->addWidget(dot, 0, Qt::AlignVCenter);
    row->addWidget(label, 1, Qt::AlignVCenter);

    QFont caption = label->font();
    caption.setPointSizeF(std::max(8.0, caption.pointSizeF() - 1));
    label->setFont(caption);
    label->setWordWrap(true);
    // Two lines at most: a long port number never pushes the sidebar taller.
    label->setMaximumHeight(QFontMetrics(caption).lineSpacing() * 2);
    setFocusPolicy(Qt::NoFocus);
    applyColours();
    render();
}

void ServerStatusFooter::render() {
    const ServerManager& server = app.server();
    const ServerStatus status = app.mirroredServerStatus();
    const bool occupied = status == ServerStatus::stopped && server.isPortOccupied();
    shown_ = appearance(status, occupied, server.port());
    label->setText(shown_.label);
    setAccessibleName(shown_.label);
    dot->setColor(SemanticColors::tone(shown_.dot, palette()));
}

void ServerStatusFooter::applyColours() {
    QPalette secondary = palette();
    secondary.setColor(QPalette::WindowText,
                       SemanticColors::secondaryLabel(palette(), backgroundRole()));
    label->setPalette(secondary);
    dot->setColor(SemanticColors::tone(shown_.dot, palette()));
}

void ServerStatusFooter::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        applyColours();
}
