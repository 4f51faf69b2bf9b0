#pragma once

#include "models/Result.h"

#include <QObject>
#include <QString>
#include <optional>

// Every preference the program keeps, in one table: its name in the store,
// its type, its default and, for numbers, its range and what an out-of-range
// value becomes. All readers and writers go through it, so no key, default or
// limit is written down twice. A stored value of another type reads as
// absent; writes go to the store of Preferences and announce the key that
// changed.
class Settings : public QObject {
    Q_OBJECT

public:
    enum class Key {
        serverPort,
        showStartupLog,
        outputDisplayID,
        outputWidth,
        outputHeight,
        showWebOutputHint,
        displayShowsStage,
        uiLayoutVersion,
        apiBibleId,
        lanAddress,
    };
    Q_ENUM(Key)

    enum class Type { flag, integer, text };
    // What a number outside the range becomes.
    enum class OutOfRange { useDefault, clamp };

    struct Entry {
        QString name;
        Type type;
        // A flag's default as 0 or 1; absent for a key whose fallback is
        // worked out by its reader (the display id).
        std::optional<qint64> defaultNumber;
        QString defaultText;
        qint64 minimum = 0;
        qint64 maximum = 0;
        OutOfRange outOfRange = OutOfRange::useDefault;
        // Absent keys are written with their default on first read.
        bool writeDefault = false;
    };

    static const Entry& entry(Key key);
    // The one object whose changed() every writer's change goes out on.
    static Settings& shared();

    static bool flag(Key key);
    // The stored number within its range, else the default (absent for a
    // key without one).
    static std::optional<qint64> integer(Key key);
    static QString text(Key key);
    // A number brought into the key's range as its reads do.
    static qint64 bounded(Key key, qint64 value);

    // A failed write is logged; the caller keeps the value for the session.
    static VoidResult setFlag(Key key, bool value);
    // Stores bounded(key, value).
    static VoidResult setInteger(Key key, qint64 value);
    static VoidResult setText(Key key, const QString& value);

Q_SIGNALS:
    void changed(Settings::Key key);

private:
    // Logs a failed write, and announces one that changed the value.
    static VoidResult stored(Key key, bool changed, VoidResult result);
};
