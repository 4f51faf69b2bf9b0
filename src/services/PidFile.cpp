#include "services/PidFile.h"

#include "models/AtomicFileWriter.h"
#include "models/TextLines.h"
#include "services/ApplicationSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace PidFile {

QString path() {
    return ApplicationSupport::path(QStringLiteral("server.pid"));
}

void write(qint64 pid) {
    QDir().mkpath(QFileInfo(path()).path());
    (void)AtomicFileWriter::write(path(), QByteArray::number(pid) + "\n");
}

std::optional<qint32> read() {
    QFile file(path());
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const auto text = TextLines::decode(file.readAll());
    bool ok = false;
    const int pid = text.value_or(QString()).trimmed().toInt(&ok, 10);
    if (!ok || pid <= 0)
        return std::nullopt;
    return pid;
}

void clear() {
    QFile::remove(path());
}

} // namespace PidFile
