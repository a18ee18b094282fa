#include "screen/CodeField.h"

#include "screen/FieldClassification.h"
#include "screen/TreeWalk.h"

namespace tessary {

std::optional<CodeField> CodeField::detect(Accessibility& accessibility, const Element& element)
{
    const FieldVerdict verdict = classifyField(accessibility, element);
    if (!verdict.accepted)
        return std::nullopt;
    return CodeField{element, pageHost(accessibility, element), verdict.frame};
}

QString fieldLabel(Accessibility& accessibility, const Element& element)
{
    static const char* const textAttributes[] = {
        "AXPlaceholderValue", "AXTitle", "AXDescription", "AXHelp", "AXIdentifier", "AXDOMIdentifier"};
    QStringList parts;
    for (const char* attribute : textAttributes)
        if (const auto text = accessibility.stringAttribute(element, QLatin1String(attribute)))
            parts.append(*text);
    parts += accessibility.stringListAttribute(element, QStringLiteral("AXDOMClassList"));
    if (const auto labelElement = accessibility.elementAttribute(element, QStringLiteral("AXTitleUIElement")))
        if (const auto text = accessibility.stringAttribute(*labelElement, QStringLiteral("AXValue")))
            parts.append(*text);
    return parts.join(QLatin1Char(' '));
}

QString nearbyText(Accessibility& accessibility, const Element& element, int levels, int budget)
{
    // Climb, but never into the page's root: above it lies the browser's own interface.
    Element start = element;
    for (int level = 0; level < levels; ++level) {
        const std::optional<Element> parent =
            accessibility.elementAttribute(start, QStringLiteral("AXParent"));
        if (parent &&
            accessibility.stringAttribute(*parent, QStringLiteral("AXRole")) != QLatin1String("AXWebArea"))
            start = *parent;
    }

    QStringList texts;
    walkBreadthFirst(accessibility, start, budget, [&](const Element& visited) {
        const std::optional<QString> role = accessibility.stringAttribute(visited, QStringLiteral("AXRole"));
        if (role == QLatin1String("AXStaticText") || role == QLatin1String("AXHeading"))
            if (const auto text = visibleText(accessibility, visited))
                texts.append(*text);
        return WalkStep::goOn;
    });
    return texts.join(QLatin1Char(' '));
}

std::optional<QString> pageHost(Accessibility& accessibility, const Element& element)
{
    std::optional<Element> current = element;
    for (int step = 0; step < codeFieldBudget::pageHostSteps && current; ++step) {
        if (accessibility.stringAttribute(*current, QStringLiteral("AXRole")) == QLatin1String("AXWebArea"))
            return urlHost(
                accessibility.stringAttribute(*current, QStringLiteral("AXURL")).value_or(QString()));
        if (step + 1 < codeFieldBudget::pageHostSteps)
            current = accessibility.elementAttribute(*current, QStringLiteral("AXParent"));
    }
    return std::nullopt;
}

} // namespace tessary
