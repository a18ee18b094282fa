#include "screen/ElementTreeDump.h"

#include "screen/ElementTreeFile.h"

#include <QHash>
#include <QJsonArray>

#include <vector>

namespace tessary {

namespace {
const QStringList textAttributes = {
    QStringLiteral("AXRole"),  QStringLiteral("AXSubrole"),          QStringLiteral("AXValue"),
    QStringLiteral("AXTitle"), QStringLiteral("AXPlaceholderValue"), QStringLiteral("AXDescription"),
    QStringLiteral("AXHelp"),  QStringLiteral("AXIdentifier"),       QStringLiteral("AXDOMIdentifier"),
    QStringLiteral("AXURL"),
};

class Dumper {
public:
    Dumper(Accessibility& accessibility, const DumpLimits& limits)
        : m_accessibility(accessibility)
        , m_limits(limits)
    {
    }

    QJsonObject dump(const Element& root, qint64 appPid)
    {
        if (auto focused = m_accessibility.focusedElement())
            m_focused = focused->identity();
        if (appPid > 0)
            if (auto application = m_accessibility.applicationElement(appPid))
                if (auto window =
                        m_accessibility.elementAttribute(*application, QStringLiteral("AXFocusedWindow")))
                    m_window = window->identity();
        visit(root, 0, 0);
        resolveReferences();
        return rebuild(0);
    }

    bool truncated() const { return m_truncated; }

private:
    struct Pending {
        QJsonObject node;
        QString titleTarget; // identity of the "AXTitleUIElement", resolved once all nodes are known
        std::vector<int> children;
    };

    void visit(const Element& element, int depth, qint64 parentPid)
    {
        const int index = int(m_nodes.size());
        m_nodes.push_back({});
        m_indexByIdentity.insert(element.identity(), index);
        QJsonObject node;
        QJsonObject attributes;
        for (const QString& name : textAttributes)
            if (auto value = m_accessibility.stringAttribute(element, name))
                attributes.insert(name, *value);
        const QStringList classes =
            m_accessibility.stringListAttribute(element, QStringLiteral("AXDOMClassList"));
        if (!classes.isEmpty())
            attributes.insert(QStringLiteral("AXDOMClassList"), QJsonArray::fromStringList(classes));
        if (auto title = m_accessibility.elementAttribute(element, QStringLiteral("AXTitleUIElement")))
            m_nodes[size_t(index)].titleTarget = title->identity();
        node.insert(QStringLiteral("attributes"), attributes);
        if (auto frame = m_accessibility.screenFrame(element))
            node.insert(QStringLiteral("frame"), QJsonArray{frame->x, frame->y, frame->width, frame->height});
        const qint64 pid = m_accessibility.processId(element);
        if (pid != parentPid && pid > 0)
            node.insert(QStringLiteral("pid"), pid);
        if (!m_focused.isEmpty() && element.identity() == m_focused)
            node.insert(QStringLiteral("focused"), true);
        if (!m_window.isEmpty() && element.identity() == m_window)
            node.insert(QStringLiteral("window"), true);
        m_nodes[size_t(index)].node = node;

        if (depth >= m_limits.maxDepth) {
            m_truncated = true;
            return;
        }
        for (const Element& child : m_accessibility.children(element)) {
            if (int(m_nodes.size()) >= m_limits.maxNodes) {
                m_truncated = true;
                break;
            }
            if (m_indexByIdentity.contains(child.identity()))
                continue; // a broken tree that loops back: each element is written once
            const int childIndex = int(m_nodes.size());
            visit(child, depth + 1, pid);
            m_nodes[size_t(index)].children.push_back(childIndex);
        }
    }

    void resolveReferences()
    {
        for (Pending& pending : m_nodes) {
            if (pending.titleTarget.isEmpty())
                continue;
            const auto target = m_indexByIdentity.constFind(pending.titleTarget);
            if (target == m_indexByIdentity.cend())
                continue; // outside the dumped part of the tree
            const QString id = QStringLiteral("n%1").arg(target.value());
            m_nodes[size_t(target.value())].node.insert(QStringLiteral("id"), id);
            QJsonObject attributes = pending.node.value(QStringLiteral("attributes")).toObject();
            attributes.insert(QStringLiteral("AXTitleUIElement"), QJsonObject{{QStringLiteral("ref"), id}});
            pending.node.insert(QStringLiteral("attributes"), attributes);
        }
    }

    QJsonObject rebuild(int index) const
    {
        QJsonObject node = m_nodes[size_t(index)].node;
        QJsonArray children;
        for (int child : m_nodes[size_t(index)].children)
            children.append(rebuild(child));
        if (!children.isEmpty())
            node.insert(QStringLiteral("children"), children);
        return node;
    }

    Accessibility& m_accessibility;
    DumpLimits m_limits;
    QString m_focused;
    QString m_window;
    std::vector<Pending> m_nodes;
    QHash<QString, int> m_indexByIdentity;
    bool m_truncated = false;
};
} // namespace

QJsonObject dumpTree(Accessibility& accessibility, const Element& root,
                     const std::optional<RunningApplication>& app, const DumpLimits& limits)
{
    Dumper dumper(accessibility, limits);
    const QJsonObject rootNode = dumper.dump(root, app ? app->pid : 0);
    QJsonObject file;
    QJsonObject appObject;
    if (app) {
        appObject.insert(QStringLiteral("pid"), app->pid);
        appObject.insert(QStringLiteral("bundleId"), app->bundleIdentifier);
        appObject.insert(QStringLiteral("appPath"), app->bundleURL);
    }
    file.insert(QStringLiteral("app"), appObject);
    file.insert(ElementTreeFile::frameOriginKey, ElementTreeFile::topLeftOrigin);
    file.insert(QStringLiteral("root"), rootNode);
    if (dumper.truncated())
        file.insert(QStringLiteral("truncated"), true);
    return file;
}

} // namespace tessary
