#pragma once

#include "app/AppTab.h"
#include "models/Bookmark.h"
#include "models/PlaylistsConfig.h"
#include "models/Result.h"
#include "models/ServerStatus.h"
#include "models/ThemesConfig.h"
#include "models/TranslationsPayload.h"
#include "services/ApplicationSupport.h"
#include "services/BundleLayout.h"
#include "services/DisplayScreen.h"
#include "services/NkjvImportJob.h"
#include "services/NodeChecker.h"
#include "services/PendingOperation.h"

#include <QList>
#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <qcoro/qcorotask.h>
#include <vector>

class APIRequestError;
class LANAddresses;
class OutputWindowController;
class ServerManager;

// The one observable state object of the program. The application creates it
// once; every screen reads its getters, calls its operations and re-renders on
// changed(), which is emitted after any published field changes (and after
// every server mirror update, changed or not). Screens never keep a copy of
// what it holds.
//
// Construction does the whole start-up bootstrap and never waits on the
// network. The server manager is replaced, never reconfigured: read server()
// afresh each time instead of keeping the reference.
//
// Main thread only. The asynchronous operations are coroutines that may be
// started and dropped (`app.reloadBookmarks();`): they run to completion on
// their own, and do nothing more once the object is gone.
class AppViewModel : public QObject {
    Q_OBJECT

public:
    // What the server manager is given when no Node.js was found, so that it
    // exists regardless and explains what is missing when started.
    static inline const QString fallbackNodePath = QStringLiteral("/usr/local/bin/node");

    // Where the bootstrap looks for the installed program's files, and how it
    // finds Node.js. current() is the real program; tests point it elsewhere.
    struct Environment {
        BundleLayout layout;
        std::function<std::optional<NodeChecker::NodeInfo>()> findNode;
        // This computer's LAN addresses (NetworkUtils::localIPv4Addresses).
        std::function<QStringList()> readLANAddresses;
        // The pause between the import's requests to API.Bible.
        int importRequestDelayMs = NkjvImportJob::defaultRequestDelayMs;

        static Environment current();
        // The normal Node.js search, with the embedded Node.js of `layout`.
        static Environment forLayout(const BundleLayout& layout);
    };

    explicit AppViewModel(QObject* parent = nullptr);
    explicit AppViewModel(Environment environment, QObject* parent = nullptr);
    ~AppViewModel() override;

    // ------------------------------------------------------------ published state

    AppTab selectedTab() const { return selectedTab_; }
    void setSelectedTab(AppTab tab);

    // The runtime root in use.
    const QString& projectRoot() const { return projectRoot_; }
    const std::optional<NodeChecker::NodeInfo>& nodeInfo() const { return nodeInfo_; }
    // The current server manager.
    ServerManager& server() const { return *server_; }

    // The one-line status shown on the Dashboard; the server status texts
    // replace it within a poll.
    const std::optional<QString>& statusMessage() const { return statusMessage_; }
    void setStatusMessage(std::optional<QString> message);

    // A start-up warning for the Dashboard (seeding or runtime repair failed).
    const std::optional<QString>& bootstrapError() const { return bootstrapError_; }
    const ApplicationSupport::TranslationInfo& translationInfo() const { return translationInfo_; }

    // Show the startup progress sheet when Start is pressed; stored as
    // "showStartupLog".
    bool showStartupLog() const { return showStartupLog_; }
    void setShowStartupLog(bool show);

    const std::vector<Bookmark>& bookmarks() const { return bookmarks_; }
    const PlaylistsConfig& playlistsConfig() const { return playlistsConfig_; }
    // Absent until a load succeeds.
    const std::optional<ThemesConfig>& themesConfig() const { return themesConfig_; }
    const std::optional<QString>& bookmarksError() const { return bookmarksError_; }
    const std::optional<QString>& playlistsError() const { return playlistsError_; }
    const std::optional<QString>& themesError() const { return themesError_; }
    // For what a screen does to the playlists beside saving them (importing
    // slide images).
    void setPlaylistsError(std::optional<QString> error) {
        assign(playlistsError_, std::move(error));
    }
    const std::optional<TranslationsPayload>& translationsPayload() const {
        return translationsPayload_;
    }
    const std::optional<QString>& translationsError() const { return translationsError_; }
    bool isSavingTranslations() const { return isSavingTranslations_; }

    // Monitors that can host the display output, as of the last refreshDisplays().
    const QList<DisplayScreen>& availableDisplays() const { return availableDisplays_; }
    quint32 selectedDisplayID() const { return selectedDisplayID_; }
    // The Dashboard's picker; stored as "outputDisplayID".
    void setSelectedDisplayID(quint32 id);
    int outputWidth() const { return outputWidth_; }
    int outputHeight() const { return outputHeight_; }
    // Stored as "showWebOutputHint".
    bool showWebOutputHint() const { return showWebOutputHint_; }
    void setShowWebOutputHint(bool show);
    bool isDisplayOutputOpen() const { return isDisplayOutputOpen_; }
    // The display output window shows the stage view (the confidence monitor
    // facing the platform) instead of the output; stored as "displayShowsStage".
    // An open window switches at once.
    bool displayShowsStage() const { return displayShowsStage_; }
    void setDisplayShowsStage(bool stage);

