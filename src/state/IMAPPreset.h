#pragma once

#include <QList>
#include <QString>
#include <QUrl>

#include <optional>

namespace tessary {

// A provider offered in the add-inbox sheet: its IMAP server and where it explains app passwords.
struct IMAPPreset {
    QString id;
    QString name;                // shown
    QString host;                // empty: the user types the server
    std::optional<QUrl> helpURL; // the provider's page on app-specific passwords

    // iCloud, Yahoo, Fastmail and "Other (IMAP)", in display order.
    static const QList<IMAPPreset>& all();

    friend bool operator==(const IMAPPreset&, const IMAPPreset&) = default;
};

size_t qHash(const IMAPPreset& preset, size_t seed = 0);

} // namespace tessary
