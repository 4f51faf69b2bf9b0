#include "services/KeyringHelper.h"

#include <QByteArray>
#include <functional>
#include <libsecret/secret.h>

namespace KeyringHelper {

namespace {

// How long a cancelled call may take to wind down before it is left behind.
constexpr int cancelGraceMs = 200;

const SecretSchema* schema() {
    static const SecretSchema built = [] {
        SecretSchema s{};
        s.name = "org.vesperline.app.api-bible";
        // Items written by other tools with the same attributes count too,
        // so that there is never more than one per account.
        s.flags = SECRET_SCHEMA_DONT_MATCH_NAME;
        s.attributes[0] = {"service", SECRET_SCHEMA_ATTRIBUTE_STRING};
        s.attributes[1] = {"account", SECRET_SCHEMA_ATTRIBUTE_STRING};
        return s;
    }();
    return &built;
}

// The attribute table of an account; owns its strings.
class Attributes {
public:
    explicit Attributes(Key key)
        : table(g_hash_table_new_full(g_str_hash, g_str_equal, nullptr, g_free)) {
        g_hash_table_insert(table, const_cast<char*>("service"),
                            g_strdup(serviceName().toUtf8().constData()));
        g_hash_table_insert(table, const_cast<char*>("account"),
                            g_strdup(accountName(key).toUtf8().constData()));
    }
    ~Attributes() { g_hash_table_unref(table); }
    Attributes(const Attributes&) = delete;
    Attributes& operator=(const Attributes&) = delete;

