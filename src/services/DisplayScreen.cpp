#include "services/DisplayScreen.h"

#include <QGuiApplication>
#include <QScreen>
#include <QSet>

QString DisplayScreen::label() const {
    return name + (isMain ? QStringLiteral(" (Main) · ") : QStringLiteral(" · ")) +
           QString::number(width) + QStringLiteral("×") + QString::number(height);
}

quint32 DisplayScreen::displayNumber(const QString& connectorName) {
    quint32 hash = 2166136261u;
    for (const char byte : connectorName.toUtf8()) {
        hash ^= static_cast<quint8>(byte);
        hash *= 16777619u;
    }
    return hash;
}

DisplayScreen DisplayScreen::from(const QScreen* screen) {
    DisplayScreen display;
    display.id = displayNumber(screen->name());
    const QString model = screen->model().trimmed();
    display.name = model.isEmpty() ? screen->name() : model;
    display.isMain = screen == QGuiApplication::primaryScreen();
    // geometry() is already in device-independent pixels, whole numbers.
    display.width = screen->geometry().width();
    display.height = screen->geometry().height();
    return display;
}

QList<DisplayScreen> DisplayScreen::enumerate() {
    QList<DisplayScreen> displays;
    QSet<quint32> seen;
    for (const QScreen* screen : QGuiApplication::screens()) {
        if (screen->name().isEmpty())
            continue;
        const DisplayScreen display = from(screen);
        if (seen.contains(display.id))
            continue;
        seen.insert(display.id);
        displays.append(display);
    }
    return displays;
}

QScreen* DisplayScreen::screen(quint32 forDisplayID) {
    for (QScreen* screen : QGuiApplication::screens()) {
        if (!screen->name().isEmpty() && displayNumber(screen->name()) == forDisplayID)
            return screen;
    }
    return nullptr;
}

QScreen* DisplayScreen::defaultScreen() {
    if (QScreen* primary = QGuiApplication::primaryScreen())
        return primary;
    const QList<QScreen*> screens = QGuiApplication::screens();
    return screens.isEmpty() ? nullptr : screens.first();
}

size_t qHash(const DisplayScreen& screen, size_t seed) noexcept {
    return qHashMulti(seed, screen.id, screen.name, screen.isMain, screen.width, screen.height);
}
