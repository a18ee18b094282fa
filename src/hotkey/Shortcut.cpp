#include "hotkey/Shortcut.h"

#include "common/AppIdentity.h"
#include "hotkey/KeyCodes.h"
#include "hotkey/KeyLabel.h"

#include <QStringList>

#include <algorithm>
#include <limits>

namespace tessary {

namespace {

struct ModifierSymbol {
    qint64 bit;
    QChar symbol;
};

// Display order: Control, Option, Shift, Command.
constexpr ModifierSymbol modifierSymbols[] = {
    {modifier::control, QChar(0x2303)},
    {modifier::option, QChar(0x2325)},
    {modifier::shift, QChar(0x21E7)},
    {modifier::command, QChar(0x2318)},
};

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
    for (const ModifierSymbol& entry : modifierSymbols)
        if (modifiers & entry.bit)
            text += entry.symbol;
    return text + key;
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
    if (text.contains(QLatin1Char(':')))
        return parseNumericShortcut(text);
    qint64 modifiers = 0;
    qsizetype position = 0;
    for (; position < text.size(); ++position) {
        const auto symbol =
            std::find_if(std::begin(modifierSymbols), std::end(modifierSymbols),
                         [&](const ModifierSymbol& entry) { return entry.symbol == text.at(position); });
        if (symbol == std::end(modifierSymbols))
            break;
        modifiers |= symbol->bit;
    }
    const QString label = text.mid(position);
    const std::optional<qint64> keyCode = keyCodeForLabel(label);
    if (modifiers == 0 || !keyCode)
        return std::nullopt;
    return Shortcut{*keyCode, modifiers, keyLabelForKeyCode(*keyCode)};
}

} // namespace tessary
