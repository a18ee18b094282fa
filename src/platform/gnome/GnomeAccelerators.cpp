#include "platform/gnome/GnomeAccelerators.h"

#include "hotkey/KeyCodes.h"

#include <QRegularExpression>

// GLib names a struct member "signals", which Qt defines as a keyword.
#pragma push_macro("signals")
#undef signals
#include <gio/gio.h>
#pragma pop_macro("signals")
#include <xkbcommon/xkbcommon.h>

namespace tessary::gnomekeys {

namespace {

std::optional<unsigned> modifierNamed(const QString& name)
{
    const QString lower = name.toLower();
    if (lower == QLatin1String("shift"))
        return Combo::shift;
    if (lower == QLatin1String("control") || lower == QLatin1String("ctrl") ||
        lower == QLatin1String("primary") || lower == QLatin1String("ctl"))
        return Combo::control;
    if (lower == QLatin1String("alt") || lower == QLatin1String("mod1"))
        return Combo::alt;
    if (lower == QLatin1String("super") || lower == QLatin1String("mod4"))
        return Combo::super;
    return std::nullopt;
}

// The settings whose string-list keys are key bindings.
const char* const bindingSchemas[] = {
    "org.gnome.desktop.wm.keybindings",
    "org.gnome.shell.keybindings",
    "org.gnome.mutter.keybindings",
    "org.gnome.mutter.wayland.keybindings",
    "org.gnome.settings-daemon.plugins.media-keys",
};

// The shortcuts the user made in GNOME's Settings: each a settings object of its own, at a path
// the media keys' "custom-keybindings" lists.
constexpr const char* customList = "org.gnome.settings-daemon.plugins.media-keys";
constexpr const char* customSchema = "org.gnome.settings-daemon.plugins.media-keys.custom-keybinding";

void appendAccelerator(const gchar* accelerator, QList<Combo>& combos)
{
    if (const std::optional<Combo> combo = parseAccelerator(QString::fromUtf8(accelerator)))
        combos.append(*combo);
}

void appendCustomBindings(GSettingsSchemaSource* source, QList<Combo>& combos)
{
    GSettingsSchema* list = g_settings_schema_source_lookup(source, customList, TRUE);
    GSettingsSchema* custom = g_settings_schema_source_lookup(source, customSchema, TRUE);
    if (list && custom && g_settings_schema_has_key(list, "custom-keybindings")) {
        GSettings* settings = g_settings_new_full(list, nullptr, nullptr);
        gchar** paths = g_settings_get_strv(settings, "custom-keybindings");
        for (gchar** path = paths; *path; ++path) {
            // A path GSettings cannot take would make it fail loudly instead of answering.
            const QByteArray text(*path);
            if (!text.startsWith('/') || !text.endsWith('/') || text.contains("//"))
                continue;
            GSettings* binding = g_settings_new_full(custom, nullptr, *path);
            gchar* accelerator = g_settings_get_string(binding, "binding");
            appendAccelerator(accelerator, combos);
            g_free(accelerator);
            g_object_unref(binding);
        }
        g_strfreev(paths);
        g_object_unref(settings);
    }
    if (custom)
        g_settings_schema_unref(custom);
    if (list)
        g_settings_schema_unref(list);
}

} // namespace

std::optional<QString> acceleratorOf(const Shortcut& shortcut)
{
    const std::optional<quint32> keysym = keysymForShortcut(shortcut);
    char name[64] = {};
    if (!keysym || xkb_keysym_get_name(*keysym, name, sizeof name) <= 0)
        return std::nullopt;
    QString text;
    if (shortcut.modifiers & modifier::shift)
        text += QStringLiteral("<Shift>");
    if (shortcut.modifiers & modifier::control)
        text += QStringLiteral("<Control>");
    if (shortcut.modifiers & modifier::option)
        text += QStringLiteral("<Alt>");
    if (shortcut.modifiers & modifier::command)
        text += QStringLiteral("<Super>");
    return text + QString::fromLatin1(name);
}

std::optional<Combo> parseAccelerator(const QString& text)
{
    static const QRegularExpression part(QStringLiteral("^<([^>]+)>"));
    Combo combo;
    QString rest = text.trimmed();
    for (QRegularExpressionMatch match = part.match(rest); match.hasMatch(); match = part.match(rest)) {
        const std::optional<unsigned> bit = modifierNamed(match.captured(1));
        if (!bit)
            return std::nullopt;
        combo.modifiers |= *bit;
        rest = rest.mid(match.capturedLength());
    }
    if (rest.isEmpty())
        return std::nullopt;
    const xkb_keysym_t keysym = xkb_keysym_from_name(rest.toUtf8().constData(), XKB_KEYSYM_CASE_INSENSITIVE);
    if (keysym == XKB_KEY_NoSymbol)
        return std::nullopt;
    combo.keysym = xkb_keysym_to_lower(keysym);
    return combo;
}

QList<Combo> boundCombos()
{
    QList<Combo> combos;
    GSettingsSchemaSource* source = g_settings_schema_source_get_default();
    for (const char* id : bindingSchemas) {
        GSettingsSchema* schema = source ? g_settings_schema_source_lookup(source, id, TRUE) : nullptr;
        if (!schema)
            continue; // not this GNOME's: looking it up unchecked would abort
        GSettings* settings = g_settings_new_full(schema, nullptr, nullptr);
        gchar** keys = g_settings_schema_list_keys(schema);
        for (gchar** key = keys; *key; ++key) {
            GVariant* value = g_settings_get_value(settings, *key);
            if (g_variant_is_of_type(value, G_VARIANT_TYPE_STRING_ARRAY)) {
                const gchar** accelerators = g_variant_get_strv(value, nullptr);
                for (const gchar** accelerator = accelerators; *accelerator; ++accelerator)
                    appendAccelerator(*accelerator, combos);
                g_free(accelerators);
            } else if (g_variant_is_of_type(value, G_VARIANT_TYPE_STRING)) {
                appendAccelerator(g_variant_get_string(value, nullptr), combos);
            }
            g_variant_unref(value);
        }
        g_strfreev(keys);
        g_object_unref(settings);
        g_settings_schema_unref(schema);
    }
    if (source)
        appendCustomBindings(source, combos);
    return combos;
}

} // namespace tessary::gnomekeys
