#pragma once

#include <QFile>
#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

// The server log: "server.log" in the support directory, one entry per line,
// and its last 500 lines in memory for the screens. Everything the manager
// does and everything the child prints goes through append(). Logging never
// fails a caller: when the file cannot be written, lines stay in memory.
class ServerLog : public QObject {
    Q_OBJECT

public:
    static constexpr int maxLines = 500;

    explicit ServerLog(QObject* parent = nullptr);

    static QString filePath();

    const QStringList& lines() const { return lines_; }
    // Trims the line; an empty one is dropped.
    void append(const QString& line);

    // Counts every line ever appended, so a caller can later ask for the
    // lines that came after this point (those still kept).
    quint64 mark() const { return appended_; }
    QStringList linesSince(quint64 mark) const;

    void openFile();
    void closeFile();
    // Empties the log and writes the start header.
    void prepareForStart();
    // Empties the log; the next line reopens the file.
    void clear();

    // The last lineCount non-empty lines of the file, joined with line feeds.
    static std::optional<QString> tail(int lineCount);
    // The message followed by the last 20 lines of the file, when there are any.
    static QString withTail(const QString& message);

Q_SIGNALS:
    // Every change; the two below say what it was, so a view can follow the
    // log without redrawing all of it.
    void changed();
    void appended(const QString& line);
    void cleared();

private:
    static bool ensureFile();
    void writeToFile(const QString& line);
    void emptyFile();

    QStringList lines_;
    quint64 appended_ = 0;
    std::unique_ptr<QFile> file_;
};
