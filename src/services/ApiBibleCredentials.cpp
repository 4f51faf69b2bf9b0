#include "services/ApiBibleCredentials.h"

#include "services/ApplicationSupport.h"
#include "services/KeyringHelper.h"

namespace ApiBibleCredentials {

std::optional<QString> save(const QString& apiKey, const QString& bibleId) {
    using KeyringHelper::Key;
    const QString key = apiKey.trimmed();
    const QString id = bibleId.trimmed();
    if (key.isEmpty() || id.isEmpty())
        return QStringLiteral("API key and Bible ID are both required.");
    if (auto failure = KeyringHelper::save(key, Key::apiKey))
        return failure;
    if (auto failure = KeyringHelper::save(id, Key::bibleId))
        return failure;
    if (const VoidResult stored = ApplicationSupport::saveApiBibleId(id); !stored.ok())
        return stored.error();
    if (const VoidResult written = ApplicationSupport::writeImportEnvFile(); !written.ok())
        return written.error();
    return std::nullopt;
}

void clear() {
    KeyringHelper::remove(KeyringHelper::Key::apiKey);
    KeyringHelper::remove(KeyringHelper::Key::bibleId);
    ApplicationSupport::removeImportEnvFile();
}

} // namespace ApiBibleCredentials
