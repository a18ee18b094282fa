#include "screen/ElementTreeFile.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>

#include <algorithm>

namespace tessary {

namespace {

// What an Element made by the fake carries: which fake made it and which node it stands for.
struct FakeHandle {
    const void* owner;
    int index;
};

bool isRef(const QJsonValue& value)
{
    return value.isObject() && value.toObject().size() == 1 && value.toObject().value("ref").isString();
}

} // namespace

const QString ElementTreeFile::frameOriginKey = QStringLiteral("frameOrigin");
const QString ElementTreeFile::topLeftOrigin = QStringLiteral("top-left");

// Files written before frames were kept top-left measure y upward from the bottom of a screen whose
// height they do not record. Turned about the lowest bottom edge in the file, every frame keeps its
// size and its place relative to the others, which is all detection and the chip's anchor use.
void ElementTreeFile::flipFrames()
{
    int bottom = 0;
    for (const Node& node : m_nodes)
        if (node.frame)
            bottom = std::max(bottom, node.frame->y + node.frame->height);
    for (Node& node : m_nodes)
        if (node.frame)
            node.frame->y = bottom - node.frame->y - node.frame->height;
}

// Reads the JSON nodes in pre-order into the flat node list, then resolves the references.
class ElementTreeFile::Loader {
public:
    explicit Loader(ElementTreeFile& fake)
        : m_fake(fake)
    {
    }

    QString load(const QJsonValue& value, const QString& path, int parent, qint64 pid)
    {
        if (!value.isObject())
            return path + ": a node must be an object";
        const QJsonObject object = value.toObject();
        const int index = int(m_fake.m_nodes.size());
        m_fake.m_nodes.push_back(Node{});
        Node node;
        node.parent = parent;
        node.pid = object.contains("pid") ? object.value("pid").toInteger() : pid;
        if (object.contains("pid") && !object.value("pid").isDouble())
            return path + ".pid: must be an integer";
        if (object.contains("id")) {
            node.id = object.value("id").toString();
            if (node.id.isEmpty())
                return path + ".id: must be a non-empty string";
            if (m_fake.m_ids.contains(node.id))
                return path + ".id: \"" + node.id + "\" is used twice";
            m_fake.m_ids.insert(node.id, index);
        }
        if (object.contains("attributes") && !object.value("attributes").isObject())
            return path + ".attributes: must be an object";
        node.attributes = object.value("attributes").toObject();
        for (auto it = node.attributes.begin(); it != node.attributes.end(); ++it)
            if (isRef(it.value()))
                m_refs.append(
                    {path + ".attributes." + it.key(), it.value().toObject().value("ref").toString()});
        if (object.contains("frame")) {
            const QJsonArray frame = object.value("frame").toArray();
            if (frame.size() != 4 ||
                !std::all_of(frame.begin(), frame.end(), [](auto v) { return v.isDouble(); }))
                return path + ".frame: must be [x, y, width, height]";
            node.frame = Rect{frame[0].toInt(), frame[1].toInt(), frame[2].toInt(), frame[3].toInt()};
        }
        if (object.value("focused").toBool())
            m_fake.m_focus = index;
        if (object.value("window").toBool())
            m_fake.m_window = index;
        if (object.contains("children") && !object.value("children").isArray())
            return path + ".children: must be a list of nodes";
        m_fake.m_nodes[size_t(index)] = node;

        const QJsonArray children = object.value("children").toArray();
        for (qsizetype i = 0; i < children.size(); ++i) {
            const QString childPath = QStringLiteral("%1.children[%2]").arg(path).arg(i);
            if (isRef(children[i])) {
                m_childRefs.append({index, children[i].toObject().value("ref").toString(), childPath});
                continue;
            }
            const int childIndex = int(m_fake.m_nodes.size());
            if (QString error = load(children[i], childPath, index, node.pid); !error.isEmpty())
                return error;
            m_fake.m_nodes[size_t(index)].children.append(childIndex);
        }
        return {};
    }

