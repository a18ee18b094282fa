#include "screen/TypeCode.h"

#include "screen/FieldClassification.h"

#include <QTextBoundaryFinder>

#include <algorithm>

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

// From an element that takes no text to a field: the field's focus event came late (a hot key
// pressed right after a click, an application that learnt late that we listen), and the keys went
// to that field all along.
bool focusLearntLate(Accessibility& accessibility, const Element& before, const Element& now)
{
    return !isTextField(accessibility.role(before)) && isTextField(accessibility.role(now));
}

// A box of a row of one-character boxes is about as wide as it is high; a field several times
// wider takes the whole code, so it needs no watch for the page moving the focus on.
constexpr double wideFieldRatio = 3.0;

bool isWide(Accessibility& accessibility, const std::optional<Element>& field)
{
    const std::optional<Rect> frame = field ? accessibility.screenFrame(*field) : std::nullopt;
    return frame && frame->height > 0 && frame->width >= wideFieldRatio * frame->height;
}

// Whether the focus went where a row of boxes sends it after a character: to the next box of the
// row the page shows, or, where its structure shows none, to another narrow text field. Anywhere
// else (another application, a button) the user has moved on.
bool isNextBox(Accessibility& accessibility, const QList<Element>& row, const Element& box,
               const Element& now)
{
    if (row.isEmpty())
        return isTextField(accessibility.role(now)) && !isWide(accessibility, now);
    const qsizetype at = row.indexOf(box);
    return at >= 0 && at + 1 < row.size() && row.at(at + 1) == now;
}

// Whether every key of a character goes the way all keys go.
bool layoutHolds(Keyboard& keyboard, const QStringList& character)
{
    return std::all_of(character.cbegin(), character.cend(),
                       [&keyboard](const QString& key) { return keyboard.layoutHolds(key); });
}

// Whether the field shows `typed` more often than it did before typing began.
bool shows(Accessibility& accessibility, const Element& field, const QString& before, const QString& typed)
{
    const std::optional<QString> now = accessibility.text(field);
    return now && now->count(typed) > before.count(typed);
}

// Until the field shows every character typed so far: a character the layout lacks goes in
// another way than the keys (a keymap change, the input method), which could overtake keys posted
// before it, and the keymap must not change again before it arrived. A field whose text cannot be
// read (`before` none) gets a fixed wait; one whose text never shows them (a password field's
// dots) the polls' whole time.
QCoro::Task<> untilShown(Accessibility& accessibility, Clock& clock, const std::optional<Element>& field,
                         const std::optional<QString>& before, const QString& typed, const Timings& timings)
{
    if (!field || !before) {
        co_await clock.sleep(timings.unreadFieldSettle);
        co_return;
    }
    for (int poll = 0; poll < timings.arrivalPolls && !shows(accessibility, *field, *before, typed); ++poll)
        co_await clock.sleep(timings.arrivalPoll);
}

} // namespace

