#include "services/ServerLog.h"

#include "models/AtomicFileWriter.h"
#include "models/TextLines.h"
#include "services/ApplicationSupport.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

ServerLog::ServerLog(QObject* parent) : QObject(parent) {}

QString ServerLog::filePath() {
    return ApplicationSupport::path(QStringLiteral("server.log"));
}

void ServerLog::append(const QString& line) {
    const QString trimmed = line.trimmed();
    if (trimmed.isEmpty())
        return;
    lines_.append(trimmed);
    ++appended_;
    if (lines_.size() > maxLines)
        lines_.erase(lines_.begin(), lines_.begin() + (lines_.size() - maxLines));
    writeToFile(trimmed);
    Q_EMIT appended(trimmed);
    Q_EMIT changed();
}

QStringList ServerLog::linesSince(quint64 mark) const {
    const quint64 count = std::min<quint64>(appended_ - std::min(mark, appended_), lines_.size());
    return lines_.mid(lines_.size() - qsizetype(count));
}

bool ServerLog::ensureFile() {
    const QString path = filePath();
    if (!QDir().mkpath(QFileInfo(path).path()))
        return false;
    if (QFileInfo::exists(path))
        return true;
    QFile file(path);
    return file.open(QIODevice::WriteOnly);
}

void ServerLog::openFile() {
    closeFile();
    if (!ensureFile())
        return;
    auto file = std::make_unique<QFile>(filePath());
    if (file->open(QIODevice::WriteOnly | QIODevice::Append))
        file_ = std::move(file);
}

void ServerLog::closeFile() {
    if (file_)
        file_->close();
    file_.reset();
}

void ServerLog::writeToFile(const QString& line) {
    if (!file_)
        openFile();
    if (!file_)
        return;
    file_->write((line + "\n").toUtf8());
    file_->flush();
}

void ServerLog::emptyFile() {
    closeFile();
    if (ensureFile())
        (void)AtomicFileWriter::write(filePath(), QByteArray());
}

void ServerLog::prepareForStart() {
    lines_.clear();
    Q_EMIT cleared();
    emptyFile();
    openFile();
    append(QStringLiteral("\u2014\u2014\u2014 Start ") +
           QDateTime::currentDateTimeUtc().toString(Qt::ISODate) +
           QStringLiteral(" \u2014\u2014\u2014"));
}

void ServerLog::clear() {
    lines_.clear();
    emptyFile();
    Q_EMIT cleared();
    Q_EMIT changed();
}

std::optional<QString> ServerLog::tail(int lineCount) {
    QFile file(filePath());
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const auto text = TextLines::decode(file.readAll());
    if (!text)
        return std::nullopt;
    const QStringList lines = TextLines::split(*text);
    if (lines.isEmpty())
        return std::nullopt;
    return lines.mid(std::max<qsizetype>(0, lines.size() - lineCount)).join('\n');
}

QString ServerLog::withTail(const QString& message) {
    const auto last = tail(20);
    if (!last || last->isEmpty())
        return message;
    return message + QStringLiteral("\n\nLast log lines:\n") + *last;
}
