#include "server/SecretServiceKeyVault.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <libsecret/secret.h>

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace tessary::server {

namespace {

const SecretSchema* keySchema()
{
    static const SecretSchema schema = [] {
        SecretSchema made{};
        made.name = "com.tessary.backend.CredentialKey";
        made.flags = SECRET_SCHEMA_NONE;
        made.attributes[0] = {"folder", SECRET_SCHEMA_ATTRIBUTE_STRING};
        return made;
    }();
    return &schema;
}

template <class T>
using GPtr = std::unique_ptr<T, void (*)(T*)>;

template <class T>
GPtr<T> owned(T* object)
{
    return GPtr<T>(object, [](T* o) {
        if (o)
            g_object_unref(o);
    });
}

// Without a session bus address GLib would try to start a bus of its own through dbus-launch;
// without a bus there is no keyring to ask.
bool hasSessionBus()
{
    if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
        return true;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return !runtime.isEmpty() && QFile::exists(QDir(runtime).filePath(QStringLiteral("bus")));
}

// Runs `work` on a thread of its own and waits at most `limit` for it. Past that the work is
// cancelled and left to finish on its own; its answer is then dropped.
template <class T>
T bounded(std::function<T(GCancellable*)> work, T otherwise, std::chrono::milliseconds limit)
{
    struct Shared {
        std::mutex mutex;
        std::condition_variable done;
        std::optional<T> answer;
        GPtr<GCancellable> cancel = owned(g_cancellable_new());
    };
    auto shared = std::make_shared<Shared>();
    std::thread([shared, work = std::move(work)] {
        T answer = work(shared->cancel.get());
        std::lock_guard lock(shared->mutex);
        shared->answer = std::move(answer);
        shared->done.notify_all();
    }).detach();
    std::unique_lock lock(shared->mutex);
    if (!shared->done.wait_for(lock, limit, [&] { return shared->answer.has_value(); })) {
        g_cancellable_cancel(shared->cancel.get());
        return otherwise;
    }
    return *shared->answer;
}

GHashTable* attributesFor(const QByteArray& folder)
{
    return secret_attributes_build(keySchema(), "folder", folder.constData(), nullptr);
}

KeyVault::Lookup lookUp(const QByteArray& folder, GCancellable* cancel)
{
    GError* error = nullptr;
    auto service = owned(secret_service_get_sync(SECRET_SERVICE_NONE, cancel, &error));
    g_clear_error(&error);
    if (!service)
        return {};
    GHashTable* attributes = attributesFor(folder);
    const auto flags = SecretSearchFlags(SECRET_SEARCH_ALL | SECRET_SEARCH_LOAD_SECRETS);
    GList* items = secret_service_search_sync(service.get(), keySchema(), attributes, flags, cancel, &error);
    g_hash_table_unref(attributes);
    const bool failed = error != nullptr;
    g_clear_error(&error);
    KeyVault::Lookup lookup{failed ? KeyVault::Answer::unavailable : KeyVault::Answer::absent, {}};
    for (GList* at = items; at && lookup.answer != KeyVault::Answer::found; at = at->next) {
        auto* item = static_cast<SecretItem*>(at->data);
        SecretValue* value = secret_item_get_secret(item);
        if (secret_item_get_locked(item) || !value) {
            lookup.answer = KeyVault::Answer::locked; // there, but not to be read now
        } else {
            gsize length = 0;
            const gchar* bytes = secret_value_get(value, &length);
            lookup = {KeyVault::Answer::found, QByteArray::fromBase64(QByteArray(bytes, qsizetype(length)))};
        }
        if (value)
            secret_value_unref(value);
    }
    g_list_free_full(items, g_object_unref);
    return lookup;
}

bool keep(const QByteArray& folder, const QByteArray& key, GCancellable* cancel)
{
    GError* error = nullptr;
    auto service = owned(secret_service_get_sync(SECRET_SERVICE_NONE, cancel, &error));
    g_clear_error(&error);
    if (!service)
        return false;
    auto collection = owned(secret_collection_for_alias_sync(service.get(), SECRET_COLLECTION_DEFAULT,
                                                             SECRET_COLLECTION_NONE, cancel, &error));
    g_clear_error(&error);
    // The "session" collection lives in memory only: a key kept there is gone after a logout.
    const QByteArray path = collection ? g_dbus_proxy_get_object_path(G_DBUS_PROXY(collection.get())) : "";
    if (!collection || secret_collection_get_locked(collection.get()) || path.endsWith("/session"))
        return false;
    GHashTable* attributes = attributesFor(folder);
    SecretValue* value = secret_value_new(key.toBase64().constData(), -1, "text/plain");
    const QByteArray label = "Tessary backend credential key (" + folder + ")";
    const bool kept = secret_service_store_sync(service.get(), keySchema(), attributes, path.constData(),
                                                label.constData(), value, cancel, &error);
    g_clear_error(&error);
    secret_value_unref(value);
    g_hash_table_unref(attributes);
    return kept;
}

QByteArray folderName(const QString& dataDir)
{
    const QString canonical = QFileInfo(dataDir).canonicalFilePath();
    return (canonical.isEmpty() ? QDir(dataDir).absolutePath() : canonical).toUtf8();
}

} // namespace

SecretServiceKeyVault::SecretServiceKeyVault(std::chrono::milliseconds limit)
    : m_limit(limit)
{
}

KeyVault::Lookup SecretServiceKeyVault::load(const QString& dataDir)
{
    if (!hasSessionBus())
        return {};
    return bounded<Lookup>(
        [folder = folderName(dataDir)](GCancellable* cancel) { return lookUp(folder, cancel); },
        Lookup{Answer::silent, {}}, m_limit);
}

bool SecretServiceKeyVault::store(const QString& dataDir, const QByteArray& key)
{
    if (!hasSessionBus())
        return false;
    return bounded<bool>(
        [folder = folderName(dataDir), key](GCancellable* cancel) { return keep(folder, key, cancel); },
        false, m_limit);
}

} // namespace tessary::server
