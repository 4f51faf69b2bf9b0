#include "services/LANAddresses.h"
#include "services/NetworkUtils.h"
#include "services/Preferences.h"
#include "services/Settings.h"
#include "support/TestSupport.h"

#include <QFile>
#include <QHostAddress>
#include <QSignalSpy>

using NetworkUtils::InterfaceAddress;

namespace {

InterfaceAddress up(const QString& name, const QString& address) {
    return {name, address, true, true, false};
}

} // namespace

class TestLANAddresses : public QObject {
    Q_OBJECT

    QStringList system;
    LANAddresses::Reader reader() {
        return [this] { return system; };
    }

private Q_SLOTS:
    void init() {
        QFile::remove(Preferences::filePath());
        system = QStringList{"10.8.0.2", "192.168.1.20"};
    }

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

        // Whatever this machine has has the same shape; a container may have none.
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

    // Only an address the computer has can be chosen, and only a change is
    // announced. The choice outlives the program and a spell without its
    // network, meanwhile the first address stands in (the screen's side of
    // that is tst_ipadsetup's); picking the stand-in replaces the choice.
    void theChoiceIsKeptWhileItsAddressExists() {
        {
            LANAddresses lan(reader());
            QCOMPARE(lan.current(), QString("10.8.0.2"));
            QSignalSpy changes(&lan, &LANAddresses::changed);
            lan.choose("10.0.0.7");
            lan.choose("192.168.1.20");
            lan.choose("192.168.1.20");
            lan.refresh();
            QCOMPARE(lan.current(), QString("192.168.1.20"));
            QCOMPARE(changes.size(), 1);
        }
        LANAddresses nextLaunch(reader());
        QCOMPARE(nextLaunch.current(), QString("192.168.1.20"));
        system = QStringList{"10.8.0.2", "172.20.10.4"};
        nextLaunch.refresh();
        QCOMPARE(nextLaunch.addresses(), system);
        QCOMPARE(nextLaunch.current(), QString("10.8.0.2"));
        system = QStringList{"192.168.1.20"};
        nextLaunch.refresh();
        QCOMPARE(nextLaunch.current(), QString("192.168.1.20"));

        system = QStringList{"10.8.0.2"};
        nextLaunch.refresh();
        nextLaunch.choose("10.8.0.2");
        system << "192.168.1.20";
        nextLaunch.refresh();
        QCOMPARE(nextLaunch.current(), QString("10.8.0.2"));
    }
};

VESPERLINE_TEST_MAIN(TestLANAddresses)
#include "tst_lanaddresses.moc"
