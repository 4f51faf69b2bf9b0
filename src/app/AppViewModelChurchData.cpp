// AppViewModel's church data: bookmarks, playlists, themes and translations,
// read from and saved through the running server, or the files in the data
// folder while it is stopped. Failures land in the matching error field.
#include "app/AppViewModel.h"
#include "models/BookmarksConfig.h"
#include "models/BookmarksFileIO.h"
#include "models/JsonCoding.h"
#include "models/PlaylistsFileIO.h"
#include "models/TranslationSelectionRequest.h"
#include "services/APIClient.h"
#include "services/ServerManager.h"

#include <QFileInfo>

#include <filesystem>
#include <system_error>

namespace {

const QString translationsNeedServer = QStringLiteral("Start the server to manage translations");

// "<path>: <reason>", the form the file readers report in.
std::optional<QString> makeDirectories(const QString& path) {
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(path.toStdString()), error);
    if (!error)
        return std::nullopt;
    return path + QStringLiteral(": ") + QString::fromStdString(error.message());
}

} // namespace

// Each request is made into a named task before it is awaited: GCC 12
// destroys temporaries of a co_await full-expression twice.

namespace {

const QString& describe(const QString& error) {
    return error;
}

QString describe(const APIRequestError& error) {
    return error.description();
}

} // namespace

template <typename T, typename E>
std::optional<T> AppViewModel::valueOrError(Result<T, E> outcome, ErrorField error) {
    if (outcome)
        return std::move(outcome).value();
    assign(this->*error, std::optional(describe(outcome.error())));
    return std::nullopt;
}

template <typename E>
bool AppViewModel::savedOrError(const Result<void, E>& outcome, ErrorField error) {
    if (!outcome)
        assign(this->*error, std::optional(describe(outcome.error())));
    return outcome.ok();
}

template <typename T>
QCoro::Task<std::optional<T>>
AppViewModel::answerOrError(QCoro::Task<Result<T, APIRequestError>> request, ErrorField error) {
    QPointer<AppViewModel> self(this);
    auto result = co_await request;
    if (!self)
        co_return std::nullopt;
    co_return valueOrError(std::move(result), error);
}

QCoro::Task<> AppViewModel::reloadBookmarks() {
    const Operation operation(this);
    assign(bookmarksError_, {});
    if (server_->isRunning()) {
        auto answer = answerOrError(
            APIClient(server_->port()).get<BookmarksConfig>(QStringLiteral("/api/bookmarks")),
            &AppViewModel::bookmarksError_);
        auto config = co_await answer;
        if (config)
            assign(bookmarks_, std::move(config->bookmarks));
        co_return;
    }
    const QString file = ApplicationSupport::path(QStringLiteral("bookmarks.json"));
    if (!QFileInfo::exists(file)) {
        assign(bookmarks_, {});
        assign(bookmarksError_, std::optional(QStringLiteral("bookmarks.json not found")));
        co_return;
    }
    if (auto config = valueOrError(JsonCoding::decodeFile<BookmarksConfig>(file),
                                   &AppViewModel::bookmarksError_))
        assign(bookmarks_, std::move(config->bookmarks));
}

QCoro::Task<> AppViewModel::saveBookmarks(std::vector<Bookmark> list) {
    const Operation operation(this);
    if (server_->isRunning()) {
        auto answer = answerOrError(
            APIClient(server_->port())
                .put<BookmarksConfig>(QStringLiteral("/api/bookmarks"), BookmarksConfig{list}),
            &AppViewModel::bookmarksError_);
        auto saved = co_await answer;
        if (saved) {
            assign(bookmarks_, std::move(saved->bookmarks));
            setStatusMessage(QStringLiteral("Bookmarks saved"));
        }
        co_return;
    }
    if (savedOrError(
            BookmarksFileIO::save(BookmarksConfig{list},
                                  ApplicationSupport::path(QStringLiteral("bookmarks.json"))),
            &AppViewModel::bookmarksError_)) {
        assign(bookmarks_, std::move(list));
        setStatusMessage(QStringLiteral("Bookmarks saved to file (server stopped)"));
    }
}

