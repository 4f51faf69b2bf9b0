#pragma once

#include <QList>
#include <QString>

// What the iPad setup screen says, worked out from the program's state: the
// addresses the tablet opens, the firewall advice for the port and the
// checklist.
struct iPadSetupContent {
    struct ChecklistRow {
        QString text;
        bool done = false;
        bool operator==(const ChecklistRow&) const = default;
    };

    // The LAN address in use, or "—" when there is none.
    QString lanHost;
    // "http://<lanHost>:<port>/presenter", what the QR code holds.
    QString presenterURL;
    QString localPresenterURL;
    // "http://<lanHost>:<port>/stage", the stage view for a tablet facing the platform.
    QString stageURL;
    QString firewallText;
    QList<ChecklistRow> checklist;

    // `lanAddress` empty: this computer has no LAN address.
    static iPadSetupContent make(const QString& lanAddress, int port, bool serverRunning,
                                 bool hasBibleDatabase);
};
