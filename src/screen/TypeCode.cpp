#include "screen/TypeCode.h"

#include <QTextBoundaryFinder>

namespace tessary {

namespace {

enum class FieldMode { undetermined, boxes, singleField };

// A code's characters as the user sees them: "é" written as e + accent is one key press.
QStringList characters(const QString& code)
{
    QStringList result;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, code);
    qsizetype start = 0;
    while (finder.toNextBoundary() != -1) {
        result.append(code.mid(start, finder.position() - start));
        start = finder.position();
    }
    return result;
}

bool focusMoved(const std::optional<Element>& before, const std::optional<Element>& now)
{
    return before && now && !(*before == *now);
}

} // namespace

const QHash<QString, int>& typingKeyCodes()
{
    static const QHash<QString, int> table{
        {"0", 29}, {"1", 18}, {"2", 19}, {"3", 20}, {"4", 21}, {"5", 23}, {"6", 22}, {"7", 26},
        {"8", 28}, {"9", 25}, {"-", 27}, {"A", 0},  {"B", 11}, {"C", 8},  {"D", 2},  {"E", 14},
        {"F", 3},  {"G", 5},  {"H", 4},  {"I", 34}, {"J", 38}, {"K", 40}, {"L", 37}, {"M", 46},
        {"N", 45}, {"O", 31}, {"P", 35}, {"Q", 12}, {"R", 15}, {"S", 1},  {"T", 17}, {"U", 32},
        {"V", 9},  {"W", 13}, {"X", 7},  {"Y", 16}, {"Z", 6},
    };
    return table;
}

QCoro::Task<> typeCode(Accessibility& accessibility, Keyboard& keyboard, Clock& clock, QString code,
                       std::optional<Element> element)
{
    if (element)
        accessibility.setFocused(*element);

    // The hot key that started the fill may still be down: a held modifier would turn the digits
    // into shortcuts.
    for (int poll = 0; poll < typing::modifierPolls && keyboard.modifiersHeld(); ++poll)
        co_await clock.sleep(typing::modifierPoll);

    const QStringList keys = characters(code);
    if (keys.isEmpty())
        co_return;
    keyboard.releaseHeldModifiers();

    FieldMode mode = FieldMode::undetermined;
    for (qsizetype i = 0; i < keys.size(); ++i) {
        const std::optional<Element> before = accessibility.focusedElement();
        const int keyCode = typingKeyCodes().value(keys[i].toUpper(), 0);
        keyboard.postKey(keyCode, keys[i], true);
        keyboard.postKey(keyCode, keys[i], false);
        if (i == keys.size() - 1)
            break;

        if (mode == FieldMode::singleField) {
            co_await clock.sleep(typing::fieldPace);
            continue;
        }
        // Undetermined or boxes: a page with one box per character moves the focus itself.
        bool moved = false;
        for (int poll = 0; poll < typing::focusPolls && !moved; ++poll) {
            co_await clock.sleep(typing::focusPoll);
            moved = focusMoved(before, accessibility.focusedElement());
        }
        if (moved) {
            co_await clock.sleep(typing::boxSettle);
            mode = FieldMode::boxes;
        } else if (mode == FieldMode::undetermined) {
            mode = FieldMode::singleField;
        }
    }
}

} // namespace tessary
