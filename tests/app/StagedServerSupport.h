#pragma once

#include "app/AppTestSupport.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>

// The real runtime, started by a model as the program starts it, with the
// church data a test needs put in place by the runtime's own means.
namespace StagedServer {

// Puts a second Bible database beside the primary one in the data folder,
// where the server finds every Bible database. It is built once per test
// program by the runtime's own WEB builder (the same text as the shipped
// one, under another file name); false, with the builder's output logged,
// when it cannot be built.
inline bool installSecondTranslation() {
    static QTemporaryDir dir;
    static QString built;
    if (built.isEmpty()) {
        const QString project = TestSupport::stageDir() + "/share/vesperline/project";
        QProcess builder;
        builder.setProcessChannelMode(QProcess::MergedChannels);
        builder.start(
            TestSupport::stageDir() + "/share/vesperline/node/bin/node",
            {project + "/scripts/build-web-bible.mjs", "--out", dir.filePath("bible.web.sqlite")});
        if (!builder.waitForFinished(180000) || builder.exitStatus() != QProcess::NormalExit ||
            builder.exitCode() != 0) {
            qWarning("the second translation was not built: %s",
                     qPrintable(QString::fromUtf8(builder.readAll()) + builder.errorString()));
            return false;
        }
        built = dir.filePath("bible.web.sqlite");
    }
    const QString target = ApplicationSupport::supportURL() + "/data/bible.web.sqlite";
    QFile::remove(target);
    return QFile::copy(built, target);
}

// Starts the model's server and waits until the model sees it running.
inline bool start(AppViewModel& app) {
    app.server().prepareStartupLog();
    app.server().start();
    return QTest::qWaitFor([&] { return AppTest::mirrorReached(app, ServerStatus::running); },
                           TestSupport::slowSettle);
}

// A change made behind the program's back, as the web admin or the iPad
// makes it: `method` with a JSON body on the running server; the HTTP status.
inline int send(int port, const QByteArray& method, const QString& path, const QByteArray& json) {
    QNetworkAccessManager network;
    QNetworkRequest request(QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(port).arg(path)));
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/json"));
    std::unique_ptr<QNetworkReply> reply(network.sendCustomRequest(request, method, json));
    if (!QTest::qWaitFor([&] { return reply->isFinished(); }, TestSupport::settle))
        return 0;
    return reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
}

} // namespace StagedServer
