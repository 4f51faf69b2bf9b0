#include "services/NetworkUtils.h"

#include <QSet>
#include <algorithm>
#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
#include <sys/socket.h>

namespace NetworkUtils {

bool isLANInterfaceName(const QString& name) {
    // Named explicitly so that a future prefix added below cannot let them in.
    for (const char* virtualPrefix : {"docker", "virbr", "veth", "br", "tun", "tap", "lo"}) {
        if (name.startsWith(QLatin1String(virtualPrefix)))
            return false;
    }
    return name.startsWith(QLatin1String("en")) || name.startsWith(QLatin1String("eth")) ||
           name.startsWith(QLatin1String("wl"));
}

QStringList selectLANAddresses(const QList<InterfaceAddress>& entries) {
    QSet<QString> seen;
    QStringList addresses;
    for (const InterfaceAddress& entry : entries) {
        if (!entry.isIPv4 || !entry.isUp || entry.isLoopback)
            continue;
        if (!isLANInterfaceName(entry.interfaceName) || entry.address.isEmpty())
            continue;
        if (entry.address == QLatin1String("127.0.0.1") || seen.contains(entry.address))
            continue;
        seen.insert(entry.address);
        addresses << entry.address;
    }
    std::sort(addresses.begin(), addresses.end());
    return addresses;
}

QStringList localIPv4Addresses() {
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0 || !list)
        return {};
    QList<InterfaceAddress> entries;
    for (const ifaddrs* entry = list; entry; entry = entry->ifa_next) {
        // Entries without an address or a name exist (an interface that is
        // down, a tunnel); there is nothing to list for them.
        if (!entry->ifa_addr || !entry->ifa_name || entry->ifa_addr->sa_family != AF_INET)
            continue;
        char host[1025] = {};
        if (::getnameinfo(entry->ifa_addr, sizeof(sockaddr_in), host, sizeof host, nullptr, 0,
                          NI_NUMERICHOST) != 0)
            continue;
        InterfaceAddress item;
        item.interfaceName = QString::fromUtf8(entry->ifa_name);
        item.address = QString::fromUtf8(host); // invalid bytes become U+FFFD
        item.isIPv4 = true;
        item.isUp = (entry->ifa_flags & IFF_UP) != 0;
        item.isLoopback = (entry->ifa_flags & IFF_LOOPBACK) != 0;
        entries << item;
    }
    ::freeifaddrs(list);
    return selectLANAddresses(entries);
}

} // namespace NetworkUtils
