#include "services/LANAddresses.h"
#include "services/Preferences.h"
#include "services/Settings.h"
#include "support/TestSupport.h"

#include <QFile>
#include <QSignalSpy>

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

    // The operator's choice outlives the program and a spell without its
    // network; meanwhile the first address stands in.
    void theChoiceIsKeptWhileItsAddressExists() {
        {
            LANAddresses lan(reader());
            QCOMPARE(lan.current(), QString("10.8.0.2"));
            QSignalSpy changes(&lan, &LANAddresses::changed);
            lan.choose("192.168.1.20");
            QCOMPARE(lan.current(), QString("192.168.1.20"));
            QCOMPARE(changes.size(), 1);
            lan.choose("192.168.1.20");
            QCOMPARE(changes.size(), 1);
        }
        LANAddresses nextLaunch(reader());
        QCOMPARE(nextLaunch.current(), QString("192.168.1.20"));

        QSignalSpy changes(&nextLaunch, &LANAddresses::changed);
        system = QStringList{"10.8.0.2", "172.20.10.4"};
        nextLaunch.refresh();
        QCOMPARE(nextLaunch.addresses(), system);
        QCOMPARE(nextLaunch.current(), QString("10.8.0.2"));
        system = QStringList{"192.168.1.20"};
        nextLaunch.refresh();
        QCOMPARE(nextLaunch.current(), QString("192.168.1.20"));
        system.clear();
        nextLaunch.refresh();
        QCOMPARE(nextLaunch.current(), QString());
        QCOMPARE(changes.size(), 3);
        nextLaunch.refresh();
        QCOMPARE(changes.size(), 3);
    }

    // Only an address the computer has can be chosen; picking the one in
    // use replaces a remembered address that is away.
    void onlyAListedAddressIsChosen() {
        Settings::setText(Settings::Key::lanAddress, "10.0.0.99");
        LANAddresses lan(reader());
        QSignalSpy changes(&lan, &LANAddresses::changed);
        lan.choose("10.0.0.7");
        QCOMPARE(Settings::text(Settings::Key::lanAddress), QString("10.0.0.99"));
        lan.choose("10.8.0.2");
        QCOMPARE(Settings::text(Settings::Key::lanAddress), QString("10.8.0.2"));
        QCOMPARE(changes.size(), 0);
        system << "10.0.0.99";
        lan.refresh();
        QCOMPARE(lan.current(), QString("10.8.0.2"));
    }
};

VESPERLINE_TEST_MAIN(TestLANAddresses)
#include "tst_lanaddresses.moc"
