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

FieldLabelParts fieldLabelParts(Accessibility& accessibility, const Element& element)
{
    FieldLabelParts parts;
    const auto read = [&](const char* attribute, QStringList& into) {
        if (const auto text = accessibility.stringAttribute(element, QLatin1String(attribute)))
            into.append(*text);
    };
    read("AXPlaceholderValue", parts.placeholder);
    read("AXTitle", parts.title);
    read("AXDescription", parts.description);
    read("AXHelp", parts.description);
    read("AXIdentifier", parts.identifiers);
    read("AXDOMIdentifier", parts.identifiers);
    parts.identifiers += accessibility.stringListAttribute(element, QStringLiteral("AXDOMClassList"));
    if (const auto labelElement = accessibility.elementAttribute(element, QStringLiteral("AXTitleUIElement")))
        if (const auto text = accessibility.stringAttribute(*labelElement, QStringLiteral("AXValue")))
            parts.labelElement.append(*text);
    return parts;
}

QString FieldLabelParts::joined() const
{
    return (placeholder + title + description + identifiers + labelElement).join(QLatin1Char(' '));
}

QString FieldLabelParts::asking() const
{
    return (placeholder + title + labelElement).join(QLatin1Char(' '));
}

QString FieldLabelParts::forPeople() const
{
    return (placeholder + title + description + labelElement).join(QLatin1Char(' '));
}

QString fieldLabel(Accessibility& accessibility, const Element& element)
{
    return fieldLabelParts(accessibility, element).joined();
}

QString nearbyText(Accessibility& accessibility, const Element& element, int levels, int budget)
{
    // Climb, but never into the page's root: above it lies the browser's own interface.
    Element start = element;
    std::optional<Element> pageRoot;
    for (int level = 0; level < levels; ++level) {
        const std::optional<Element> parent =
            accessibility.elementAttribute(start, QStringLiteral("AXParent"));
        if (!parent)
            continue;
        if (accessibility.stringAttribute(*parent, QStringLiteral("AXRole")) == QLatin1String("AXWebArea"))
            pageRoot = parent;
        else
            start = *parent;
    }

    QStringList texts;
    const auto readText = [&](const Element& visited) {
        const std::optional<QString> role = accessibility.stringAttribute(visited, QStringLiteral("AXRole"));
        if (role == QLatin1String("AXStaticText") || role == QLatin1String("AXHeading"))
            if (const auto text = visibleText(accessibility, visited))
                texts.append(*text);
    };
    // A form written straight into the page has its prompt beside it, not inside: the headings and
    // texts just before it on the page are read too.
    if (pageRoot) {
        const QList<Element> topLevel = accessibility.children(*pageRoot);
        const qsizetype at = topLevel.indexOf(start);
        for (qsizetype i = std::max<qsizetype>(0, at - codeFieldBudget::promptSiblings); i < at; ++i)
            walkBreadthFirst(accessibility, topLevel.at(i), codeFieldBudget::promptSiblingBudget,
                             [&](const Element& visited) {
                                 readText(visited);
                                 return WalkStep::goOn;
                             });
    }
    walkBreadthFirst(accessibility, start, budget, [&](const Element& visited) {
        readText(visited);
        return WalkStep::goOn;
    });
    return texts.join(QLatin1Char(' '));
}

std::optional<QString> pageHost(Accessibility& accessibility, const Element& element)
{
    std::optional<Element> current = element;
    int frames = 0;
    for (int step = 0; step < codeFieldBudget::pageHostSteps && current; ++step) {
        if (accessibility.stringAttribute(*current, QStringLiteral("AXRole")) == QLatin1String("AXWebArea")) {
            if (auto host = urlHost(
                    accessibility.stringAttribute(*current, QStringLiteral("AXURL")).value_or(QString())))
                return host;
            if (++frames >= codeFieldBudget::pageHostFrames)
                return std::nullopt;
        }
        if (step + 1 < codeFieldBudget::pageHostSteps)
            current = accessibility.elementAttribute(*current, QStringLiteral("AXParent"));
    }
    return std::nullopt;
}

} // namespace tessary