    GHashTable* get() const { return table; }

private:
    GHashTable* table;
};

// Filled by the call's completion; left behind (and then never freed) when a
// call does not even finish after being cancelled.
struct Pending {
    GAsyncResult* result = nullptr;
};

void completed(GObject*, GAsyncResult* result, gpointer data) {
    static_cast<Pending*>(data)->result = G_ASYNC_RESULT(g_object_ref(result));
}

gboolean markExpired(gpointer flag) {
    *static_cast<bool*>(flag) = true;
    return G_SOURCE_REMOVE;
}

// Iterates `context` until the call has completed or `ms` have passed.
void iterateFor(GMainContext* context, const Pending& pending, int ms) {
    bool expired = false;
    GSource* timer = g_timeout_source_new(guint(ms));
    g_source_set_callback(timer, markExpired, &expired, nullptr);
    g_source_attach(timer, context);
    while (!pending.result && !expired)
        g_main_context_iteration(context, TRUE);
    g_source_destroy(timer);
    g_source_unref(timer);
}

using Start = std::function<void(GCancellable*, GAsyncReadyCallback, gpointer)>;
using Finish = std::function<void(GAsyncResult*, GError**)>;

// Runs one asynchronous libsecret call on a private main context, as
// libsecret's own blocking calls do, but gives up after answerTimeoutMs.
// A call that gave up reports G_IO_ERROR_TIMED_OUT.
void runBounded(const Start& start, const Finish& finish, GError** error) {
    GMainContext* context = g_main_context_new();
    g_main_context_push_thread_default(context);
    GCancellable* cancellable = g_cancellable_new();
    auto* pending = new Pending;
    start(cancellable, completed, pending);
    iterateFor(context, *pending, answerTimeoutMs);
    const bool timedOut = !pending->result;
    if (timedOut) {
        g_cancellable_cancel(cancellable);
        iterateFor(context, *pending, cancelGraceMs);
    }
    if (pending->result) {
        finish(pending->result, error);
        g_object_unref(pending->result);
        delete pending;
    }
    // Whatever a cancelled call reported, the keyring did not answer.
    if (timedOut) {
        g_clear_error(error);
        g_set_error_literal(error, G_IO_ERROR, G_IO_ERROR_TIMED_OUT, "no answer");
    }
    g_object_unref(cancellable);
    g_main_context_pop_thread_default(context);
    g_main_context_unref(context);
}

// The keyring was not there to ask: no session bus, no Secret Service on it,
// or one that never answered. A refused or failed store inside a running
// keyring has other error domains.
bool keyringUnreachable(const GError* error) {
    return error->domain == G_DBUS_ERROR ||
           (error->domain == G_IO_ERROR && error->code != G_IO_ERROR_CANCELLED);
}

// Removes the account's items; the error, if any, is the caller's to free.
GError* clearItems(Key key) {
    const Attributes attributes(key);
    GError* error = nullptr;
    runBounded(
        [&](GCancellable* cancellable, GAsyncReadyCallback done, gpointer data) {
            secret_password_clearv(schema(), attributes.get(), cancellable, done, data);
        },
        [](GAsyncResult* result, GError** failure) {
            secret_password_clear_finish(result, failure);
        },
        &error);
    return error;
}

QString saveFailure(const GError* error) {
    QString message = QStringLiteral("Keyring save failed (%1)").arg(error->code);
    if (keyringUnreachable(error))
        message += QStringLiteral(". No keyring answered: a keyring such as GNOME Keyring or "
                                  "KWallet must be running in your session to keep the key.");
    return message;
}

QString label(Key key) {
    return key == Key::apiKey ? QStringLiteral("Vesperline API.Bible key")
                              : QStringLiteral("Vesperline API.Bible Bible ID");
}

} // namespace

QString serviceName() {
    return QStringLiteral("org.vesperline.app.api-bible");
}

QString accountName(Key key) {
    return key == Key::apiKey ? QStringLiteral("API_BIBLE_KEY") : QStringLiteral("API_BIBLE_ID");
}

std::optional<QString> save(const QString& value, Key key) {
    GError* error = clearItems(key);
    // A keyring that did not answer the removal would only make the user
    // wait a second time.
    if (error && keyringUnreachable(error)) {
        const QString message = saveFailure(error);
        g_error_free(error);
        return message;
    }
    g_clear_error(&error);
    const Attributes attributes(key);
    const QByteArray secret = value.toUtf8();
    const QByteArray itemLabel = label(key).toUtf8();
    runBounded(
        [&](GCancellable* cancellable, GAsyncReadyCallback done, gpointer data) {
            secret_password_storev(schema(), attributes.get(), SECRET_COLLECTION_DEFAULT,
                                   itemLabel.constData(), secret.constData(), cancellable, done,
                                   data);
        },
        [](GAsyncResult* result, GError** failure) {
            secret_password_store_finish(result, failure);
        },
        &error);
    if (!error)
        return std::nullopt;
    const QString message = saveFailure(error);
    g_error_free(error);
    return message;
}

namespace {

// The stored text, and whether the keyring failed to answer at all.
std::optional<QString> lookup(Key key, bool& unreachable) {
    const Attributes attributes(key);
    gchar* secret = nullptr;
    GError* error = nullptr;
    runBounded(
        [&](GCancellable* cancellable, GAsyncReadyCallback done, gpointer data) {
            secret_password_lookupv(schema(), attributes.get(), cancellable, done, data);
        },
        [&](GAsyncResult* result, GError** failure) {
            secret = secret_password_lookup_finish(result, failure);
        },
        &error);
    std::optional<QString> text;
    if (secret && g_utf8_validate(secret, -1, nullptr))
        text = QString::fromUtf8(secret);
    if (secret)
        secret_password_free(secret);
    unreachable = error && keyringUnreachable(error);
    if (error)
        g_error_free(error);
    return text;
}

} // namespace

std::optional<QString> load(Key key) {
    bool unreachable = false;
    return lookup(key, unreachable);
}

bool Credentials::complete() const {
    return apiKey && !apiKey->isEmpty() && bibleId && !bibleId->isEmpty();
}

Credentials loadCredentials() {
    bool unreachable = false;
    Credentials credentials;
    credentials.apiKey = lookup(Key::apiKey, unreachable);
    if (!unreachable)
        credentials.bibleId = lookup(Key::bibleId, unreachable);
    return credentials;
}

void remove(Key key) {
    if (GError* error = clearItems(key))
        g_error_free(error);
}

bool hasCredentials() {
    return loadCredentials().complete();
}

} // namespace KeyringHelper
