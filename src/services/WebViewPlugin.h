#pragma once

#include <QString>

class QObject;

// The plugin that holds everything built on Qt WebEngine. Linked into the
// program, Qt WebEngine would be loaded at every start, which costs most of the
// start-up time and memory; as a plugin it is loaded when the first web view
// is needed.
class WebViewPlugin {
public:
    // The plugin's root object, loaded on the first call and kept for the life
    // of the process. Null when it cannot be loaded; `error` then says why in
    // a sentence fragment ("the web view plugin is missing (…)").
    static QObject* instance(QString* error);

    // An installed program (bin/ beside share/vesperline) finds the plugin in
    // <prefix>/lib/vesperline; one run from the build tree, and the tests, use
    // the build's own copy.
    static QString path();
};
