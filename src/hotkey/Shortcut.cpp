#include "hotkey/Shortcut.h"

#include "common/AppIdentity.h"
#include "hotkey/KeyCodes.h"
#include "hotkey/KeyLabel.h"

#include <QStringList>

#include <limits>

namespace tessary {

namespace {

struct ModifierName {
    qint64 bit;
    const char* name; // as the desktop writes it, joined to the next part with "+"
    char16_t symbol;  // the older written form's symbol
};

// The desktop's order: Shift, Ctrl, Alt, Super.
constexpr ModifierName modifierNames[] = {
    {modifier::shift, "Shift", 0x21E7},
    {modifier::control, "Ctrl", 0x2303},
    {modifier::option, "Alt", 0x2325},
    {modifier::command, "Super", 0x2318},
};

// Key labels that are symbols in the stored record but words on this desktop.
struct KeyWord {
    const char16_t* label;
    const char* word;
};

constexpr KeyWord keyWords[] = {{u"↩", "Return"}, {u"⇥", "Tab"}};

QString displayedKey(const QString& label)
{
    for (const KeyWord& entry : keyWords)
        if (label == QString::fromUtf16(entry.label))
            return QLatin1String(entry.word);
    return label;
}

QString storedKey(const QString& written)
{
    for (const KeyWord& entry : keyWords)
        if (written.compare(QLatin1String(entry.word), Qt::CaseInsensitive) == 0)
            return QString::fromUtf16(entry.label);
    return written;
}

// The length of the modifier that `text` starts with, written either way ("Super+" or "⌘"); 0 for
// none.
qsizetype modifierLength(QStringView text, const ModifierName& entry)
{
    if (text.startsWith(QChar(entry.symbol)))
        return 1;
    const QString word = QLatin1String(entry.name) + QLatin1Char('+');
    return text.startsWith(word, Qt::CaseInsensitive) ? word.size() : 0;
}

// Strips the leading modifiers of either written form, "Shift+Super+" or "⇧⌘", adding their bits.
qsizetype readModifiers(const QString& text, qint64& modifiers)
{
    qsizetype position = 0;
    for (;;) {
        qsizetype length = 0;
        for (const ModifierName& entry : modifierNames) {
            length = modifierLength(QStringView(text).mid(position), entry);
            if (length > 0) {
                modifiers |= entry.bit;
                break;
            }
        }
        if (length == 0)
            return position;
        position += length;
    }
}

std::optional<Shortcut> parseNumericShortcut(const QString& text)
{
    const QStringList parts = text.split(QLatin1Char(':'));
    if (parts.size() != 2)
        return std::nullopt;
    bool keyOk = false;
    bool modifiersOk = false;
    const qint64 keyCode = parts.at(0).toLongLong(&keyOk);
    const qint64 modifiers = parts.at(1).toLongLong(&modifiersOk);
    constexpr qint64 allModifiers =
        modifier::command | modifier::shift | modifier::option | modifier::control;
    if (!keyOk || !modifiersOk || keyCode < 0 || keyCode > std::numeric_limits<quint32>::max() ||
        modifiers <= 0 || (modifiers & ~allModifiers) != 0)
        return std::nullopt;
    const QString label = keyLabelForKeyCode(keyCode);
    if (label.isEmpty())
        return std::nullopt;
    return Shortcut{keyCode, modifiers, label};
}

} // namespace

QString Shortcut::display() const
{
    QString text;
    for (const ModifierName& entry : modifierNames)
        if (modifiers & entry.bit)
            text += QLatin1String(entry.name) + QLatin1Char('+');
    return text + displayedKey(key);
}

Shortcut Shortcut::defaultShortcutFor(bool developerBuild)
{
    constexpr qint64 keyCodeO = 31;
    return {keyCodeO,
            developerBuild ? modifier::control | modifier::option : modifier::shift | modifier::command,
            QStringLiteral("O")};
}

const Shortcut& Shortcut::defaultShortcut()
{
    static const Shortcut shortcut = defaultShortcutFor(isDevBuild());
    return shortcut;
}

QString shortcutConflictMessage(const std::optional<Shortcut>& refused)
{
    return (refused ? refused->display() : QStringLiteral("That shortcut")) +
           QStringLiteral(" is already used by another app.");
}

QString shortcutUnavailableMessage()
{
    return QStringLiteral("Tessary cannot have a global shortcut on this desktop: it needs an X11 session.");
}

std::optional<Shortcut> parseShortcut(const QString& text)
{
    // A colon may also be the key itself: Shift+Ctrl+; shows as "Shift+Ctrl+:".
    if (const std::optional<Shortcut> numeric = parseNumericShortcut(text))
        return numeric;
    qint64 modifiers = 0;
    const qsizetype position = readModifiers(text, modifiers);
    const QString written = storedKey(text.mid(position));
    const std::optional<qint64> keyCode = keyCodeForLabel(written);
    if (modifiers == 0 || !keyCode)
        return std::nullopt;
    // A character keeps the form it was written in, as a recorded key keeps the one it typed:
    // "Shift+Ctrl+!" shows as written, not as "Shift+Ctrl+1".
    const QString label = written.size() == 1 ? written.toUpper() : keyLabelForKeyCode(*keyCode);
    return Shortcut{*keyCode, modifiers, label};
}

} // namespace tessary
