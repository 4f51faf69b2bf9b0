#pragma once

#include "models/ServerStatus.h"
#include "views/SemanticColors.h"

#include <QString>
#include <QWidget>

class AppViewModel;
class QLabel;
class StatusDot;

// The sidebar's one-line server state: a coloured dot and a short label.
class ServerStatusFooter : public QWidget {
    Q_OBJECT

public:
    struct Appearance {
        QString label;
        SemanticColors::Tone dot = SemanticColors::Tone::secondary;
        bool operator==(const Appearance&) const = default;
    };

    // `portOccupied` only matters while stopped.
    static Appearance appearance(ServerStatus status, bool portOccupied, int port);

    explicit ServerStatusFooter(AppViewModel& app, QWidget* parent = nullptr);

    // Redraws from the model; the port is tested afresh while stopped.
    void render();

    const Appearance& shown() const { return shown_; }

protected:
    void changeEvent(QEvent* event) override;

private:
    void applyColours();

    AppViewModel& app;
    StatusDot* dot;
    QLabel* label;
    Appearance shown_;
};
