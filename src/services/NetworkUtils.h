#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// This computer's addresses on the local network, for the URLs a tablet on
// the same Wi-Fi or Ethernet opens.
namespace NetworkUtils {

// One entry of the system's interface address list, reduced to what the
// choice needs.
struct InterfaceAddress {
    QString interfaceName;
    QString address; // numeric text
    bool isIPv4 = false;
    bool isUp = false;
    bool isLoopback = false;
};

// The IPv4 addresses of Ethernet and Wi-Fi interfaces that are up, without
// duplicates, sorted as plain text (so 10.0.0.5 comes before 192.168.1.20);
// empty when there are none or the list cannot be read.
QStringList localIPv4Addresses();

// The choice itself, over a given list.
QStringList selectLANAddresses(const QList<InterfaceAddress>& entries);

// Ethernet ("en*", "eth*") and Wi-Fi ("wl*") names; bridges, tunnels,
// container and virtual-machine links are not the local network a tablet is on.
bool isLANInterfaceName(const QString& name);

} // namespace NetworkUtils
