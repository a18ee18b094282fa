#include "screen/TypeCode.h"

#include <QTextBoundaryFinder>

namespace tessary {

namespace {

enum class FieldMode { undetermined, boxes, singleField };

// The keys of one character as the user sees it. A key types one code point, so "e" + accent
// is typed as the precomposed "é"; a character without a precomposed form is typed a code point
// at a time, and the application joins them as it joins them from any keyboard.
QStringList keysOf(const QString& character)
{
    const QString composed = character.normalized(QString::NormalizationForm_C);
    QStringList keys;
    for (const char32_t codePoint : composed.toUcs4())
        keys.append(QString::fromUcs4(&codePoint, 1));
    return keys;
}

// A code's characters as the user sees them, each as its keys.
QList<QStringList> characters(const QString& code)
{
    QList<QStringList> result;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, code);
    qsizetype start = 0;
    while (finder.toNextBoundary() != -1) {
        result.append(keysOf(code.mid(start, finder.position() - start)));
        start = finder.position();
    }
    return result;
}

bool focusMoved(const std::optional<Element>& before, const std::optional<Element>& now)
{
    return before && now && !(*before == *now);
}

} // namespace

QCoro::Task<> typeCode(FocusInFront& focus, Keyboard& keyboard, Clock& clock, QString code,
                       std::optional<Element> element, Timings timings)
{
    if (element)
        focus.setFocused(*element);

    // The hot key that started the fill may still be down: a held modifier would turn the digits
    // into shortcuts, and while its own key is down its grab takes them.
    for (int poll = 0; poll < timings.modifierPolls && keyboard.keysHeld(); ++poll)
        co_await clock.sleep(timings.modifierPoll);

    const QList<QStringList> keys = characters(code);
    if (keys.isEmpty())
        co_return;
    keyboard.releaseHeldKeys();

    FieldMode mode = FieldMode::undetermined;
    for (qsizetype i = 0; i < keys.size(); ++i) {
        const std::optional<Element> before = focus.focusedElement();
        for (const QString& key : keys[i]) {
            co_await keyboard.postKey(key, true);
            co_await keyboard.postKey(key, false);
        }
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
            moved = focusMoved(before, focus.focusedElement());
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
