#include "services/LANAddresses.h"

#include "services/Settings.h"

#include <QNetworkInformation>

LANAddresses::LANAddresses(Reader read, QObject* parent)
    : QObject(parent), read(std::move(read)), addresses_(this->read()) {}

QString LANAddresses::current() const {
    const QString chosen = Settings::text(Settings::Key::lanAddress);
    if (!chosen.isEmpty() && addresses_.contains(chosen))
        return chosen;
    return addresses_.value(0);
}

void LANAddresses::refresh() {
    followNetworkChanges();
    QStringList fresh = read();
    if (fresh == addresses_)
        return;
    addresses_ = std::move(fresh);
    Q_EMIT changed();
}

void LANAddresses::choose(const QString& address) {
    if (!addresses_.contains(address))
        return;
    const QString before = current();
    // A write that fails is logged; the old choice then stays in use, and
    // the picker, which shows current(), says so.
    Settings::setText(Settings::Key::lanAddress, address);
    if (current() != before)
        Q_EMIT changed();
}

void LANAddresses::followNetworkChanges() {
    if (following)
        return;
    following = true;
    // Loaded on first use rather than at start-up: the backend talks to the
    // system bus. Without NetworkManager the GLib backend still sees links
    // come and go; with no backend at all, the addresses are read when the
    // screen that shows them is shown.
    using Feature = QNetworkInformation::Feature;
    if (!QNetworkInformation::loadDefaultBackend() &&
        !QNetworkInformation::loadBackendByFeatures(Feature::Reachability))
        return;
    QNetworkInformation* network = QNetworkInformation::instance();
    connect(network, &QNetworkInformation::reachabilityChanged, this, &LANAddresses::refresh);
    if (network->supports(Feature::TransportMedium))
        connect(network, &QNetworkInformation::transportMediumChanged, this,
                &LANAddresses::refresh);
}
