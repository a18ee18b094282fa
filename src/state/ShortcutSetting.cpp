#include "state/ShortcutSetting.h"

#include "state/SettingValues.h"

#include <QVariantMap>

#include <limits>

namespace tessary {

namespace {

// Key code and modifiers are handed to the system as unsigned 32-bit numbers; a stored value
// outside that range is as malformed as a missing one.
bool fitsUnsigned32(qint64 value)
{
    return value >= 0 && value <= qint64(std::numeric_limits<quint32>::max());
}

} // namespace

std::optional<Shortcut> loadShortcut(const SettingsStore& settings)
{
    const QVariant stored = settings.value(settingKey::shortcut);
    if (stored.typeId() != QMetaType::QVariantMap)
        return Shortcut::defaultShortcut();
    const QVariantMap record = stored.toMap();
    const QVariant off = record.value(QStringLiteral("off"));
    if (off.typeId() == QMetaType::Bool && off.toBool())
        return std::nullopt;
    const std::optional<qint64> keyCode = settingInteger(record.value(QStringLiteral("keyCode")));
    const std::optional<qint64> modifiers = settingInteger(record.value(QStringLiteral("modifiers")));
    const QVariant key = record.value(QStringLiteral("key"));
    if (keyCode && modifiers && key.typeId() == QMetaType::QString && fitsUnsigned32(*keyCode) &&
        fitsUnsigned32(*modifiers))
        return Shortcut{*keyCode, *modifiers, key.toString()};
    return Shortcut::defaultShortcut();
}

void storeShortcut(SettingsStore& settings, const std::optional<Shortcut>& shortcut)
{
    if (!shortcut) {
        settings.setValue(settingKey::shortcut, QVariantMap{{QStringLiteral("off"), true}});
        return;
    }
    settings.setValue(settingKey::shortcut, QVariantMap{{QStringLiteral("keyCode"), shortcut->keyCode},
                                                        {QStringLiteral("modifiers"), shortcut->modifiers},
                                                        {QStringLiteral("key"), shortcut->key}});
}

} // namespace tessary