    // The server manager's status as of the last mirror update, which follows
    // the manager one event-loop turn later.
    ServerStatus mirroredServerStatus() const { return mirroredServerStatus_; }
    // Running, starting or stopping.
    bool mirroredServerRunning() const { return mirroredServerRunning_; }
    // Running, but started by someone else.
    bool mirroredExternallyManaged() const { return mirroredExternallyManaged_; }
    // The theme on the output now, as the server's last health report names
    // it; absent while no server answers.
    std::optional<QString> liveThemeId() const;

    OutputWindowController& displayOutput() const { return *displayOutput_; }
    // The LAN addresses and the one the LAN URLs use; its changes are ours.
    LANAddresses& lanAddresses() const { return *lanAddresses_; }

    // ------------------------------------------------------------ derived values

    // "http://127.0.0.1:<port>/output?w=<width>&h=<height>".
    QString outputURLString() const;
    // What the display output window loads: outputURLString(), or
    // "http://127.0.0.1:<port>/stage", which fills whatever monitor it is on.
    QString displayOutputURLString() const;
    // "http://127.0.0.1:<port>/admin", the server's web admin.
    QString webAdminURLString() const;
    // The program carries its own Node.js and runtime, and the server build is there.
    bool isSelfContained() const;
    // Why Start cannot work yet, in a fixed order; empty when nothing blocks it.
    QStringList startBlockedReasons() const;

    // ------------------------------------------------------------ operations

    // Re-checks /api/health, mirrors the result and rewrites statusMessage
    // with the server's status text.
    QCoro::Task<> syncServerStatus();

    // A new server manager on the port; a running server is stopped and the
    // new one started. The same port does nothing at all.
    void setPort(int port);
    // Searches for Node.js again; a found one gets a fresh server manager.
    void refreshNode();

    // Each data operation goes to the server's API when the server is running
    // or starting at the moment it begins, otherwise to the files in the
    // support directory. Failures land in the matching *Error field; the data
    // keeps its value.
    QCoro::Task<> reloadBookmarks();
    QCoro::Task<> saveBookmarks(std::vector<Bookmark> list);
    QCoro::Task<> reloadPlaylists();
    QCoro::Task<> savePlaylists(PlaylistsConfig config);
    QCoro::Task<> reloadThemes();
    // Translations exist only through a running server.
    QCoro::Task<> reloadTranslations();
    QCoro::Task<> saveTranslations(QString primaryId, std::optional<QString> secondaryId);

    // After a runtime update was activated: the server manager is rebuilt on
    // the runtime the resolution picks now, and the server (re)started when
    // it ran or nothing blocks a start. When the new runtime's first start
    // fails, the runtime it replaced comes back and the server starts on
    // that; the result is then the message that says so, else absent.
    QCoro::Task<std::optional<QString>> applyHotPatchedRuntime();
    // The Updates screen's roll back: the previous runtime becomes the one
    // in use again, as after an update.
    QCoro::Task<> rollBackRuntime();

    // Lists the monitors again; a selected monitor that is gone gives way to
    // the first one (and that choice is stored).
    void refreshDisplays();
    void openDisplayOutput();
    void closeDisplayOutput();
    // Clamped to 320…7680 each and stored; an open output reloads.
    void setOutputSize(int width, int height);

    // Opens http://<host>:<port><path> in the default browser; the host is
    // the LAN address in use (lanAddresses().current(), read afresh) when
    // asked for and there is one, else 127.0.0.1.
    void openURL(const QString& path, bool useLAN);
    void copyToPasteboard(const QString& text);

    // ------------------------------------------------------------ licensed import

    // The import job runs.
    bool isImporting() const { return importJob_ != nullptr; }
    // Which book the running import is fetching; empty when none runs.
    NkjvImportJob::Progress importProgress() const;
    bool isCancellingImport() const;
    // The last import's failure, or a credential problem the Settings screen reports.
    const std::optional<QString>& nkjvImportError() const { return nkjvImportError_; }
    void setNkjvImportError(std::optional<QString> message);
    bool isTestingApiKey() const { return isTestingApiKey_; }
    const std::optional<QString>& apiKeyTestMessage() const { return apiKeyTestMessage_; }

