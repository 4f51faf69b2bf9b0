#include "services/NetworkUtils.h"
#include "support/TestSupport.h"

#include <QHostAddress>

using NetworkUtils::InterfaceAddress;

namespace {

InterfaceAddress up(const QString& name, const QString& address) {
    return {name, address, true, true, false};
}

} // namespace

class TestNetworkUtils : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Ethernet and Wi-Fi addresses, sorted as text, each once; nothing a
    // tablet on the church's network cannot reach.
    void keepsOnlyWhatATabletCanReach() {
        QList<InterfaceAddress> entries{
            up("enp3s0", "192.168.1.20"),   up("wlp2s0", "10.0.0.5"),
            up("eth0", "192.168.1.3"),      up("wlan0", "10.0.0.5"),
            up("lo", "127.0.0.1"),          up("docker0", "172.17.0.1"),
            up("tailscale0", "100.64.0.1"), up("enx0", "127.0.0.1"),
            up("br-5f2a", "172.18.0.1"),    up("virbr0", "192.168.122.1"),
            up("veth12ab", "169.254.3.3"),  up("tun0", "10.8.0.2"),
            up("eth1", "192.168.1.10"),     up("wlp0s1", "")};
        InterfaceAddress down = up("enp0s31f6", "192.168.0.9");
        down.isUp = false;
        InterfaceAddress loopback = up("en0", "10.1.1.1");
        loopback.isLoopback = true;
        InterfaceAddress ipv6 = up("wlp1s0", "fe80::1");
        ipv6.isIPv4 = false;
        entries << down << loopback << ipv6 << up("", "10.9.9.9");
        QCOMPARE(NetworkUtils::selectLANAddresses(entries),
                 QStringList({"10.0.0.5", "192.168.1.10", "192.168.1.20", "192.168.1.3"}));
    }

    // Whatever this machine has: dotted quads, sorted, each once, never
    // loopback. A container may have none.
    void theSystemListHasTheSameShape() {
        const QStringList addresses = NetworkUtils::localIPv4Addresses();
        QStringList sorted = addresses;
        sorted.sort();
        sorted.removeDuplicates();
        QCOMPARE(addresses, sorted);
        for (const QString& address : addresses) {
            const QHostAddress parsed(address);
            QCOMPARE(parsed.protocol(), QAbstractSocket::IPv4Protocol);
            QVERIFY(!parsed.isLoopback());
        }
    }
};

VESPERLINE_TEST_MAIN(TestNetworkUtils)
#include "tst_networkutils.moc"
