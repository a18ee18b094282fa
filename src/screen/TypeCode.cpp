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

QCoro::Task<> typeCode(Accessibility& accessibility, Keyboard& keyboard, Clock& clock, QString code,
                       std::optional<Element> element, Timings timings)
{
    if (element)
        accessibility.setFocused(*element);

    // The hot key that started the fill may still be down: a held modifier would turn the digits
    // into shortcuts, and while its own key is down its grab takes them.
    for (int poll = 0; poll < timings.modifierPolls && keyboard.keysHeld(); ++poll)
        co_await clock.sleep(timings.modifierPoll);

    const QStringList keys = characters(code);
    if (keys.isEmpty())
        co_return;
    keyboard.releaseHeldKeys();

    FieldMode mode = FieldMode::undetermined;
    for (qsizetype i = 0; i < keys.size(); ++i) {
        const std::optional<Element> before = accessibility.focusedElement();
        keyboard.postKey(keys[i], true);
        keyboard.postKey(keys[i], false);
        if (i == keys.size() - 1)
            break;

        if (mode == FieldMode::singleField) {
            co_await clock.sleep(timings.fieldPace);
            continue;
        }
        // Undetermined or boxes: a page with one box per character moves the focus itself.
        bool moved = false;
        for (int poll = 0; poll < timings.focusPolls && !moved; ++poll) {
            co_await clock.sleep(timings.focusPoll);
            moved = focusMoved(before, accessibility.focusedElement());
        }
        if (moved) {
            co_await clock.sleep(timings.boxSettle);
            mode = FieldMode::boxes;
        } else if (mode == FieldMode::undetermined) {
            mode = FieldMode::singleField;
        }
    }
}

} // namespace tessary
