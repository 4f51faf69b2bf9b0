#include "services/NetworkUtils.h"
#include "support/TestSupport.h"

#include <QHostAddress>
#include <QNetworkInterface>

using NetworkUtils::InterfaceAddress;

namespace {

InterfaceAddress up(const QString& name, const QString& address) {
    return {name, address, true, true, false};
}

} // namespace

class TestNetworkUtils : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void keepsEthernetAndWifiSortedAsText() {
        const QList<InterfaceAddress> entries{up("enp3s0", "192.168.1.20"),
                                              up("wlp2s0", "10.0.0.5"), up("eth0", "192.168.1.3"),
                                              // The same address on two links counts once.
                                              up("wlan0", "10.0.0.5")};
        QCOMPARE(NetworkUtils::selectLANAddresses(entries),
                 QStringList({"10.0.0.5", "192.168.1.20", "192.168.1.3"}));
    }

    void dropsWhatATabletCannotReach() {
        QList<InterfaceAddress> entries{
            up("lo", "127.0.0.1"),          up("docker0", "172.17.0.1"),
            up("virbr0", "192.168.122.1"),  up("veth12ab", "169.254.3.4"),
            up("br-5f2e", "172.18.0.1"),    up("tun0", "10.8.0.2"),
            up("tailscale0", "100.64.0.1"), up("enx0", "127.0.0.1")};
        InterfaceAddress down = up("enp0s31f6", "192.168.0.9");
        down.isUp = false;
        InterfaceAddress loopback = up("en0", "10.1.1.1");
        loopback.isLoopback = true;
        InterfaceAddress ipv6 = up("wlp1s0", "fe80::1");
        ipv6.isIPv4 = false;
        entries << down << loopback << ipv6;
        QCOMPARE(NetworkUtils::selectLANAddresses(entries), QStringList());
    }

    // The live list against Qt's own view of the interfaces.
    void theSystemListHoldsOnlyUpLanIPv4Addresses() {
        const QStringList addresses = NetworkUtils::localIPv4Addresses();
        QStringList expected;
        for (const QNetworkInterface& interface : QNetworkInterface::allInterfaces()) {
            if (!(interface.flags() & QNetworkInterface::IsUp) ||
                (interface.flags() & QNetworkInterface::IsLoopBack) ||
                !NetworkUtils::isLANInterfaceName(interface.name()))
                continue;
            for (const QNetworkAddressEntry& entry : interface.addressEntries()) {
                if (entry.ip().protocol() == QAbstractSocket::IPv4Protocol &&
                    !expected.contains(entry.ip().toString()))
                    expected << entry.ip().toString();
            }
        }
        std::sort(expected.begin(), expected.end());
        QCOMPARE(addresses, expected);
    }
};

VESPERLINE_TEST_MAIN(TestNetworkUtils)
#include "tst_networkutils.moc"
