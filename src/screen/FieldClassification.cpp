#include "screen/FieldClassification.h"

#include "screen/CodeField.h"
#include "screen/ScreenPattern.h"

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

// Text fields among the field's siblings (itself included), counting only as far as the answer
// matters: more than eight is as good as nine.
int textFieldSiblings(Accessibility& accessibility, const Element& element)
{
    const std::optional<Element> parent = accessibility.elementAttribute(element, QStringLiteral("AXParent"));
    if (!parent)
        return 0;
    const QList<Element> siblings = accessibility.children(*parent);
    if (siblings.size() > codeFieldBudget::maxBoxRowChildren)
        return 0;
    int count = 0;
    for (const Element& sibling : siblings) {
        if (accessibility.stringAttribute(sibling, QStringLiteral("AXRole")) == QLatin1String("AXTextField"))
            ++count;
        if (count > maxBoxes)
            break;
    }
    return count;
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

FieldVerdict accept(QString reason, std::optional<Rect> frame)
{
    return FieldVerdict{true, std::move(reason), frame};
}

FieldVerdict reject(QString reason, std::optional<Rect> frame = std::nullopt)
{
    return FieldVerdict{false, std::move(reason), frame};
}

} // namespace

FieldVerdict classifyField(Accessibility& accessibility, const Element& element)
{
    // Cheap rules first: most focused elements are decided by their own attributes, and every
    // read is a call into another process.
    if (accessibility.stringAttribute(element, QStringLiteral("AXRole")) != QLatin1String("AXTextField"))
        return reject(QStringLiteral("not a text field"));
    const std::optional<QString> subrole =
        accessibility.stringAttribute(element, QStringLiteral("AXSubrole"));
    if (subrole == QLatin1String("AXSecureTextField"))
        return reject(QStringLiteral("password field"));
    if (subrole == QLatin1String("AXSearchField"))
        return reject(QStringLiteral("search field"));

    const QString label = fieldLabel(accessibility, element);
    const QString value =
        accessibility.stringAttribute(element, QStringLiteral("AXValue")).value_or(QString());
    if (value.size() > maxCodeLength)
        return reject(QStringLiteral("holds 13 or more characters"));
    if (const auto excluded = excludedFieldPattern().firstMatch(label))
        return reject(QStringLiteral("label mentions ") + excluded->toLower());

    const QString around =
        nearbyText(accessibility, element, codeFieldBudget::aroundLevels, codeFieldBudget::aroundBudget);
    if (const auto card = cardPattern().firstMatch(around))
        return reject(QStringLiteral("card words nearby: ") + card->toLower());

    const std::optional<Rect> frame = accessibility.screenFrame(element);
    const double width = frame ? frame->width : 0;
    if (width < maxBoxWidth) {
        const int boxes = textFieldSiblings(accessibility, element);
        if (boxes >= minBoxes && boxes <= maxBoxes)
            return accept(QStringLiteral("one of %1 code boxes").arg(boxes), frame);
    }
    if (const auto keyword = codeKeywordPattern().firstMatch(label))
        return accept(QStringLiteral("label mentions ") + keyword->toLower(), frame);
    if (wordCount(label) <= maxShortLabelWords) {
        if (const auto shortLabel = shortLabelPattern().firstMatch(label))
            return accept(QStringLiteral("short label names ") + shortLabel->toLower(), frame);
    }

    if (!frame)
        return reject(QStringLiteral("no frame to judge its width by"));
    if (width <= 0)
        return reject(QStringLiteral("no width"), frame);
    if (width >= maxPromptedWidth)
        return reject(QStringLiteral("too wide for a code field"), frame);
    if (const auto promo = promoPattern().firstMatch(around))
        return reject(QStringLiteral("text nearby mentions ") + promo->toLower(), frame);
    if (const auto prompt = pagePromptPattern().firstMatch(around))
        return accept(QStringLiteral("text nearby asks for a code: ") + prompt->toLower(), frame);
    return reject(QStringLiteral("no code prompt nearby"), frame);
}

} // namespace tessary
