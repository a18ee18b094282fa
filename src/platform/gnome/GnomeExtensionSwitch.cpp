#include "platform/gnome/GnomeExtensionSwitch.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

// GLib names a struct member "signals", which Qt defines as a keyword.
#pragma push_macro("signals")
#undef signals
#include <gio/gio.h>
#pragma pop_macro("signals")

namespace tessary {

namespace {

// Adds the extension to org.gnome.shell's enabled-extensions and takes it out of
// disabled-extensions. A write GSettings hands to dconf without waiting for it.
void enableInSettings()
{
    GSettingsSchemaSource* source = g_settings_schema_source_get_default();
    GSettingsSchema* schema =
        source ? g_settings_schema_source_lookup(source, "org.gnome.shell", TRUE) : nullptr;
    if (!schema)
        return; // no GNOME Shell here
    GSettings* settings = g_settings_new_full(schema, nullptr, nullptr);
    const QByteArray uuid = gnomeExtensionUuid.toUtf8();
    const auto edit = [&](const char* key, bool present) {
        gchar** values = g_settings_get_strv(settings, key);
        GStrvBuilder* builder = g_strv_builder_new();
        for (gchar** value = values; *value; ++value)
            if (uuid != *value)
                g_strv_builder_add(builder, *value);
        if (present)
            g_strv_builder_add(builder, uuid.constData());
        gchar** edited = g_strv_builder_end(builder);
        g_settings_set_strv(settings, key, edited);
        g_strfreev(edited);
        g_strv_builder_unref(builder);
        g_strfreev(values);
    };
    edit("enabled-extensions", true);
    edit("disabled-extensions", false);
    g_settings_sync();
    g_object_unref(settings);
    g_settings_schema_unref(schema);
}

} // namespace

void enableGnomeExtension(QObject* context, std::function<void(bool running)> done)
{
    enableInSettings();
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.gnome.Shell.Extensions"), QStringLiteral("/org/gnome/Shell/Extensions"),
        QStringLiteral("org.gnome.Shell.Extensions"), QStringLiteral("EnableExtension"));
    call << gnomeExtensionUuid;
    // The shell answers false for an extension it did not find when it started.
    auto* watcher = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(call), context);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, context,
                     [done = std::move(done)](QDBusPendingCallWatcher* finished) {
                         finished->deleteLater();
                         const QDBusPendingReply<bool> reply = *finished;
                         done(reply.isValid() && reply.value());
                     });
}

} // namespace tessary