    // Absent on success (the messages are then cleared), otherwise the text to show.
    std::optional<QString> saveApiBibleCredentials(const QString& apiKey, const QString& bibleId);
    // Forgets the stored key and Bible ID, and their messages.
    void clearApiBibleCredentials();
    // Tests the typed key, else the stored one.
    QCoro::Task<> testApiBibleKey(QString apiKey);
    // Why an import cannot start now: no credentials, no Node.js or a running
    // server, checked in that order; absent when it can.
    std::optional<QString> nkjvImportBlockedReason(bool hasCredentials) const;
    // Starts the import unless it is blocked (the reason then lands in
    // nkjvImportError); its outcome lands in the fields above.
    void importNkjvFromAPI();
    void cancelNkjvImport();
    // For quitting: ends a running import and waits for it to clean up.
    void cancelNkjvImportAndWait();

    // Asynchronous operations of this object still under way. Whoever tears
    // the object down on purpose (a test, between cases) waits for zero, so
    // that no suspended operation outlives the event loop.
    int pendingOperations() const { return pendingOperations_; }

Q_SIGNALS:
    void changed();

private:
    void notify() { Q_EMIT changed(); }

    void bindServer(ServerManager* manager);
    void publishServerMirror();
    // `startWhenRestored`: start the new manager once its launch-time restore
    // has finished without finding a server (the restore holds the status at
    // starting meanwhile, and a start then would be ignored).
    // The result is the new manager's restore, for whoever waits for it.
    // Without `restore` the new manager starts from stopped, for when nothing
    // can be on the port to adopt or clean up.
    QCoro::Task<> replaceServer(int port, const QString& nodePath, bool startWhenRestored = false,
                                bool restore = true);
    // Switches to the runtime resolved now and starts the server on it when
    // it ran, nothing blocks a start, or `forceStart`; ends once that start
    // has. True when the start crashed.
    QCoro::Task<bool> switchRuntime(bool forceStart);
    // Waits for the manager's launch-time restore, then mirrors it. With
    // `afterOwnServer` the restore first lets the server a replaced manager
    // has just signalled give up the port: found still answering, it would be
    // adopted as someone else's and then lost moments later.
    QCoro::Task<> restoreServerState(QPointer<ServerManager> manager, bool startWhenRestored,
                                     bool afterOwnServer = false);
    QString serverStatusText() const;
    void finishNkjvImport(const NkjvImportJob::Outcome& outcome);
    QString nodePathOrFallback() const;

    // Counts one asynchronous operation for as long as it exists.
    class Operation : PendingOperation {
    public:
        explicit Operation(AppViewModel* owner)
            : PendingOperation(owner, owner->pendingOperations_) {}
    };

    template <typename T> void assign(T& field, T value) {
        if (field == value)
            return;
        field = std::move(value);
        notify();
    }

    // The shared end of the church-data operations, which ask the server while
    // it runs and use the files while it is stopped: a failure's description
    // goes into the operation's own error field, a success comes back for the
    // operation to apply.
    using ErrorField = std::optional<QString> AppViewModel::*;
    template <typename T, typename E>
    std::optional<T> valueOrError(Result<T, E> outcome, ErrorField error);
    template <typename E> bool savedOrError(const Result<void, E>& outcome, ErrorField error);
    // Awaits a request to the server, then as valueOrError. Nothing comes
    // back either when this object went away meanwhile, so a value also means
    // that the object is still there.
    template <typename T>
    QCoro::Task<std::optional<T>> answerOrError(QCoro::Task<Result<T, APIRequestError>> request,
                                                ErrorField error);

    Environment environment_;

    AppTab selectedTab_ = AppTab::dashboard;
    QString projectRoot_;
    std::optional<NodeChecker::NodeInfo> nodeInfo_;
    ServerManager* server_ = nullptr;
    std::optional<QString> statusMessage_;
    std::optional<QString> bootstrapError_;
    ApplicationSupport::TranslationInfo translationInfo_;
    bool showStartupLog_ = true;
    std::vector<Bookmark> bookmarks_;
    PlaylistsConfig playlistsConfig_;
    std::optional<ThemesConfig> themesConfig_;
    std::optional<QString> bookmarksError_;
    std::optional<QString> playlistsError_;
    std::optional<QString> themesError_;
    std::optional<TranslationsPayload> translationsPayload_;
    std::optional<QString> translationsError_;
    bool isSavingTranslations_ = false;
    QList<DisplayScreen> availableDisplays_;
    quint32 selectedDisplayID_ = 0;
    int outputWidth_ = 0;
    int outputHeight_ = 0;
    bool showWebOutputHint_ = true;
    bool isDisplayOutputOpen_ = false;
    bool displayShowsStage_ = false;
    ServerStatus mirroredServerStatus_ = ServerStatus::stopped;
    bool mirroredServerRunning_ = false;
    bool mirroredExternallyManaged_ = false;

    NkjvImportJob* importJob_ = nullptr;
    std::optional<QString> nkjvImportError_;
    bool isTestingApiKey_ = false;
    std::optional<QString> apiKeyTestMessage_;

    OutputWindowController* displayOutput_ = nullptr;
    LANAddresses* lanAddresses_ = nullptr;
    int pendingOperations_ = 0;
    QMetaObject::Connection serverObservation_;
};
