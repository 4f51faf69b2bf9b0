#include "services/WebViewPlugin.h"

#include "services/BundleLayout.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QOpenGLContext>
#include <QPluginLoader>

// Exported by Qt Gui for Qt WebEngine, which sets it the same way.
QT_BEGIN_NAMESPACE
Q_GUI_EXPORT void qt_gl_set_global_share_context(QOpenGLContext* context);
QT_END_NAMESPACE

namespace {

QOpenGLContext* shareContext = nullptr;
QtMessageHandler previousHandler = nullptr;

void deleteShareContext() {
    if (QOpenGLContext::globalShareContext() == shareContext)
        qt_gl_set_global_share_context(nullptr);
    delete shareContext;
    shareContext = nullptr;
}

void dropLateAttributeWarning(QtMsgType type, const QMessageLogContext& context,
                              const QString& message) {
    if (type == QtWarningMsg &&
        message == QLatin1String("Attribute Qt::AA_ShareOpenGLContexts must be set before "
                                 "QCoreApplication is created."))
        return;
    if (previousHandler)
        previousHandler(type, context, message);
}

// Qt WebEngine hands its frames to Qt Quick through OpenGL contexts that share
// with a global one; without it, it warns and composites in software.
// Qt::AA_ShareOpenGLContexts set before QApplication makes that context at
// start, but that loads the OpenGL driver at every start (tens of megabytes,
// and on a software renderer most of a start's time) for a window that may
// never open. Both are done here instead, as Qt WebEngine itself does when it
// is set up late: before the first web view, with no other OpenGL context made
// yet (the main window's widgets use none).
void shareOpenGLContexts() {
    static bool shared = false;
    if (shared || !qobject_cast<QGuiApplication*>(qApp))
        return;
    shared = true;
    if (!QOpenGLContext::globalShareContext()) {
        auto* context = new QOpenGLContext;
        if (context->create()) {
            shareContext = context;
            qt_gl_set_global_share_context(context);
            qAddPostRoutine(deleteShareContext);
        } else {
            delete context; // Qt WebEngine composites in software and says so
        }
    }

    // Still needed: without it the web view's Qt Quick widget throws its
    // scene graph away when its window changes, and the page never gets the
    // keyboard focus. Qt read it at start only for the context made above, so
    // its warning that it comes too late does not apply.
    previousHandler = qInstallMessageHandler(dropLateAttributeWarning);
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    qInstallMessageHandler(previousHandler);
}

} // namespace

QString WebViewPlugin::path() {
    const QString built = QStringLiteral(VESPERLINE_WEBVIEW_PLUGIN);
    const BundleLayout layout = BundleLayout::current();
    // An installed program never falls back on the build tree: a plugin left
    // out of the install must show as missing, not be found elsewhere.
    if (layout.resourceDir)
        return QDir::cleanPath(layout.applicationDir + "/../lib/vesperline/" +
                               QFileInfo(built).fileName());
    return built;
}

QObject* WebViewPlugin::instance(QString* error) {
    const QString file = path();
    if (!QFileInfo(file).isFile()) {
        *error = QStringLiteral("the web view plugin is missing (looked for %1)").arg(file);
        return nullptr;
    }
    shareOpenGLContexts();
    // Loaders of one file share the library and its root object, and a
    // loader going away unloads nothing.
    QPluginLoader loader(file);
    QObject* root = loader.instance();
    if (!root)
        *error = QStringLiteral("the web view plugin did not load (%1)").arg(loader.errorString());
    return root;
}
