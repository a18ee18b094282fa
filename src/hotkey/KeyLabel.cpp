#include "hotkey/KeyLabel.h"

#include "hotkey/KeyCodes.h"
#include "hotkey/Shortcut.h"

#include <algorithm>
#include <iterator>

namespace tessary {

namespace {

struct FixedLabel {
    qint64 keyCode;
    const char16_t* label;
};

constexpr FixedLabel fixedLabels[] = {
    {49, u"Space"}, {36, u"↩"},   {48, u"⇥"},   {126, u"↑"},  {125, u"↓"},  {123, u"←"},
    {124, u"→"},    {122, u"F1"}, {120, u"F2"}, {99, u"F3"},  {118, u"F4"}, {96, u"F5"},
    {97, u"F6"},    {98, u"F7"},  {100, u"F8"}, {101, u"F9"},
};

constexpr quint32 keysymF1 = 0xffbe;
constexpr quint32 keysymF35 = 0xffe0;

QString fixedLabel(qint64 keyCode)
{
    const auto row = std::find_if(std::begin(fixedLabels), std::end(fixedLabels),
                                  [&](const FixedLabel& entry) { return entry.keyCode == keyCode; });
    return row == std::end(fixedLabels) ? QString() : QString::fromUtf16(row->label);
}

// The character of a printable keysym of the key table: Latin-1 keysyms are their code point,
// keypad keysyms their character's code point plus 0xff80.
QString keysymText(quint32 keysym)
{
    constexpr quint32 keypadOffset = 0xff80;
    if (keysym >= 0xffaa && keysym <= 0xffbd)
        keysym -= keypadOffset;
    if ((keysym > 0x20 && keysym <= 0x7e) || (keysym >= 0xa0 && keysym <= 0xff))
        return QString(QChar(char16_t(keysym)));
    return {};
}

// Function keys past F9 have no fixed label and type nothing; their name is the label.
QString functionKeyName(quint32 keysym)
{
    if (keysym >= keysymF1 && keysym <= keysymF35)
        return QStringLiteral("F%1").arg(keysym - keysymF1 + 1);
    return {};
}

bool isPrintable(const QString& text)
{
    return !text.isEmpty() && std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.isPrint(); });
}

} // namespace

QString keyLabel(qint64 keyCode, int qtKey, const QString& text)
{
    if (const QString label = fixedLabel(keyCode); !label.isEmpty())
        return label;
    if (isPrintable(text))
        return text.toUpper();
    // Qt numbers a key with a character by that character's code point (upper case for letters).
    if (qtKey > 0x20 && qtKey < 0x01000000) {
        const char32_t codePoint = char32_t(qtKey);
        return QString::fromUcs4(&codePoint, 1).toUpper();
    }
    if (const std::optional<quint32> keysym = keysymForKeyCode(keyCode))
        if (const QString name = functionKeyName(*keysym); !name.isEmpty())
            return name;
    return QStringLiteral("?");
}

QString keyLabelForKeyCode(qint64 keyCode)
{
    if (const QString label = fixedLabel(keyCode); !label.isEmpty())
        return label;
    const std::optional<quint32> keysym = keysymForKeyCode(keyCode);
    if (!keysym)
        return {};
    if (const QString text = keysymText(*keysym); !text.isEmpty())
        return text.toUpper();
    if (const QString name = functionKeyName(*keysym); !name.isEmpty())
        return name;
    return QStringLiteral("?"); // a key that types nothing, as a recorded one would show
}

std::optional<qint64> keyCodeForLabel(const QString& label)
{
    // Names are read in any case, as single letters are: "space" and "f5" name their keys.
    const auto fixed =
        std::find_if(std::begin(fixedLabels), std::end(fixedLabels), [&](const FixedLabel& entry) {
            return label.compare(QString::fromUtf16(entry.label), Qt::CaseInsensitive) == 0;
        });
    if (fixed != std::end(fixedLabels))
        return fixed->keyCode;
    if (label.size() == 1 && label.at(0).unicode() < 0x100)
        return keyCodeForKeysym(label.at(0).toLower().unicode());
    if (label.startsWith(QLatin1Char('F'), Qt::CaseInsensitive)) {
        bool ok = false;
        const int number = label.mid(1).toInt(&ok);
        if (ok && number >= 1 && keysymF1 + quint32(number) - 1 <= keysymF35)
            return keyCodeForKeysym(keysymF1 + quint32(number) - 1);
    }
    return std::nullopt;
}

qint64 carbonModifiers(Qt::KeyboardModifiers modifiers)
{
    qint64 bits = 0;
    if (modifiers & Qt::MetaModifier)
        bits |= modifier::command;
    if (modifiers & Qt::ShiftModifier)
        bits |= modifier::shift;
    if (modifiers & Qt::AltModifier)
        bits |= modifier::option;
    if (modifiers & Qt::ControlModifier)
        bits |= modifier::control;
    return bits;
}

} // namespace tessary
