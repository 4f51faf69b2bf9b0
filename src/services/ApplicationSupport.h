#pragma once

#include "models/Result.h"

#include <QString>
#include <QUrl>
#include <optional>

// The per-user support directory ($XDG_DATA_HOME/Vesperline) that holds all of
// the church's data and the program's configuration files. Stateless: every
// call works on the disk as it is now.
namespace ApplicationSupport {

// The installed translation, as "translation.json" records it.
struct TranslationInfo {
    QString id;
    QString label;
    QString attribution;

    static TranslationInfo webDefaults();
    bool operator==(const TranslationInfo&) const = default;
};

QString supportURL();
QString path(const QString& relative);

// Creates and seeds the support directory; absent on success, otherwise the
// message to show.
std::optional<QString> bootstrap(const std::optional<QString>& bundledProject);

bool hasHotPatchedRuntime();

// "translation.json", or the WEB defaults when it is missing or does not decode.
TranslationInfo loadTranslation();
VoidResult saveTranslation(const TranslationInfo& info);
VoidResult saveTranslationsSelection(const QString& primaryId,
                                     const std::optional<QString>& secondaryId);

VoidResult saveApiBibleId(const QString& id);
QString loadApiBibleId();

// "import.env": the import script's settings, API key included, so that the
// script can also be run by hand. Readable by the owner only.
VoidResult writeImportEnvFile();
// Ignores every failure, a missing file included.
void removeImportEnvFile();

QUrl defaultUpdateFeedURL();
QUrl loadUpdateFeedURL();
VoidResult saveUpdateFeedURL(const QString& text);

std::optional<QString> installedRuntimeVersion();

} // namespace ApplicationSupport
