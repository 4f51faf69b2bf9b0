#include "models/iPadSetupContent.h"
#include "support/TestSupport.h"

using Row = iPadSetupContent::ChecklistRow;

class TestiPadSetupContent : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // The QR code and the checklist must agree on the address: without one
    // the URL carries the dash and the LAN row is open.
    void addressesAndChecklist_data() {
        QTest::addColumn<QString>("lan");
        QTest::addColumn<bool>("running");
        QTest::addColumn<bool>("bible");
        QTest::addColumn<QString>("url");
        QTest::addColumn<QList<bool>>("done");
        QTest::newRow("ready") << "192.168.1.20" << true << true
                               << "http://192.168.1.20:4100/presenter"
                               << QList<bool>{true, true, true, true};
        QTest::newRow("stopped, no LAN") << "" << false << true << "http://—:4100/presenter"
                                         << QList<bool>{false, false, true, false};
        QTest::newRow("no Bible") << "10.0.0.5" << true << false << "http://10.0.0.5:4100/presenter"
                                  << QList<bool>{true, true, false, true};
    }

    void addressesAndChecklist() {
        QFETCH(QString, lan);
        QFETCH(bool, running);
        QFETCH(bool, bible);
        QFETCH(QString, url);
        QFETCH(QList<bool>, done);
        const iPadSetupContent content = iPadSetupContent::make(lan, 4100, running, bible);
        QCOMPARE(content.presenterURL, url);
        QCOMPARE(content.localPresenterURL, QString("http://127.0.0.1:4100/presenter"));
        const QString host = lan.isEmpty() ? "—" : lan;
        QCOMPARE(content.lanHost, host);
        QCOMPARE(content.checklist,
                 QList<Row>({{"Server is running", done[0]},
                             {"This computer has a LAN IP (" + host + ")", done[1]},
                             {"Bible database imported", done[2]},
                             {"iPad on same Wi\u2011Fi as this computer", done[3]}}));
        QVERIFY(content.firewallText.contains("TCP port 4100 "));
        QVERIFY(content.firewallText.contains("sudo ufw allow 4100/tcp"));
    }
};

VESPERLINE_TEST_MAIN(TestiPadSetupContent)
#include "tst_ipadsetupcontent.moc"
