#include "services/LogTailer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QStringDecoder>

namespace {

// How many bytes at the end of `bytes` begin a UTF-8 sequence that is not
// complete yet.
qsizetype incompleteUtf8Tail(const QByteArray& bytes) {
    const qsizetype size = bytes.size();
    for (qsizetype back = 1; back <= 3 && back <= size; ++back) {
        const auto byte = static_cast<unsigned char>(bytes[size - back]);
        if ((byte & 0xC0) == 0x80)
            continue; // continuation byte: keep looking for the lead byte
        const int length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
        return length > back ? back : 0;
    }
    return 0;
}

} // namespace

LogTailer::LogTailer(QString fileURL, QObject* parent)
    : QObject(parent), fileURL_(std::move(fileURL)) {}

LogTailer::~LogTailer() {
    stopPolling();
}

void LogTailer::beginSession() {
    stopPolling();
    lines_.clear();
    lineBuffer.clear();
    pendingBytes.clear();
    ensureLogFileExists();
    fileOffset = 0;
    if (const quint64 size = currentFileSize(); size > 0)
        readBytes(0, size);
    pollOnce();
    Q_EMIT changed();
}

void LogTailer::startPolling() {
    stopPolling();
    pollTask = CancellationToken::create();
    [[maybe_unused]] auto task = pollLoop(pollTask);
}

void LogTailer::stopPolling() {
    cancelTask(pollTask);
}

QCoro::Task<> LogTailer::pollLoop(CancellationHandle token) {
    QPointer<LogTailer> self(this);
    while (self && !token->isCancelled()) {
        pollOnce();
        co_await CancellationToken::sleep(std::chrono::duration_cast<std::chrono::milliseconds>(
                                              std::chrono::nanoseconds(pollIntervalNanoseconds)),
                                          token);
    }
}

void LogTailer::pollOnce() {
    ensureLogFileExists();
    const quint64 size = currentFileSize();
    if (size < fileOffset) {
        restart();
        if (size > 0)
            readBytes(0, size);
    } else if (fileOffset < size) {
        readBytes(fileOffset, size);
    }
}

void LogTailer::restart() {
    fileOffset = 0;
    lines_.clear();
    lineBuffer.clear();
    pendingBytes.clear();
    Q_EMIT changed();
}

void LogTailer::ensureLogFileExists() const {
    if (QFileInfo::exists(fileURL_))
        return;
    QDir().mkpath(QFileInfo(fileURL_).path());
    QFile file(fileURL_);
    (void)file.open(QIODevice::WriteOnly | QIODevice::Append);
}

quint64 LogTailer::currentFileSize() const {
    const QFileInfo info(fileURL_);
    return info.exists() ? quint64(info.size()) : 0;
}

void LogTailer::readBytes(quint64 start, quint64 end) {
    QFile file(fileURL_);
    if (!file.open(QIODevice::ReadOnly))
        return;
    if (!file.seek(qint64(start)))
        return;
    // Only through the size measured before: bytes appended since then are
    // read by the next poll, from the offset recorded here.
    QByteArray data = pendingBytes + file.read(qint64(end - start));
    fileOffset = end;
    pendingBytes.clear();
    if (data.isEmpty())
        return;
    // A read can end in the middle of a character the server is still
    // writing; keep those bytes for the next read instead of losing them.
    const qsizetype tail = incompleteUtf8Tail(data);
    pendingBytes = data.right(tail);
    data.chop(tail);
    QStringDecoder decoder(QStringDecoder::Utf8);
    appendChunk(decoder(data));
}

void LogTailer::appendChunk(const QString& text) {
    if (text.isEmpty())
        return;
    lineBuffer += text;
    qsizetype newline;
    bool added = false;
    while ((newline = lineBuffer.indexOf('\n')) >= 0) {
        // CR LF ends a line too; trimming drops the CR.
        const QString line = lineBuffer.left(newline).trimmed();
        lineBuffer.remove(0, newline + 1);
        if (!line.isEmpty()) {
            lines_.append(line);
            added = true;
        }
    }
    if (lines_.size() > maxLines)
        lines_.erase(lines_.begin(), lines_.begin() + (lines_.size() - maxLines));
    if (added)
        Q_EMIT changed();
}