QCoro::Task<> AppViewModel::reloadPlaylists() {
    const Operation operation(this);
    assign(playlistsError_, {});
    if (server_->isRunning()) {
        auto answer = answerOrError(
            APIClient(server_->port()).get<PlaylistsConfig>(QStringLiteral("/api/playlists")),
            &AppViewModel::playlistsError_);
        auto config = co_await answer;
        if (config)
            assign(playlistsConfig_, std::move(*config));
        co_return;
    }
    const QString file = ApplicationSupport::path(QStringLiteral("playlists.json"));
    if (!QFileInfo::exists(file)) {
        // No playlists yet is the normal state of a new installation.
        assign(playlistsConfig_, PlaylistsConfig{});
        co_return;
    }
    if (auto config = valueOrError(JsonCoding::decodeFile<PlaylistsConfig>(file),
                                   &AppViewModel::playlistsError_))
        assign(playlistsConfig_, std::move(*config));
}

QCoro::Task<> AppViewModel::savePlaylists(PlaylistsConfig config) {
    const Operation operation(this);
    if (server_->isRunning()) {
        auto answer =
            answerOrError(APIClient(server_->port())
                              .put<PlaylistsConfig>(QStringLiteral("/api/playlists"), config),
                          &AppViewModel::playlistsError_);
        auto saved = co_await answer;
        if (saved) {
            assign(playlistsConfig_, std::move(*saved));
            setStatusMessage(QStringLiteral("Playlists saved"));
        }
        co_return;
    }
    if (const auto error =
            makeDirectories(ApplicationSupport::path(QStringLiteral("media/slides")))) {
        assign(playlistsError_, error);
        co_return;
    }
    if (savedOrError(PlaylistsFileIO::save(
                         config, ApplicationSupport::path(QStringLiteral("playlists.json"))),
                     &AppViewModel::playlistsError_)) {
        assign(playlistsConfig_, std::move(config));
        setStatusMessage(QStringLiteral("Playlists saved to file (server stopped)"));
    }
}

QCoro::Task<> AppViewModel::reloadThemes() {
    const Operation operation(this);
    assign(themesError_, {});
    if (server_->isRunning()) {
        auto answer = answerOrError(
            APIClient(server_->port()).get<ThemesConfig>(QStringLiteral("/api/themes")),
            &AppViewModel::themesError_);
        auto config = co_await answer;
        if (config)
            assign(themesConfig_, std::move(config));
        co_return;
    }
    const QString file = ApplicationSupport::path(QStringLiteral("themes.json"));
    if (!QFileInfo::exists(file)) {
        assign(themesConfig_, {});
        assign(themesError_, std::optional(QStringLiteral("themes.json not found")));
        co_return;
    }
    if (auto config =
            valueOrError(JsonCoding::decodeFile<ThemesConfig>(file), &AppViewModel::themesError_))
        assign(themesConfig_, std::move(config));
}

QCoro::Task<> AppViewModel::reloadTranslations() {
    const Operation operation(this);
    assign(translationsError_, {});
    if (!server_->isRunning()) {
        assign(translationsPayload_, {});
        assign(translationsError_, std::optional(translationsNeedServer));
        co_return;
    }
    auto answer = answerOrError(
        APIClient(server_->port()).get<TranslationsPayload>(QStringLiteral("/api/translations")),
        &AppViewModel::translationsError_);
    auto payload = co_await answer;
    if (payload) {
        assign(translationsPayload_, std::move(payload));
        assign(translationInfo_, ApplicationSupport::loadTranslation());
    }
}

QCoro::Task<> AppViewModel::saveTranslations(QString primaryId,
                                             std::optional<QString> secondaryId) {
    QPointer<AppViewModel> self(this);
    const Operation operation(this);
    if (!server_->isRunning()) {
        assign(translationsError_, std::optional(translationsNeedServer));
        co_return;
    }
    assign(isSavingTranslations_, true);
    assign(translationsError_, {});
    auto answer = answerOrError(
        APIClient(server_->port())
            .put<TranslationsPayload>(QStringLiteral("/api/translations"),
                                      TranslationSelectionRequest{primaryId, secondaryId}),
        &AppViewModel::translationsError_);
    auto payload = co_await answer;
    if (!self)
        co_return;
    if (payload) {
        assign(translationsPayload_, std::move(payload));
        assign(translationInfo_, ApplicationSupport::loadTranslation());
        setStatusMessage(QStringLiteral("Translations updated"));
    }
    assign(isSavingTranslations_, false);
}
