#include "services/NetworkUtils.h"
#include "support/TestSupport.h"

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
        QList<InterfaceAddress> entries{up("enp3s0", "192.168.1.20"),   up("wlp2s0", "10.0.0.5"),
                                        up("eth0", "192.168.1.3"),      up("wlan0", "10.0.0.5"),
                                        up("lo", "127.0.0.1"),          up("docker0", "172.17.0.1"),
                                        up("tailscale0", "100.64.0.1"), up("enx0", "127.0.0.1")};
        InterfaceAddress down = up("enp0s31f6", "192.168.0.9");
        down.isUp = false;
        InterfaceAddress loopback = up("en0", "10.1.1.1");
        loopback.isLoopback = true;
        InterfaceAddress ipv6 = up("wlp1s0", "fe80::1");
        ipv6.isIPv4 = false;
        entries << down << loopback << ipv6;
        QCOMPARE(NetworkUtils::selectLANAddresses(entries),
                 QStringList({"10.0.0.5", "192.168.1.20", "192.168.1.3"}));
    }
};

VESPERLINE_TEST_MAIN(TestNetworkUtils)
#include "tst_networkutils.moc"
