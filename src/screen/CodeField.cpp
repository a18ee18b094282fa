#include "screen/CodeField.h"

#include "screen/FieldClassification.h"
#include "screen/TreeWalk.h"

namespace tessary {

std::optional<CodeField> CodeField::detect(ElementTree& tree, const Element& element)
{
    const FieldVerdict verdict = classifyField(tree, element);
    if (!verdict.accepted)
        return std::nullopt;
    return CodeField{element, pageHost(tree, element), verdict.frame};
}

FieldLabelParts fieldLabelParts(ElementTree& tree, const Element& element)
{
    FieldLabelParts parts;
    const auto add = [](const std::optional<QString>& text, QStringList& into) {
        if (text)
            into.append(*text);
    };
    add(tree.placeholder(element), parts.placeholder);
    add(tree.name(element), parts.title);
    add(tree.description(element), parts.description);
    add(tree.helpText(element), parts.description);
    add(tree.accessibleId(element), parts.identifiers);
    add(tree.domId(element), parts.identifiers);
    parts.identifiers += tree.domClasses(element);
    if (const auto labelElement = tree.labelledBy(element))
        add(tree.text(*labelElement), parts.labelElement);
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

QString fieldLabel(ElementTree& tree, const Element& element)
{
    return fieldLabelParts(tree, element).joined();
}

QString nearbyText(ElementTree& tree, const Element& element, int levels, int budget)
{
    // Climb, but never into the page's root: above it lies the browser's own interface.
    Element start = element;
    std::optional<Element> pageRoot;
    for (int level = 0; level < levels; ++level) {
        const std::optional<Element> parent = tree.parent(start);
        if (!parent)
            continue;
        if (tree.role(*parent) == Role::documentWeb)
            pageRoot = parent;
        else
            start = *parent;
    }

    QStringList texts;
    const auto readText = [&](const Element& visited) {
        const Role role = tree.role(visited);
        if (role == Role::staticText || role == Role::heading)
            if (const auto text = visibleText(tree, visited))
                texts.append(*text);
    };
    // A form written straight into the page has its prompt beside it, not inside: the headings and
    // texts just before it on the page are read too.
    if (pageRoot) {
        const QList<Element> topLevel = tree.children(*pageRoot);
        const qsizetype at = topLevel.indexOf(start);
        for (qsizetype i = std::max<qsizetype>(0, at - codeFieldBudget::promptSiblings); i < at; ++i)
            walkBreadthFirst(tree, topLevel.at(i), codeFieldBudget::promptSiblingBudget,
                             [&](const Element& visited) {
                                 readText(visited);
                                 return WalkStep::goOn;
                             });
    }
    walkBreadthFirst(tree, start, budget, [&](const Element& visited) {
        readText(visited);
        return WalkStep::goOn;
    });
    return texts.join(QLatin1Char(' '));
}

std::optional<QString> pageHost(ElementTree& tree, const Element& element)
{
    std::optional<Element> current = element;
    int frames = 0;
    for (int step = 0; step < codeFieldBudget::pageHostSteps && current; ++step) {
        if (tree.role(*current) == Role::documentWeb) {
            if (auto host = urlHost(tree.documentUrl(*current).value_or(QString())))
                return host;
            if (++frames >= codeFieldBudget::pageHostFrames)
                return std::nullopt;
        }
        if (step + 1 < codeFieldBudget::pageHostSteps)
            current = tree.parent(*current);
    }
    return std::nullopt;
}

} // namespace tessary
