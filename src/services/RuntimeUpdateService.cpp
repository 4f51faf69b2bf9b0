#include "services/RuntimeUpdateService.h"

#include "models/AtomicFileWriter.h"
#include "models/JsonCoding.h"
#include "services/APIClient.h"
#include "services/ApplicationSupport.h"
#include "services/ArchiveExtractor.h"
#include "services/ProjectPaths.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QLoggingCategory>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPointer>
#include <QRegularExpression>
#include <cmath>
#include <memory>
#include <qcoro/qcoronetworkreply.h>
#include <sodium.h>

namespace {

Q_LOGGING_CATEGORY(updatesLog, "vesperline.updates")

QString runtimePath(const QString& name) {
    return ApplicationSupport::path(QStringLiteral("runtime/") + name);
}

// Strict standard base64: padding required, nothing outside the alphabet,
// no line breaks or spaces. Absent when the text is not exactly that.
std::optional<QByteArray> decodeBase64(const QString& text, std::size_t expectedLength) {
    const QByteArray input = text.toLatin1();
    if (text.isEmpty() || text.size() != input.size() || input.size() % 4 != 0)
        return std::nullopt;
    QByteArray decoded(input.size(), '\0');
    std::size_t length = 0;
    const char* end = nullptr;
    if (sodium_base642bin(reinterpret_cast<unsigned char*>(decoded.data()), decoded.size(),
                          input.constData(), input.size(), nullptr, &length, &end,
                          sodium_base64_VARIANT_ORIGINAL) != 0 ||
        end != input.constData() + input.size() || length != expectedLength)
        return std::nullopt;
    decoded.resize(qsizetype(length));
    return decoded;
}

// The reply of one GET, deleted when the coroutine that made it ends.
struct ReplyGuard {
    QPointer<QNetworkReply>& reply;
    ~ReplyGuard() {
        if (reply)
            reply->deleteLater();
    }
};

QNetworkRequest plainGet(const QUrl& url) {
    QNetworkRequest request(url);
    request.setTransferTimeout(RuntimeUpdateService::transferTimeoutMs);
    return request;
}

// Qt reports its own transfer time-out as "Operation canceled", which would
// send the operator looking for whoever cancelled something.
QString transportError(const QNetworkReply& reply) {
    if (reply.error() == QNetworkReply::OperationCanceledError)
        return QStringLiteral("The request timed out");
    return reply.errorString();
}

// Digits with an optional sign, within 64 bits; anything else is no component.
std::optional<qint64> versionComponent(const QString& text) {
    static const QRegularExpression integer(QStringLiteral("^[+-]?[0-9]+$"));
    if (!integer.match(text).hasMatch())
        return std::nullopt;
    bool ok = false;
    const qint64 value = text.toLongLong(&ok, 10);
    return ok ? std::optional(value) : std::nullopt;
}

QList<qint64> versionComponents(const QString& version) {
    QList<qint64> components;
    for (const QString& part : version.split('.', Qt::SkipEmptyParts)) {
        if (const auto value = versionComponent(part))
            components << *value;
    }
    return components;
}

bool removeTree(const QString& path) {
    QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return true;
    if (info.isDir() && !info.isSymLink())
        return QDir(path).removeRecursively();
    return QFile::remove(path);
}

} // namespace

RuntimeUpdateService::RuntimeUpdateService(QObject* parent)
    : RuntimeUpdateService(Options{}, parent) {}

RuntimeUpdateService::RuntimeUpdateService(Options options, QObject* parent)
    : QObject(parent), options_(std::move(options)),
      feedURLString_(ApplicationSupport::loadUpdateFeedURL().toString()) {}

void RuntimeUpdateService::setFeedURLString(const QString& text) {
    if (feedURLString_ == text)
        return;
    feedURLString_ = text;
    Q_EMIT changed();
}

void RuntimeUpdateService::setStatus(Status status) {
    if (status_ == status)
        return;
    status_ = std::move(status);
    Q_EMIT changed();
}

// ---------------------------------------------------------------- the feed

