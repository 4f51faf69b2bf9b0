#pragma once

#include <QHashFunctions>
#include <QList>
#include <QString>

class QScreen;

// A monitor that can host the display output, as the Dashboard's picker lists
// it. The id has to survive restarts (it is stored as the "outputDisplayID"
// preference), so it is derived from the connector name, which stays the same
// for a given port, rather than from the screen's position in Qt's list.
struct DisplayScreen {
    quint32 id = 0;
    QString name;
    bool isMain = false;
    int width = 0;
    int height = 0;

    // "<name> (Main) · 1920×1080" or "<name> · 1280×720".
    QString label() const;

    // One entry per screen in Qt's order. A screen without a connector name
    // has no stable id and is left out; so is a later screen whose name
    // repeats an earlier one, since screen(forDisplayID) could never pick it.
    static QList<DisplayScreen> enumerate();
    static DisplayScreen from(const QScreen* screen);
    // The first screen whose id matches, or nullptr (for example once that
    // monitor is unplugged).
    static QScreen* screen(quint32 forDisplayID);
    // The primary screen, else the first one, else nullptr.
    static QScreen* defaultScreen();

    // The display number of a connector name: 32-bit FNV-1a over its UTF-8 bytes.
    static quint32 displayNumber(const QString& connectorName);

    bool operator==(const DisplayScreen&) const = default;
};

size_t qHash(const DisplayScreen& screen, size_t seed = 0) noexcept;
