#include "models/iPadSetupContent.h"

namespace {

const QString noAddress = QStringLiteral("—");

} // namespace

iPadSetupContent iPadSetupContent::make(const QString& lanAddress, int port, bool serverRunning,
                                        bool hasBibleDatabase) {
    const QString portText = QString::number(port);
    iPadSetupContent content;
    content.lanHost = lanAddress.isEmpty() ? noAddress : lanAddress;
    content.presenterURL =
        QStringLiteral("http://") + content.lanHost + ':' + portText + QStringLiteral("/presenter");
    content.stageURL =
        QStringLiteral("http://") + content.lanHost + ':' + portText + QStringLiteral("/stage");
    content.localPresenterURL = QStringLiteral("http://127.0.0.1:") + portText + "/presenter";
    content.firewallText =
        QStringLiteral("If the iPad cannot connect, allow TCP port %1 in this computer's firewall "
                       "(for example sudo ufw allow %1/tcp).")
            .arg(portText);
    // The computer cannot see the iPad; its row follows the server, which
    // is what the iPad needs from this side.
    content.checklist = {
        {QStringLiteral("Server is running"), serverRunning},
        {QStringLiteral("This computer has a LAN IP (") + content.lanHost + ')',
         !lanAddress.isEmpty()},
        {QStringLiteral("Bible database imported"), hasBibleDatabase},
        {QStringLiteral("iPad on same Wi\u2011Fi as this computer"), serverRunning},
    };
    return content;
}