QCoro::Task<> RuntimeUpdateService::checkForUpdates() {
    QPointer<RuntimeUpdateService> self(this);
    const Operation operation(this);
    setStatus(Status::Checking{});
    // The check reads the address back from the file, so an unusable text
    // falls back to the default; a failed save changes nothing else.
    (void)ApplicationSupport::saveUpdateFeedURL(feedURLString_);
    auto fetching = fetchFeed();
    auto feed = co_await fetching;
    if (!self)
        co_return;
    if (!feed) {
        setStatus(Status::Failed{feed.error()});
        co_return;
    }
    const QString current =
        ApplicationSupport::installedRuntimeVersion().value_or(bundledRuntimeVersion());
    const Latest& latest = feed.value().latest;
    if (compareVersions(current, latest.version) >= 0)
        setStatus(Status::UpToDate{});
    else
        setStatus(Status::Available{latest.version, latest.notes.value_or(QString())});
    lastFeed_ = feed.value();
}

QCoro::Task<Result<RuntimeUpdateService::Feed>> RuntimeUpdateService::fetchFeed() {
    QPointer<QNetworkReply> reply =
        APIClient::sharedSession()->get(plainGet(ApplicationSupport::loadUpdateFeedURL()));
    const ReplyGuard guard{reply};
    co_await reply.data();
    if (!reply)
        co_return Result<Feed>::failure(QStringLiteral("The request was cancelled"));
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (status.isValid() && (status.toInt() < 200 || status.toInt() > 299))
        co_return Result<Feed>::failure(UpdateError::http(status.toInt()).description());
    if (!status.isValid() && reply->error() != QNetworkReply::NoError)
        co_return Result<Feed>::failure(transportError(*reply));
    co_return JsonCoding::decode<Feed>(reply->readAll());
}

int RuntimeUpdateService::compareVersions(const QString& a, const QString& b) {
    const QList<qint64> left = versionComponents(a);
    const QList<qint64> right = versionComponents(b);
    for (qsizetype i = 0; i < std::max(left.size(), right.size()); ++i) {
        const qint64 x = left.value(i, 0);
        const qint64 y = right.value(i, 0);
        if (x != y)
            return x > y ? 1 : -1;
    }
    return 0;
}

QString RuntimeUpdateService::bundledRuntimeVersion() const {
    const auto root = ProjectPaths::bundledProjectRoot(options_.layout);
    const auto version = root ? ProjectPaths{*root}.runtimeVersion() : std::nullopt;
    return version.value_or(QStringLiteral("0.0.0"));
}

// ---------------------------------------------------------------- installation

QCoro::Task<> RuntimeUpdateService::installLatest(RestartServer restartServer) {
    QPointer<RuntimeUpdateService> self(this);
    const Operation operation(this);
    if (!lastFeed_) {
        auto check = checkForUpdates();
        co_await check;
        if (!self || !lastFeed_)
            co_return;
    }
    auto installation = install(*lastFeed_, std::move(restartServer));
    co_await installation;
}

QCoro::Task<> RuntimeUpdateService::install(Feed feed, RestartServer restartServer) {
    QPointer<RuntimeUpdateService> self(this);
    const Operation operation(this);
    const Latest latest = feed.latest;
    const auto fail = [this](const QString& message) { setStatus(Status::Failed{message}); };
    if (const auto problem = latest.problem()) {
        fail(*problem);
        co_return;
    }

    setStatus(Status::Downloading{});
    auto fetching = download(latest.archiveURL());
    auto body = co_await fetching;
    if (!self)
        co_return;
    if (!body) {
        fail(body.error());
        co_return;
    }
    setStatus(Status::Downloading{1.0});

    // The fixed order: the checksum first, so a wrong download is named as
    // such even when the feed is also unsigned.
    const QString actual = QString::fromLatin1(
        QCryptographicHash::hash(body.value(), QCryptographicHash::Sha256).toHex());
    if (latest.sha256.compare(actual, Qt::CaseInsensitive) != 0) {
        fail(UpdateError::checksumMismatch().description());
        co_return;
    }
    if (!latest.ed25519 || latest.ed25519->isEmpty()) {
        fail(UpdateError::missingSignature().description());
        co_return;
    }
    if (const auto refused = verifySignature(latest.sha256, *latest.ed25519)) {
        fail(refused->description());
        co_return;
    }

    setStatus(Status::Installing{});
    if (const auto activated = unpackAndActivate(body.value(), latest.version); !activated) {
        fail(activated.error());
        co_return;
    }
    auto restart = restartServer();
    const std::optional<QString> wentBack = co_await restart;
    if (!self)
        co_return;
    if (wentBack)
        fail(*wentBack);
    else
        setStatus(Status::Installed{latest.version});
}

