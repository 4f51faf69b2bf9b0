#pragma once

#include <QObject>
#include <QPointer>

// Counts one asynchronous operation of an object for as long as it exists,
// so that whoever tears the object down on purpose can wait for zero. The
// count is left alone once the object is gone.
class PendingOperation {
public:
    PendingOperation(QObject* owner, int& counter) : owner(owner), counter(&counter) { ++counter; }
    ~PendingOperation() {
        if (owner)
            --*counter;
    }
    PendingOperation(const PendingOperation&) = delete;
    PendingOperation& operator=(const PendingOperation&) = delete;

private:
    QPointer<QObject> owner;
    int* counter;
};