QCoro::Task<std::optional<QString>> typeCode(Accessibility& accessibility, Keyboard& keyboard, Clock& clock,
                                             QString code, std::optional<Element> element, Timings timings)
{
    QList<QStringList> keys = characters(code);
    for (const QStringList& character : keys) {
        for (const QString& key : character) {
            if (!keyboard.canType(key))
                co_return character.join(QString());
        }
    }

    // Only a field that lost the focus is given it again: Firefox answers a focus request for its
    // focused field by moving the focus to its document and back, which would read as the user
    // moving on after the first character.
    if (element && accessibility.focusedElement() != element)
        accessibility.setFocused(*element);

    // The hot key that started the fill may still be down: a held modifier would turn the digits
    // into shortcuts, and while its own key is down its grab takes them.
    for (int poll = 0; poll < timings.modifierPolls && keyboard.keysHeld(); ++poll)
        co_await clock.sleep(timings.modifierPoll);

    if (keys.isEmpty())
        co_return std::nullopt;
    keyboard.releaseHeldKeys();

    std::optional<Element> field = accessibility.focusedElement();
    const bool wide = isWide(accessibility, field);
    FieldMode mode = wide ? FieldMode::singleField : FieldMode::undetermined;
    // A box of a row the page shows waits longer for the page to move the focus on: a second
    // character typed before the move would go into the box that already holds one.
    const QList<Element> row = field && !wide ? codeBoxRow(accessibility, *field) : QList<Element>();
    const int focusPolls = row.isEmpty() ? timings.focusPolls : timings.rowFocusPolls;
    // The boxes hold the code's characters only: a dash that splits the code ("ABC-123") stands
    // between the boxes, and typed into one it would push the code's last character off the row.
    if (!row.isEmpty())
        keys.removeIf(
            [](const QStringList& character) { return character == QStringList{QStringLiteral("-")}; });
    const bool anyOffLayout =
        std::any_of(keys.cbegin(), keys.cend(),
                    [&keyboard](const QStringList& character) { return !layoutHolds(keyboard, character); });
    std::optional<QString> before = anyOffLayout && field ? accessibility.text(*field) : std::nullopt;
    QString typed;
    bool offLayoutTyped = false;
    for (qsizetype i = 0; i < keys.size(); ++i) {
        const std::optional<Element> focused = accessibility.focusedElement();
        // One field is typed into only while it keeps the focus: the user may have moved on.
        if (mode == FieldMode::singleField && focusMoved(field, focused)) {
            if (!focusLearntLate(accessibility, *field, *focused))
                break;
            field = focused;
            before.reset();
        }
        const auto pressed = clock.steadyNow();
        for (const QString& key : keys[i]) {
            co_await keyboard.postKey(key, true);
            co_await keyboard.postKey(key, false);
        }
        typed += keys[i].join(QString());
        // Asked once posted: a keyboard may learn the layout with its first key.
        const bool offLayout = !layoutHolds(keyboard, keys[i]);
        offLayoutTyped = offLayoutTyped || offLayout;
        if (i == keys.size() - 1) {
            if (offLayoutTyped && mode != FieldMode::boxes)
                co_await untilShown(accessibility, clock, field, before, typed, timings);
            break;
        }

        if (mode == FieldMode::singleField) {
            // The pace runs from the key's press: the time posting it took is part of it. The wait
            // happens even when nothing is left of it, so a focus event can arrive in between.
            const std::chrono::nanoseconds posting = clock.steadyNow() - pressed;
            co_await clock.sleep(
                std::max(std::chrono::nanoseconds(timings.fieldPace) - posting, std::chrono::nanoseconds(0)));
        } else {
            // Undetermined or boxes: a page with one box per character moves the focus itself.
            std::optional<Element> now = focused;
            bool moved = false;
            for (int poll = 0; poll < focusPolls && !moved; ++poll) {
                co_await clock.sleep(timings.focusPoll);
                now = accessibility.focusedElement();
                moved = focusMoved(focused, now);
            }
            if (moved && !isNextBox(accessibility, row, *focused, *now)) {
                if (!focusLearntLate(accessibility, *focused, *now))
                    break;
                field = now;
                before.reset();
                mode = FieldMode::singleField;
            } else if (moved) {
                co_await clock.sleep(timings.boxSettle);
                mode = FieldMode::boxes;
            } else if (mode == FieldMode::undetermined) {
                mode = FieldMode::singleField;
            }
        }
        // In one field, a character the layout lacks waits for every one before it to arrive, and
        // the one after it waits for it. A box that took its character has moved the focus on.
        if (mode == FieldMode::singleField && (offLayout || !layoutHolds(keyboard, keys[i + 1])))
            co_await untilShown(accessibility, clock, field, before, typed, timings);
    }
    co_await keyboard.endTyping();
    co_return std::nullopt;
}

} // namespace tessary
