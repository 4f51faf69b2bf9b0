#include "services/ApplicationSupport.h"

#include "models/AtomicFileWriter.h"
#include "models/JsonWriter.h"
#include "services/KeyringHelper.h"
#include "services/Settings.h"

#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QStringList>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <system_error>

namespace ApplicationSupport {

namespace {

using nlohmann::json;

std::optional<json> readJsonObject(const QString& file) {
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return std::nullopt;
    json document = json::parse(f.readAll().toStdString(), nullptr, false);
    if (!document.is_object())
        return std::nullopt;
    return document;
}

std::optional<QString> stringMember(const json& object, const char* key) {
    const auto it = object.find(key);
    if (it == object.end() || !it->is_string())
        return std::nullopt;
    return QString::fromStdString(it->get<std::string>());
}

std::optional<QString> readUtf8Text(const QString& file) {
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return std::nullopt;
    QStringDecoder decoder(QStringDecoder::Utf8);
    QString text = decoder(f.readAll());
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

// Creates a folder and its parents; the error text is the system's.
std::optional<QString> makeDirectory(const QString& dir) {
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(dir.toStdString()), ec);
    if (ec)
        return QString::fromStdString(ec.message());
    if (!QFileInfo(dir).isDir())
        return QStringLiteral("%1 is not a folder").arg(dir);
    return std::nullopt;
}

VoidResult writeJson(const QString& relative, const json& document) {
    return AtomicFileWriter::write(path(relative), JsonWriter::pretty(document));
}

} // namespace

TranslationInfo TranslationInfo::webDefaults() {
    return {QStringLiteral("WEB"), QStringLiteral("World English Bible"),
            QStringLiteral("Scripture from WEB, public domain")};
}

QString supportURL() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/Vesperline");
}

QString path(const QString& relative) {
    return supportURL() + "/" + relative;
}

std::optional<QString> bootstrap(const std::optional<QString>& bundledProject) {
    for (const QString& dir : {supportURL(), path("data"), path("media/slides")}) {
        if (const auto error = makeDirectory(dir))
            return QStringLiteral("Could not create the data folder: ") + *error;
    }
    if (!bundledProject)
        return std::nullopt;

    const QString database = path("data/bible.sqlite");
    const QString bundledDatabase = *bundledProject + "/data/bible.sqlite";
    if (!QFileInfo::exists(database)) {
        if (QFileInfo::exists(bundledDatabase)) {
            // Seeding never overwrites, so a truncated copy would stay for
            // good: copy through a temporary file and rename.
            VoidResult copied = AtomicFileWriter::copy(bundledDatabase, database);
            if (copied.ok())
                copied = saveTranslation(TranslationInfo::webDefaults());
            if (!copied.ok())
                return QStringLiteral("Could not copy Bible database: ") + copied.error();
        }
    } else if (!QFileInfo::exists(path("translation.json"))) {
        (void)saveTranslation(TranslationInfo::webDefaults());
    }

    for (const QString& name : {QStringLiteral("bookmarks.json"), QStringLiteral("themes.json")}) {
        const QString source = *bundledProject + "/" + name;
        if (QFileInfo::exists(path(name)) || !QFileInfo::exists(source))
            continue;
        const VoidResult copied = AtomicFileWriter::copy(source, path(name));
        if (!copied.ok())
            return QStringLiteral("Could not copy ") + name + QStringLiteral(": ") + copied.error();
    }
    return std::nullopt;
}

bool hasHotPatchedRuntime() {
    return QFileInfo::exists(path("runtime/current/apps/server/dist/index.js"));
}

TranslationInfo loadTranslation() {
    const auto document = readJsonObject(path("translation.json"));
    if (!document)
        return TranslationInfo::webDefaults();
    const auto id = stringMember(*document, "id");
    const auto label = stringMember(*document, "label");
    const auto attribution = stringMember(*document, "attribution");
    if (!id || !label || !attribution)
        return TranslationInfo::webDefaults();
    return {*id, *label, *attribution};
}

VoidResult saveTranslation(const TranslationInfo& info) {
    return writeJson("translation.json", json{{"id", info.id.toStdString()},
                                              {"label", info.label.toStdString()},
                                              {"attribution", info.attribution.toStdString()}});
}

VoidResult saveTranslationsSelection(const QString& primaryId,
                                     const std::optional<QString>& secondaryId) {
    json document{{"primaryId", primaryId.toStdString()}};
    if (secondaryId)
        document["secondaryId"] = secondaryId->toStdString();
    return writeJson("translations-selection.json", document);
}

VoidResult saveApiBibleId(const QString& id) {
    const QString trimmed = id.trimmed();
    if (const VoidResult stored = Settings::setText(Settings::Key::apiBibleId, trimmed);
        !stored.ok())
        return stored;
    return writeJson("api-config.json", json{{"bibleId", trimmed.toStdString()}});
}

QString loadApiBibleId() {
    if (const auto document = readJsonObject(path("api-config.json"))) {
        const auto bibleId = stringMember(*document, "bibleId");
        const auto delay = document->find("delayMs");
        const bool delayValid =
            delay == document->end() || delay->is_null() || delay->is_number_integer();
        if (bibleId && delayValid && !bibleId->trimmed().isEmpty())
            return *bibleId;
    }
    return Settings::text(Settings::Key::apiBibleId);
}

VoidResult writeImportEnvFile() {
    if (const auto error = makeDirectory(supportURL()))
        return VoidResult::failure(*error);
    QStringList lines{
        QStringLiteral("# Vesperline — written by the desktop app. Do not commit."),
        QStringLiteral("VESPERLINE_CONFIG_DIR=") + supportURL(),
        QStringLiteral("VESPERLINE_DB_PATH=") + path("data/bible.nkjv.sqlite"),
    };
    if (const auto key = KeyringHelper::load(KeyringHelper::Key::apiKey))
        lines << QStringLiteral("API_BIBLE_KEY=") + *key;
    if (const QString bibleId = loadApiBibleId(); !bibleId.isEmpty())
        lines << QStringLiteral("API_BIBLE_ID=") + bibleId;
    return AtomicFileWriter::writePrivate(path("import.env"), (lines.join('\n') + '\n').toUtf8());
}

void removeImportEnvFile() {
    QFile::remove(path("import.env"));
}

QUrl defaultUpdateFeedURL() {
    return QUrl(QStringLiteral("https://updates.vesperline.org/runtime/feed.json"));
}

QUrl loadUpdateFeedURL() {
    const auto text = readUtf8Text(path("update-feed-url.txt"));
    if (text) {
        const QUrl url(text->trimmed(), QUrl::StrictMode);
        // A relative address could never be fetched, so it counts as unparsable.
        if (!text->trimmed().isEmpty() && url.isValid() && !url.scheme().isEmpty())
            return url;
    }
    return defaultUpdateFeedURL();
}

VoidResult saveUpdateFeedURL(const QString& text) {
    if (const auto error = makeDirectory(supportURL()))
        return VoidResult::failure(*error);
    return AtomicFileWriter::write(path("update-feed-url.txt"), text.trimmed().toUtf8());
}

std::optional<QString> installedRuntimeVersion() {
    const auto document = readJsonObject(path("runtime/current/runtime-version.json"));
    if (!document)
        return std::nullopt;
    return stringMember(*document, "version");
}

} // namespace ApplicationSupport