QCoro::Task<Result<QByteArray>> RuntimeUpdateService::download(QUrl url) {
    QPointer<RuntimeUpdateService> self(this);
    QPointer<QNetworkReply> reply = APIClient::sharedSession()->get(plainGet(url));
    const ReplyGuard guard{reply};
    const auto tooLarge = std::make_shared<bool>(false);
    const auto refuse = [reply, tooLarge] {
        *tooLarge = true;
        reply->abort();
    };
    // The announced size is known with the headers, before any progress.
    connect(reply, &QNetworkReply::metaDataChanged, this, [reply, refuse] {
        if (reply->header(QNetworkRequest::ContentLengthHeader).toLongLong() > maxArchiveBytes)
            refuse();
    });
    connect(reply, &QNetworkReply::downloadProgress, this,
            [this, refuse](qint64 received, qint64 total) {
                if (received > maxArchiveBytes) {
                    refuse();
                    return;
                }
                // Whole percents: the bar moves visibly and the screens
                // re-render a hundred times at most.
                if (total > 0 && status_.is<Status::Downloading>())
                    setStatus(Status::Downloading{std::floor(100.0 * received / total) / 100.0});
            });
    co_await reply.data();
    if (*tooLarge)
        co_return Result<QByteArray>::failure(
            QStringLiteral("The update archive is larger than 512 MiB — refusing to download."));
    if (!self || !reply)
        co_return Result<QByteArray>::failure(QStringLiteral("The download was cancelled"));
    // The status code is not examined: an error page fails the checksum.
    const bool answered = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid();
    if (!answered && reply->error() != QNetworkReply::NoError)
        co_return Result<QByteArray>::failure(transportError(*reply));
    co_return Result<QByteArray>::success(reply->readAll());
}

std::optional<UpdateError>
RuntimeUpdateService::verifySignature(const QString& sha256Hex,
                                      const QString& signatureBase64) const {
    if (sodium_init() < 0)
        return UpdateError::badSignature();
    const auto key = decodeBase64(options_.publicKeyBase64, crypto_sign_PUBLICKEYBYTES);
    const auto signature = decodeBase64(signatureBase64, crypto_sign_BYTES);
    if (!key || !signature)
        return UpdateError::badSignature();
    const QByteArray message = sha256Hex.toUtf8();
    if (crypto_sign_verify_detached(reinterpret_cast<const unsigned char*>(signature->constData()),
                                    reinterpret_cast<const unsigned char*>(message.constData()),
                                    std::size_t(message.size()),
                                    reinterpret_cast<const unsigned char*>(key->constData())) != 0)
        return UpdateError::badSignature();
    return std::nullopt;
}

VoidResult RuntimeUpdateService::unpackAndActivate(const QByteArray& archive,
                                                   const QString& version) {
    const QString runtime = ApplicationSupport::path(QStringLiteral("runtime"));
    const QString staging = runtimePath(QStringLiteral("staging"));
    const QString current = runtimePath(QStringLiteral("current"));
    const QString previous = runtimePath(QStringLiteral("previous"));
    const QString incoming = runtimePath(QStringLiteral("incoming-") + version + ".tar.gz");
    if (!QDir().mkpath(runtime) || !removeTree(staging) || !QDir().mkpath(staging))
        return VoidResult::failure(QStringLiteral("Could not prepare the folder ") + staging);
    if (const auto written = AtomicFileWriter::write(incoming, archive); !written)
        return written;

    // What came from the network and was refused does not stay on disk.
    const auto refuse = [&](const UpdateError& error) {
        removeTree(staging);
        QFile::remove(incoming);
        return VoidResult::failure(error.description());
    };
    if (const auto unpacked = ArchiveExtractor::extract(incoming, staging); !unpacked) {
        qCWarning(updatesLog) << "update archive refused:" << unpacked.error();
        return refuse(UpdateError::unpackFailed());
    }
    if (!ProjectPaths::isRuntimeRoot(staging))
        return refuse(UpdateError::invalidPayload());

    removeTree(previous);
    if (QFileInfo::exists(current) && !QDir().rename(current, previous))
        return VoidResult::failure(QStringLiteral("Could not move ") + current +
                                   QStringLiteral(" aside"));
    if (!QDir().rename(staging, current))
        return VoidResult::failure(QStringLiteral("Could not move ") + staging +
                                   QStringLiteral(" into place"));
    QFile::remove(incoming);
    return VoidResult::success();
}
