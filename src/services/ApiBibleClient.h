#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>
#include <optional>
#include <qcoro/qcorotask.h>

// The API.Bible REST service, asked only to test a key; the import itself is
// the runtime's script. Stateless.
namespace ApiBibleClient {

struct TestResult {
    bool ok = false;
    QString message;
    // How many Bibles the account may use, when the answer said.
    std::optional<int> bibleCount;
};

inline constexpr int testTimeoutMs = 30000;

// The service's documented endpoint with /v1, or API_BIBLE_BASE_URL when set
// (a staging service, or a local fake in tests), as the import script reads it.
QUrl apiBase();

// GET <apiBase>/bibles with the key; every outcome, a network failure
// included, becomes a result with a message for the user.
QCoro::Task<TestResult> testApiKey(QString key, int timeoutMs = testTimeoutMs);

// The number of entries under "data", when the body is an object holding
// an array there.
std::optional<int> parseBibleCount(const QByteArray& body);

} // namespace ApiBibleClient
