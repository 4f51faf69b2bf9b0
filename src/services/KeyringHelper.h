#pragma once

#include <QString>
#include <optional>

// The API.Bible credentials in the user's keyring (the freedesktop Secret
// Service): one item per account under the service
// "org.vesperline.app.api-bible", its secret the UTF-8 text. Stateless and
// synchronous, but every call is bounded: a keyring that has not answered
// within answerTimeoutMs counts as absent, so a session without a working
// Secret Service never freezes the window.
namespace KeyringHelper {

enum class Key { apiKey, bibleId };

inline constexpr int answerTimeoutMs = 5000;

QString serviceName();
// "API_BIBLE_KEY" or "API_BIBLE_ID".
QString accountName(Key key);

// Replaces the item of the account; absent on success, otherwise
// "Keyring save failed (<code>)", followed by what to do when no keyring
// answered at all.
std::optional<QString> save(const QString& value, Key key);
// The stored text; absent when there is no item, the keyring cannot be
// reached or the secret is not UTF-8 text.
std::optional<QString> load(Key key);
struct Credentials {
    std::optional<QString> apiKey;
    std::optional<QString> bibleId;
    // Both are stored and neither is empty.
    bool complete() const;
};
// Both credentials. A keyring that does not answer the first lookup is not
// asked the second, so a broken session costs one wait, not two.
Credentials loadCredentials();

// Removes every item of the account; failures are ignored.
void remove(Key key);
// loadCredentials().complete().
bool hasCredentials();

} // namespace KeyringHelper