    // Child references keep their place after the nested children: enough for the cycles tests build.
    QString resolve()
    {
        for (const auto& [where, id] : m_refs)
            if (!m_fake.m_ids.contains(id))
                return where + ": no node has id \"" + id + "\"";
        for (const ChildRef& ref : m_childRefs) {
            if (!m_fake.m_ids.contains(ref.id))
                return ref.path + ": no node has id \"" + ref.id + "\"";
            m_fake.m_nodes[size_t(ref.parent)].children.append(m_fake.m_ids.value(ref.id));
        }
        return {};
    }

private:
    struct ChildRef {
        int parent;
        QString id;
        QString path;
    };
    ElementTreeFile& m_fake;
    QList<std::pair<QString, QString>> m_refs;
    QList<ChildRef> m_childRefs;
};

Expected<std::unique_ptr<ElementTreeFile>, QString> ElementTreeFile::fromJson(const QJsonObject& file)
{
    auto fake = std::make_unique<ElementTreeFile>();
    if (file.contains("app")) {
        const QJsonObject app = file.value("app").toObject();
        if (!file.value("app").isObject() || !app.value("pid").isDouble())
            return Unexpected{QStringLiteral("app: must be {\"pid\", \"bundleId\", \"appPath\"}")};
        fake->application = RunningApplication{app.value("pid").toInteger(), app.value("bundleId").toString(),
                                               app.value("appPath").toString()};
    }
    if (!file.value("root").isObject())
        return Unexpected{
            QStringLiteral("root: missing or not a node (the file is {\"app\": ..., \"root\": node})")};
    Loader loader(*fake);
    const qint64 pid = fake->application ? fake->application->pid : 0;
    if (QString error = loader.load(file.value("root"), "root", -1, pid); !error.isEmpty())
        return Unexpected{error};
    if (QString error = loader.resolve(); !error.isEmpty())
        return Unexpected{error};
    if (file.value(frameOriginKey).toString() != topLeftOrigin)
        fake->flipFrames();

    for (size_t i = 0; i < fake->m_nodes.size(); ++i) {
        auto handle = std::make_shared<const FakeHandle>(FakeHandle{fake.get(), int(i)});
        fake->m_nodes[i].handle = Element(handle, QStringLiteral("fake:%1").arg(i));
    }
    for (Node& node : fake->m_nodes)
        for (int child : node.children)
            node.childElements.append(fake->m_nodes[size_t(child)].handle);
    return fake;
}

Expected<std::unique_ptr<ElementTreeFile>, QString> ElementTreeFile::fromFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Unexpected{QStringLiteral("%1: cannot read: %2").arg(path, file.errorString())};
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &parseError);
    if (parseError.error != QJsonParseError::NoError)
        return Unexpected{QStringLiteral("%1: invalid JSON at byte %2: %3")
                              .arg(path)
                              .arg(parseError.offset)
                              .arg(parseError.errorString())};
    if (!document.isObject())
        return Unexpected{path + QStringLiteral(": an element tree must be a JSON object")};
    auto fake = fromJson(document.object());
    if (!fake)
        return Unexpected{path + ": " + fake.error()};
    return fake;
}

int ElementTreeFile::indexOf(const Element& element) const
{
    const FakeHandle* handle = element.as<FakeHandle>();
    return handle && handle->owner == this ? handle->index : -1;
}

const ElementTreeFile::Node* ElementTreeFile::node(const Element& element) const
{
    const int index = indexOf(element);
    return index < 0 ? nullptr : &m_nodes[size_t(index)];
}

std::optional<Element> ElementTreeFile::handleAt(int index) const
{
    if (index < 0 || size_t(index) >= m_nodes.size())
        return std::nullopt;
    return m_nodes[size_t(index)].handle;
}

void ElementTreeFile::count(const QString& attribute)
{
    ++m_reads;
    ++m_readsByAttribute[attribute];
}

