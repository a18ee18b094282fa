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

// A box of a row of one-character boxes is about as wide as it is high; a field several times
// wider takes the whole code, so it needs no watch for the page moving the focus on.
constexpr double wideFieldRatio = 3.0;

bool isWide(Accessibility& accessibility, const std::optional<Element>& field)
{
    const std::optional<Rect> frame = field ? accessibility.screenFrame(*field) : std::nullopt;
    return frame && frame->height > 0 && frame->width >= wideFieldRatio * frame->height;
}

} // namespace

QCoro::Task<std::optional<QString>> typeCode(Accessibility& accessibility, Keyboard& keyboard, Clock& clock,
                                             QString code, std::optional<Element> element, Timings timings)
{
    const QList<QStringList> keys = characters(code);
    for (const QStringList& character : keys) {
        for (const QString& key : character) {
            if (!keyboard.canType(key))
                co_return character.join(QString());
        }
    }

    if (element)
        accessibility.setFocused(*element);

    // The hot key that started the fill may still be down: a held modifier would turn the digits
    // into shortcuts, and while its own key is down its grab takes them.
    for (int poll = 0; poll < timings.modifierPolls && keyboard.keysHeld(); ++poll)
        co_await clock.sleep(timings.modifierPoll);

    if (keys.isEmpty())
        co_return std::nullopt;
    keyboard.releaseHeldKeys();

    const std::optional<Element> field = accessibility.focusedElement();
    FieldMode mode = isWide(accessibility, field) ? FieldMode::singleField : FieldMode::undetermined;
    for (qsizetype i = 0; i < keys.size(); ++i) {
        const std::optional<Element> before = accessibility.focusedElement();
        // One field is typed into only while it keeps the focus: the user may have moved on.
        if (mode == FieldMode::singleField && focusMoved(field, before))
            co_return std::nullopt;
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
            moved = focusMoved(before, accessibility.focusedElement());
        }
        if (moved) {
            co_await clock.sleep(timings.boxSettle);
            mode = FieldMode::boxes;
        } else if (mode == FieldMode::undetermined) {
            mode = FieldMode::singleField;
        }
    }
    co_return std::nullopt;
}

} // namespace tessary
