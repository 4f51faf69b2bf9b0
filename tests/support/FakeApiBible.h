#pragma once

#include "support/HttpTestServer.h"

#include <QString>
#include <memory>

namespace TestSupport {

// API.Bible as the key test and the runtime's import script see it, on
// 127.0.0.1: /v1/bibles, one Bible with the 66 books, one chapter each, with
// just enough verses for the script to accept a complete Bible. Any path can
// be made to answer differently through server().
class FakeApiBible {
public:
    static constexpr char bibleId[] = "nkjv-test-id";

    FakeApiBible();

    HttpTestServer& server() { return http; }
    // The path of a book's only chapter, e.g. "/v1/bibles/<id>/chapters/EXO.1".
    static QString chapterPath(const QString& book);

private:
    HttpTestServer http;
};

// A fake that the program, and the import script it starts, take for
// API.Bible (through API_BIBLE_BASE_URL), with no credentials stored yet.
std::unique_ptr<FakeApiBible> freshApiBible();

} // namespace TestSupport