void ElementTreeFile::resetReads()
{
    m_reads = 0;
    m_focusQueries = 0;
    m_readsByAttribute.clear();
}

std::optional<QString> ElementTreeFile::stringAttribute(const Element& element, const QString& attribute)
{
    count(attribute);
    const Node* found = node(element);
    if (!found || !found->attributes.value(attribute).isString())
        return std::nullopt;
    return found->attributes.value(attribute).toString();
}

QStringList ElementTreeFile::stringListAttribute(const Element& element, const QString& attribute)
{
    count(attribute);
    const Node* found = node(element);
    if (!found || !found->attributes.value(attribute).isArray())
        return {};
    QStringList texts;
    for (const QJsonValue& entry : found->attributes.value(attribute).toArray()) {
        if (!entry.isString())
            return {};
        texts.append(entry.toString());
    }
    return texts;
}

std::optional<Element> ElementTreeFile::elementAttribute(const Element& element, const QString& attribute)
{
    count(attribute);
    const Node* found = node(element);
    if (!found)
        return std::nullopt;
    const QJsonValue value = found->attributes.value(attribute);
    if (isRef(value))
        return handleAt(m_ids.value(value.toObject().value("ref").toString(), -1));
    if (attribute == QLatin1String("AXParent"))
        return handleAt(found->parent);
    if (attribute == QLatin1String("AXFocusedUIElement"))
        return handleAt(m_focus);
    if (attribute == QLatin1String("AXFocusedWindow"))
        return handleAt(m_window);
    return std::nullopt;
}

QList<Element> ElementTreeFile::children(const Element& element)
{
    count(QStringLiteral("AXChildren"));
    const Node* found = node(element);
    return found ? found->childElements : QList<Element>{};
}

std::optional<Rect> ElementTreeFile::screenFrame(const Element& element)
{
    count(QStringLiteral("frame"));
    const Node* found = node(element);
    return found ? found->frame : std::nullopt;
}

std::optional<Element> ElementTreeFile::focusedElement()
{
    ++m_focusQueries;
    if (!application)
        return std::nullopt;
    return handleAt(m_focus);
}

std::optional<RunningApplication> ElementTreeFile::frontmostApplication()
{
    return application;
}

std::optional<Element> ElementTreeFile::applicationElement(qint64 pid)
{
    // The topmost node of the process: the one whose parent belongs to another process, or none.
    for (size_t i = 0; i < m_nodes.size(); ++i) {
        const Node& candidate = m_nodes[i];
        if (candidate.pid == pid && (candidate.parent < 0 || m_nodes[size_t(candidate.parent)].pid != pid))
            return candidate.handle;
    }
    return std::nullopt;
}

qint64 ElementTreeFile::processId(const Element& element)
{
    const Node* found = node(element);
    return found ? found->pid : 0;
}

void ElementTreeFile::setFocused(const Element& element)
{
    focusRequests.append(element);
    if (indexOf(element) >= 0)
        m_focus = indexOf(element);
}

void ElementTreeFile::checkTrusted(std::function<void(bool)> answer)
{
    if (trustAnswers)
        answer(trusted);
    else
        pendingTrustChecks.append(std::move(answer));
}

void ElementTreeFile::prepareAccessibility(const RunningApplication& runningApplication)
{
    prepared.append(runningApplication);
}

Element ElementTreeFile::root() const
{
    return m_nodes.front().handle;
}

std::optional<Element> ElementTreeFile::element(const QString& id) const
{
    return handleAt(m_ids.value(id, -1));
}

std::optional<Element> ElementTreeFile::focus() const
{
    return handleAt(m_focus);
}

std::optional<Element> ElementTreeFile::window() const
{
    return handleAt(m_window);
}

void ElementTreeFile::setAttribute(const Element& element, const QString& attribute, const QJsonValue& value)
{
    const int index = indexOf(element);
    if (index >= 0)
        m_nodes[size_t(index)].attributes.insert(attribute, value);
}

} // namespace tessary
