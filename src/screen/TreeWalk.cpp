#include "screen/TreeWalk.h"

#include <QUrl>

#include <deque>

namespace tessary {

void walkBreadthFirst(ElementTree& tree, const Element& root, int budget,
                      const std::function<WalkStep(const Element&)>& visit)
{
    walkBreadthFirstMarked(tree, root, budget, [&](const Element& element, bool) {
        return MarkedStep{visit(element), false};
    });
}

void walkBreadthFirstMarked(ElementTree& tree, const Element& root, int budget,
                            const std::function<MarkedStep(const Element&, bool mark)>& visit)
{
    if (budget <= 0)
        return;
    std::deque<std::pair<Element, bool>> queue{{root, false}};
    for (int visited = 0; visited < budget && !queue.empty(); ++visited) {
        const auto [element, inherited] = queue.front();
        queue.pop_front();
        const MarkedStep step = visit(element, inherited);
        if (step.step == WalkStep::stop)
            return;
        if (visited + 1 >= budget)
            return; // the last visit: its children would never be read
        const qsizetype room = qsizetype(budget - visited - 1) - qsizetype(queue.size());
        if (room <= 0)
            continue; // the queue already holds every element still to be visited
        const QList<Element> children = tree.children(element);
        for (qsizetype i = 0; i < children.size() && i < room; ++i)
            queue.emplace_back(children.at(i), step.mark);
    }
}

std::optional<QString> visibleText(ElementTree& tree, const Element& element)
{
    if (auto text = tree.text(element))
        return text;
    return tree.name(element);
}

std::optional<QString> urlHost(const QString& url)
{
    const QUrl parsed(url, QUrl::StrictMode);
    if (!parsed.isValid() || parsed.host().isEmpty())
        return std::nullopt;
    return parsed.host();
}

} // namespace tessary
