#include "state/IMAPPreset.h"

#include <QHashFunctions>

namespace tessary {

const QList<IMAPPreset>& IMAPPreset::all()
{
    static const QList<IMAPPreset> presets = {
        {QStringLiteral("iCloud"), QStringLiteral("iCloud"), QStringLiteral("imap.mail.me.com"),
         QUrl(QStringLiteral("https://support.apple.com/en-us/102654"))},
        {QStringLiteral("Yahoo"), QStringLiteral("Yahoo"), QStringLiteral("imap.mail.yahoo.com"),
         QUrl(QStringLiteral("https://help.yahoo.com/kb/SLN15241.html"))},
        {QStringLiteral("Fastmail"), QStringLiteral("Fastmail"), QStringLiteral("imap.fastmail.com"),
         QUrl(QStringLiteral("https://www.fastmail.com/help/clients/apppassword.html"))},
        {QStringLiteral("other"), QStringLiteral("Other (IMAP)"), QString(), std::nullopt},
    };
    return presets;
}

size_t qHash(const IMAPPreset& preset, size_t seed)
{
    return qHashMulti(seed, preset.id, preset.name, preset.host, preset.helpURL.value_or(QUrl()));
}

} // namespace tessary
