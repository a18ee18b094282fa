#include "screen/ElementTreeDump.h"

#include "screen/ElementTreeFile.h"
#include "screen/ElementTreeFileNames.h"

#include <QHash>
#include <QJsonArray>

#include <vector>

namespace tessary {

namespace {

void insertText(QJsonObject& attributes, const QString& name, const std::optional<QString>& text)
{
    if (text)
        attributes.insert(name, *text);
}

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
                if (auto window = m_accessibility.focusedWindow(*application))
                    m_window = window->identity();
        visit(root, 0, 0);
        resolveReferences();
        return rebuild(0);
    }

    bool truncated() const { return m_truncated; }

private:
    struct Pending {
        QJsonObject node;
        QString titleTarget; // identity of the element that labels it, resolved once all nodes are known
        std::vector<int> children;
    };

    void visit(const Element& element, int depth, qint64 parentPid)
    {
        const int index = int(m_nodes.size());
        m_nodes.push_back({});
        m_indexByIdentity.insert(element.identity(), index);
        QJsonObject node;
        const QJsonObject attributes = attributesOf(element);
        if (auto title = m_accessibility.labelledBy(element))
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

    // The typed reads under the file's names, in the order dumps have always listed them.
    QJsonObject attributesOf(const Element& element)
    {
        using namespace treefile;
        QJsonObject attributes;
        const Role readRole = m_accessibility.role(element);
        if (readRole != Role::invalid)
            attributes.insert(roleKey, nameOf(readRole));
        const QString readInputType =
            readRole == Role::entry ? m_accessibility.inputType(element) : QString();
        const QString readSubrole = readRole == Role::entry || readRole == Role::passwordText
                                        ? subroleOf(readRole, readInputType)
                                        : QString();
        if (!readSubrole.isEmpty())
            attributes.insert(subroleKey, readSubrole);
        else if (!readInputType.isEmpty())
            attributes.insert(inputTypeKey, readInputType); // a search field's is its subrole
        insertText(attributes, valueKey, m_accessibility.text(element));
        insertText(attributes, titleKey, m_accessibility.name(element));
        insertText(attributes, placeholderKey, m_accessibility.placeholder(element));
        insertText(attributes, descriptionKey, m_accessibility.description(element));
        insertText(attributes, helpKey, m_accessibility.helpText(element));
        insertText(attributes, identifierKey, m_accessibility.accessibleId(element));
        insertText(attributes, domIdentifierKey, m_accessibility.domId(element));
        insertText(attributes, urlKey, m_accessibility.documentUrl(element));
        const QStringList classes = m_accessibility.domClasses(element);
        if (!classes.isEmpty())
            attributes.insert(domClassesKey, QJsonArray::fromStringList(classes));
        return attributes;
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
            attributes.insert(treefile::titleElementKey, QJsonObject{{QStringLiteral("ref"), id}});
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
        appObject.insert(QStringLiteral("bundleId"), app->appId);
        appObject.insert(QStringLiteral("appPath"), app->appPath);
    }
    file.insert(QStringLiteral("app"), appObject);
    file.insert(ElementTreeFile::frameOriginKey, ElementTreeFile::topLeftOrigin);
    file.insert(QStringLiteral("root"), rootNode);
    if (dumper.truncated())
        file.insert(QStringLiteral("truncated"), true);
    return file;
}

} // namespace tessary
