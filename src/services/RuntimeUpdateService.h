#pragma once

#include "models/Result.h"
#include "services/BundleLayout.h"
#include "services/PendingOperation.h"
#include "services/UpdateError.h"
#include "services/UpdateFeed.h"
#include "services/UpdateStatus.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QUrl>
#include <functional>
#include <optional>
#include <qcoro/qcorotask.h>

// Replaces the server runtime from the signed update feed without replacing
// the program: checks the feed, downloads the archive it names, refuses it
// unless its SHA-256 matches the feed and that checksum carries a valid
// Ed25519 signature by the maker's key, then unpacks it below
// <support>/runtime and makes it the active runtime. Church data lives
// outside that folder and is never touched.
//
// Observable (changed() after every change of status or feed address) and
// confined to the main thread. The Updates screen owns it; a check or an
// installation it started runs on when the screen is hidden.
class RuntimeUpdateService : public QObject {
    Q_OBJECT

public:
    using Status = UpdateStatus;
    using Feed = UpdateFeed;
    using Latest = UpdateFeedLatest;

    // Base64 of the maker's Ed25519 public key. Its private half signs the
    // releases and never ships with the program.
    static inline const QString trustedPublicKey =
        QStringLiteral("o3H6LaopQCc2LkgG9efX/RW7nAXtNJAeMJ/KEyfEsmI=");
    // A runtime is tens of megabytes; a body past this is refused unread.
    static constexpr qint64 maxArchiveBytes = qint64(512) * 1024 * 1024;
    // Without any byte for this long, a request gives up.
    static constexpr int transferTimeoutMs = 30000;

    // Restarts the server on the runtime just activated. Absent once it is
    // up (or was not to be started); otherwise why it went back to another
    // runtime.
    using RestartServer = std::function<QCoro::Task<std::optional<QString>>()>;

    struct Options {
        QString publicKeyBase64 = trustedPublicKey;
        // Where the runtime that ships with the program is looked up.
        BundleLayout layout = BundleLayout::current();
    };

    explicit RuntimeUpdateService(QObject* parent = nullptr);
    // Tests sign their own archives and hand their public key in here.
    RuntimeUpdateService(Options options, QObject* parent = nullptr);

    const Status& status() const { return status_; }
    // The address being edited; saved by the next check.
    const QString& feedURLString() const { return feedURLString_; }
    void setFeedURLString(const QString& text);
    // The feed of the last successful check.
    const std::optional<Feed>& lastFeed() const { return lastFeed_; }

    // One check of the feed; the outcome lands in status() and lastFeed().
    QCoro::Task<> checkForUpdates();
    // The "Download & install" action: checks first when no feed is held.
    QCoro::Task<> installLatest(RestartServer restartServer);

    // Absent when the signature of the checksum text verifies under the key.
    std::optional<UpdateError> verifySignature(const QString& sha256Hex,
                                               const QString& signatureBase64) const;
    // Unpacks the archive into <support>/runtime/staging and swaps it in as
    // runtime/current, the former one becoming runtime/previous. A refused
    // archive leaves runtime/current as it was and no staging folder or
    // downloaded file behind.
    static VoidResult unpackAndActivate(const QByteArray& archive, const QString& version);

    // -1, 0 or 1. Components are dot-separated signed integers; one that is
    // not (3-beta, v2) is dropped and the rest move up; missing ones are 0.
    static int compareVersions(const QString& a, const QString& b);
    // The version of the runtime that ships with the program, else "0.0.0".
    QString bundledRuntimeVersion() const;

    // Checks and installations still under way (tests wait for zero).
    int pendingOperations() const { return pendingOperations_; }

Q_SIGNALS:
    void changed();

private:
    QCoro::Task<Result<Feed>> fetchFeed();
    QCoro::Task<> install(Feed feed, RestartServer restartServer);
    // The whole body, at most maxArchiveBytes; reports its progress.
    QCoro::Task<Result<QByteArray>> download(QUrl url);
    void setStatus(Status status);

    // Counts one asynchronous operation for as long as it exists.
    class Operation : PendingOperation {
    public:
        explicit Operation(RuntimeUpdateService* owner)
            : PendingOperation(owner, owner->pendingOperations_) {}
    };

    Options options_;
    Status status_;
    QString feedURLString_;
    std::optional<Feed> lastFeed_;
    int pendingOperations_ = 0;
};
