// The floor for bench/startup: the smallest Qt Widgets program with a window
// of the same size and a menu bar, reporting its first paint the way
// Vesperline does. Built twice: bare, and linked with Qt WebEngine like the
// program is (the library's load-time set-up alone is a large share of a
// start), so the report can tell that cost from the program's own.
#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QTextStream>
#include <QTimer>
#ifdef VESPERLINE_FLOOR_WEBENGINE
#include <QWebEngineProfile>
#endif

namespace {

class Window : public QMainWindow {
protected:
    bool event(QEvent* event) override {
        const bool handled = QMainWindow::event(event);
        if (event->type() == QEvent::Paint && !painted) {
            painted = true;
            QTimer::singleShot(0, this, [] {
                QTextStream(stdout) << "vesperline: main window shown" << Qt::endl;
            });
        }
        return handled;
    }

private:
    bool painted = false;
};

} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    Window window;
    window.menuBar()->addMenu(QStringLiteral("&File"))->addAction(QStringLiteral("&Quit"));
    window.setCentralWidget(new QLabel(QStringLiteral("Floor"), &window));
    window.resize(1100, 740);
#ifdef VESPERLINE_FLOOR_WEBENGINE
    // Never true; it keeps the library linked, as the program has it.
    if (argc > 99)
        QWebEngineProfile::defaultProfile();
#endif
    window.show();
    return application.exec();
}
