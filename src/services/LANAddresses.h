#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>

// This computer's LAN addresses and the one every LAN URL of the program
// uses: the operator's choice while that address exists, else the first.
// The choice is kept as a preference, so it comes back with its address
// (the church's Wi-Fi next Sunday) even after a spell without it.
//
// Main thread only.
class LANAddresses : public QObject {
    Q_OBJECT

public:
    using Reader = std::function<QStringList()>;

    // Reads the addresses once; `read` is the system's list
    // (NetworkUtils::localIPv4Addresses) outside tests.
    explicit LANAddresses(Reader read, QObject* parent = nullptr);

    // As of the last read: sorted, without duplicates.
    const QStringList& addresses() const { return addresses_; }
    // The address in use; empty when there is none.
    QString current() const;

    // Reads the addresses again, and from the first call on also whenever
    // the system reports a change of network (where it can). changed()
    // follows a different list.
    void refresh();
    // Remembers `address` as the choice; one that is not in the list is
    // ignored.
    void choose(const QString& address);

Q_SIGNALS:
    void changed();

private:
    void followNetworkChanges();

    Reader read;
    QStringList addresses_;
    bool following = false;
};
