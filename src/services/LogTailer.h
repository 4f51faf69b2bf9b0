#pragma once

#include "services/CancellationToken.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <qcoro/qcorotask.h>

// Follows the server log file for the startup progress sheet: reads it whole
// at the start of a session, then every 0.4 s only what was appended, and
// starts over whenever the file shrinks (a new start empties it).
class LogTailer : public QObject {
    Q_OBJECT

public:
    static constexpr int maxLines = 500;
    static constexpr quint64 pollIntervalNanoseconds = 400'000'000;

    explicit LogTailer(QString fileURL, QObject* parent = nullptr);
    ~LogTailer() override;

    const QStringList& lines() const { return lines_; }
    const QString& fileURL() const { return fileURL_; }

    void beginSession();
    void startPolling();
    void stopPolling();
    void pollOnce();

Q_SIGNALS:
    void changed();

private:
    QCoro::Task<> pollLoop(CancellationHandle token);
    void ensureLogFileExists() const;
    quint64 currentFileSize() const;
    void readBytes(quint64 start, quint64 end);
    void appendChunk(const QString& text);
    void restart();

    QStringList lines_;
    const QString fileURL_;
    CancellationHandle pollTask;
    quint64 fileOffset = 0;
    QString lineBuffer;
    // The start of a UTF-8 character whose remaining bytes were not written yet.
    QByteArray pendingBytes;
};
