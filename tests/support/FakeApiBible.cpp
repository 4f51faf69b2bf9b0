#include "support/FakeApiBible.h"

#include "services/KeyringHelper.h"

#include <nlohmann/json.hpp>

namespace TestSupport {

namespace {

using nlohmann::json;

QByteArray body(const json& data) {
    return QByteArray::fromStdString(json{{"data", data}}.dump());
}

constexpr int versesPerChapter = 460;

QStringList books() {
    return QStringLiteral(
               "GEN EXO LEV NUM DEU JOS JDG RUT 1SA 2SA 1KI 2KI 1CH 2CH EZR NEH EST JOB PSA PRO "
               "ECC SNG ISA JER LAM EZK DAN HOS JOL AMO OBA JON MIC NAM HAB ZEP HAG ZEC MAL MAT "
               "MRK LUK JHN ACT ROM 1CO 2CO GAL EPH PHP COL 1TH 2TH 1TI 2TI TIT PHM HEB JAS 1PE "
               "2PE 1JN 2JN 3JN JUD REV")
        .split(' ');
}

QString biblePath() {
    return QStringLiteral("/v1/bibles/") + FakeApiBible::bibleId;
}

// A chapter in API.Bible's JSON content form: one paragraph of verse texts.
json chapterContent(const QString& book) {
    json items = json::array();
    for (int verse = 1; verse <= versesPerChapter; ++verse) {
        const std::string id = QStringLiteral("%1.1.%2").arg(book).arg(verse).toStdString();
        items.push_back(
            {{"type", "text"}, {"text", "Text of " + id + ". "}, {"attrs", {{"verseId", id}}}});
    }
    return {{"id", book.toStdString() + ".1"},
            {"content", json::array({{{"name", "para"}, {"type", "tag"}, {"items", items}}})}};
}

} // namespace

FakeApiBible::FakeApiBible() {
    http.setResponse("/v1/bibles",
                     HttpResponse(200, body(json::array({{{"id", bibleId}, {"name", "NKJV"}}}))));
    http.setResponse(biblePath(), HttpResponse(200, body({{"id", bibleId},
                                                          {"name", "New King James Version"},
                                                          {"abbreviation", "NKJV"}})));
    json bookList = json::array();
    for (const QString& book : books()) {
        bookList.push_back({{"id", book.toStdString()}});
        const json chapters =
            json::array({{{"id", book.toStdString() + ".intro"}, {"number", "intro"}},
                         {{"id", book.toStdString() + ".1"}, {"number", "1"}}});
        http.setResponse(biblePath() + "/books/" + book + "/chapters",
                         HttpResponse(200, body(chapters)));
        http.setResponse(chapterPath(book), HttpResponse(200, body(chapterContent(book))));
    }
    http.setResponse(biblePath() + "/books", HttpResponse(200, body(bookList)));
}

QString FakeApiBible::chapterPath(const QString& book) {
    return biblePath() + "/chapters/" + book + ".1";
}

std::unique_ptr<FakeApiBible> freshApiBible() {
    KeyringHelper::remove(KeyringHelper::Key::apiKey);
    KeyringHelper::remove(KeyringHelper::Key::bibleId);
    auto api = std::make_unique<FakeApiBible>();
    qputenv("API_BIBLE_BASE_URL",
            QStringLiteral("http://127.0.0.1:%1/v1").arg(api->server().port()).toUtf8());
    return api;
}

} // namespace TestSupport
