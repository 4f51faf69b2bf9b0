#pragma once

#include <QString>
#include <optional>

// The API.Bible key and Bible ID as the operator saves and clears them
// together: the keyring, the Bible ID's copies in "api-config.json" and the
// preferences, and "import.env" for the import script. Stateless.
namespace ApiBibleCredentials {

// Absent when everything was stored, otherwise the message to show; what
// was written before a failure stays.
std::optional<QString> save(const QString& apiKey, const QString& bibleId);

// Removes both keyring items and "import.env"; the Bible ID's other copies
// stay, so the field can offer it again.
void clear();

} // namespace ApiBibleCredentials
