#include "screen/FieldClassification.h"

#include "screen/CodeField.h"
#include "screen/ScreenPattern.h"

#include <QRegularExpression>

#include <algorithm>

namespace tessary {

namespace {

// A code field holds at most 12 characters; anything longer is already filled with something else.
constexpr qsizetype maxCodeLength = 12;
// Boxes of a code split into one-character boxes: narrow, four to eight of them side by side.
constexpr double maxBoxWidth = 90;
constexpr int minBoxes = 4;
constexpr int maxBoxes = 8;
// Labels this short that name a code or PIN ask for one ("PIN", "Code:", "Enter code").
constexpr int maxShortLabelWords = 3;
// A field this wide is a text box of the page, not a code field, whatever the page says around it.
constexpr double maxPromptedWidth = 700;
// A placeholder in the shape of a code marks a code field only on a field about as narrow as one.
constexpr double maxShapedWidth = 300;

// Text fields among the field's siblings (itself included), in order, collecting only as far as
// the answer matters: more than eight is as good as nine.
QList<Element> textFieldSiblings(ElementTree& tree, const Element& parent)
{
    const QList<Element> siblings = tree.children(parent);
    if (siblings.size() > codeFieldBudget::maxBoxRowChildren)
        return {};
    QList<Element> fields;
    for (const Element& sibling : siblings) {
        if (isTextField(tree.role(sibling)))
            fields.append(sibling);
        if (fields.size() > maxBoxes)
            break;
    }
    return fields;
}

// Boxes of a code that a page splits into groups ("123 – 456", each group in its own wrapper):
// the text fields of the whole row, that is of the parent's parent and of those of its children
// that hold nothing but text fields. A wrapper holding anything else (a label with its field, as
// forms wrap each of their fields) is not part of a row of boxes.
QList<Element> textFieldsInRow(ElementTree& tree, const Element& parent)
{
    using namespace codeFieldBudget;
    const std::optional<Element> row = tree.parent(parent);
    if (!row || tree.role(*row) == Role::documentWeb)
        return {};
    const QList<Element> children = tree.children(*row);
    if (children.size() > maxRowChildren)
        return {};
    QList<Element> fields;
    int groups = 0;
    for (const Element& child : children) {
        const Role role = tree.role(child);
        if (isTextField(role)) {
            fields.append(child);
        } else if (role == Role::section && groups < maxRowGroups) {
            ++groups;
            const QList<Element> boxes = tree.children(child);
            if (boxes.size() > maxGroupBoxes)
                return {};
            for (const Element& box : boxes)
                if (!isTextField(tree.role(box)))
                    return {};
            fields += boxes;
        }
        if (fields.size() > maxBoxes)
            break;
    }
    return fields;
}

// A placeholder that shows the shape of a code: one digit or dot repeated four to eight times
// ("000000", "• • • • • •"). A sample value that varies ("90210", a postcode) is not one.
bool showsCodeShape(const QString& placeholder)
{
    QString shape = placeholder;
    shape.remove(QRegularExpression(QStringLiteral("\\s")));
    if (shape.size() < minBoxes || shape.size() > maxBoxes)
        return false;
    const QChar first = shape.front();
    static const QString dots = QStringLiteral("•·*_-–○●∙⋅");
    if (!first.isDigit() && !dots.contains(first))
        return false;
    return shape.count(first) == shape.size();
}

// A placeholder that shows a sample phone number ("(555) 555-5555", "+44 7700 900123"): nine
// digits or more with nothing but a phone number's separators. No code sent is that long.
bool showsPhoneNumber(const QString& placeholder)
{
    constexpr int minPhoneDigits = 9;
    static const QRegularExpression phoneCharacters(QStringLiteral("^[\\d\\s()+./-]+$"));
    if (!phoneCharacters.match(placeholder).hasMatch())
        return false;
    return std::count_if(placeholder.cbegin(), placeholder.cend(),
                         [](QChar character) { return character.isDigit(); }) >= minPhoneDigits;
}

int wordCount(const QString& text)
{
    int words = 0;
    bool inWord = false;
    for (const char32_t character : text.toUcs4()) {
        const bool wordCharacter = QChar::isLetterOrNumber(character) || QChar::isMark(character);
        if (wordCharacter && !inWord)
            ++words;
        inWord = wordCharacter;
    }
    return words;
}

// An exclusion word in a sentence that describes the field is a reason to turn it away only when
// it names something other than where the code went ("we sent a code to your e-mail address").
std::optional<QString> excludedInDescription(const QString& description)
{
    for (const QString& word : excludedFieldPattern().allMatches(description))
        if (contactWordPattern().firstMatch(word) != word)
            return word;
    return std::nullopt;
}

// The words with which a label asks for a code ("One-time password") are no exclusion words, nor is
// where the code went when it stands just before them ("Email verification code") or a word or two
// after them ("Bestätigungscode aus der E-Mail"). A field for a phone number named for the code it
// brings ("Phone number to get a verification code") is still one.
std::optional<QString> excludedInLabel(const QString& asking, const QString& named)
{
    constexpr int maxSourceGapWords = 2;
    QString rest = named;
    for (const QString& prompt : pagePromptPattern().allMatches(asking)) {
        const qsizetype at = rest.indexOf(prompt);
        if (at < 0)
            continue;
        QString before = rest.left(at);
        while (!before.isEmpty() && (before.back().isSpace() || before.back() == QLatin1Char('-')))
            before.chop(1);
        const QStringList contacts = contactWordPattern().allMatches(before);
        const qsizetype from = !contacts.isEmpty() && before.endsWith(contacts.last())
                                   ? before.size() - contacts.last().size()
                                   : at;
        qsizetype to = at + prompt.size();
        const QString after = rest.mid(to);
        if (const auto source = contactWordPattern().firstMatch(after)) {
            const QString gap = after.left(after.indexOf(*source));
            static const QRegularExpression punctuation(QStringLiteral("[^\\w\\s]"));
            if (wordCount(gap) <= maxSourceGapWords && !gap.contains(punctuation))
                to += gap.size() + source->size();
        }
        rest.replace(from, to - from, QStringLiteral(" "));
    }
    return excludedFieldPattern().firstMatch(rest);
}

// Whether `row` is a row of code boxes the element is one of: four to eight text fields, each as
// narrow as a box. One narrow field does not make a form of fields side by side (street, apartment,
// city, state) a row of boxes.
bool isBoxRow(ElementTree& tree, const QList<Element>& row, const Element& element)
{
    if (row.size() < minBoxes || row.size() > maxBoxes || !row.contains(element))
        return false;
    return std::none_of(row.cbegin(), row.cend(), [&tree](const Element& box) {
        const std::optional<Rect> frame = tree.screenFrame(box);
        return frame && frame->width >= maxBoxWidth;
    });
}

FieldVerdict accept(QString reason, std::optional<Rect> frame)
{
    return FieldVerdict{true, std::move(reason), frame};
}

FieldVerdict reject(QString reason, std::optional<Rect> frame = std::nullopt)
{
    return FieldVerdict{false, std::move(reason), frame};
}

} // namespace

QList<Element> codeBoxRow(ElementTree& tree, const Element& element)
{
    const std::optional<Element> parent = tree.parent(element);
    if (!parent)
        return {};
    const QList<Element> siblings = textFieldSiblings(tree, *parent);
    if (siblings.isEmpty())
        return {};
    // The field's boxes may be one group of several the row is split into ("1234 – 5678"): the row
    // around them, when it is one, holds every box.
    if (siblings.size() < maxBoxes) {
        const QList<Element> row = textFieldsInRow(tree, *parent);
        if (row.size() > siblings.size() && isBoxRow(tree, row, element))
            return row;
    }
    return isBoxRow(tree, siblings, element) ? siblings : QList<Element>();
}

FieldVerdict classifyField(ElementTree& tree, const Element& element)
{
    // Cheap rules first: most focused elements are decided by their own attributes, and every
    // read is a call into another process.
    const Role role = tree.role(element);
    if (!isTextField(role))
        return reject(QStringLiteral("not a text field"));
    if (role == Role::passwordText)
        return reject(QStringLiteral("password field"));
    const QString inputType = tree.inputType(element);
    if (inputType == QLatin1String("search"))
        return reject(QStringLiteral("search field"));
    // An input the page declares for an address takes no code, whatever the page says around it.
    if (inputType == QLatin1String("email") || inputType == QLatin1String("url"))
        return reject(inputType + QStringLiteral(" field"));

    const FieldLabelParts parts = fieldLabelParts(tree, element);
    const QString label = parts.joined();
    const QString value = tree.text(element).value_or(QString());
    if (value.size() > maxCodeLength)
        return reject(QStringLiteral("holds 13 or more characters"));
    // What the field asks for (its label, placeholder and names) decides; its description may be
    // a sentence about where the code was sent, and so may a label that asks for a code by name.
    const QString named = parts.asking() + QLatin1Char(' ') + parts.identifiers.join(QLatin1Char(' '));
    if (const auto excluded = excludedInLabel(parts.asking(), named))
        return reject(QStringLiteral("label mentions ") + excluded->toLower());
    if (const auto excluded = excludedInDescription(parts.description.join(QLatin1Char(' '))))
        return reject(QStringLiteral("label mentions ") + excluded->toLower());

    for (const QString& shown : parts.placeholder + parts.title)
        if (showsPhoneNumber(shown))
            return reject(QStringLiteral("placeholder shows a phone number: ") + shown);

    const QString around =
        nearbyText(tree, element, codeFieldBudget::aroundLevels, codeFieldBudget::aroundBudget);
    // A card form's field may say what it is only in its own label or placeholder ("MM/YY").
    QString cardWords = parts.asking() + QLatin1Char(' ') + around;
    for (const QString& masked : maskedCardPattern().allMatches(cardWords))
        cardWords.replace(masked, QStringLiteral(" "));
    if (const auto card = cardPattern().firstMatch(cardWords))
        return reject(QStringLiteral("card words nearby: ") + card->toLower());
    // A booking's code on a form that looks the booking up is its record locator, printed on the
    // ticket, not a code sent a moment ago ("Confirmation code" beside "Last name").
    if (bookingCodePattern().matches(label)) {
        if (const auto lookup = bookingLookupPattern().firstMatch(around))
            return reject(QStringLiteral("text nearby looks up a booking: ") + lookup->toLower());
    }

    // A code the user's own authenticator app makes never comes by mail or text, however the page
    // asks for it; a page that also sent one may be typed into.
    if (const auto app = authenticatorAppPattern().firstMatch(around);
        app && !codeSentPattern().matches(around))
        return reject(QStringLiteral("text nearby asks for an app's code: ") + app->toLower());

    const std::optional<Rect> frame = tree.screenFrame(element);
    const double width = frame ? frame->width : 0;
    if (width < maxBoxWidth) {
        if (const QList<Element> row = codeBoxRow(tree, element); !row.isEmpty())
            return accept(QStringLiteral("one of %1 code boxes").arg(row.size()), frame);
    }
    if (const auto keyword = codeKeywordPattern().firstMatch(label))
        return accept(QStringLiteral("label mentions ") + keyword->toLower(), frame);
    // A label that names only a code or a PIN leaves the page to say which: a voucher's or a gift
    // card's, or one sent.
    if (const auto promo = promoPattern().firstMatch(around))
        return reject(QStringLiteral("text nearby mentions ") + promo->toLower(), frame);
    // Identifiers and class names ("css-1pk7f3i", "TextInput-element") are not words of the label.
    if (wordCount(parts.forPeople()) <= maxShortLabelWords) {
        if (const auto shortLabel = shortLabelPattern().firstMatch(label))
            return accept(QStringLiteral("short label names ") + shortLabel->toLower(), frame);
    }

    if (!frame)
        return reject(QStringLiteral("no frame to judge its width by"));
    if (width <= 0)
        return reject(QStringLiteral("no width"), frame);
    if (width >= maxPromptedWidth)
        return reject(QStringLiteral("too wide for a code field"), frame);
    // Browsers name a field with no label by its placeholder: the shape may stand in its name.
    if (width < maxShapedWidth) {
        for (const QString& shown : parts.placeholder + parts.title)
            if (showsCodeShape(shown))
                return accept(QStringLiteral("placeholder shows a code: ") + shown, frame);
    }
    if (const auto prompt = pagePromptPattern().firstMatch(around))
        return accept(QStringLiteral("text nearby asks for a code: ") + prompt->toLower(), frame);
    return reject(QStringLiteral("no code prompt nearby"), frame);
}

} // namespace tessary
