#include "screen/ElementTreeFile.h"

#include "screen/ElementTreeFileNames.h"

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

QString refOf(const QJsonValue& value)
{
    return value.toObject().value("ref").toString();
}

std::optional<QString> textOf(const QJsonValue& value)
{
    return value.isString() ? std::optional<QString>(value.toString()) : std::nullopt;
}

// A list of texts; empty when it is no list or holds anything else.
QStringList textsOf(const QJsonValue& value)
{
    QStringList texts;
    for (const QJsonValue& entry : value.toArray()) {
        if (!entry.isString())
            return {};
        texts.append(entry.toString());
    }
    return texts;
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

void ElementTreeFile::apply(Attributes& attributes, const QString& name, const QJsonValue& value)
{
    using namespace treefile;
    if (isRef(value)) {
        const int target = m_ids.value(refOf(value), -1);
        if (name == titleElementKey)
            attributes.labelledBy = target;
        else if (name == parentKey)
            attributes.parent = target;
        return;
    }
    if (name == roleKey || name == subroleKey) {
        (name == roleKey ? attributes.roleName : attributes.subroleName) = value.toString();
        attributes.role = roleOf(attributes.roleName, attributes.subroleName);
        if (name == subroleKey)
            attributes.inputType = attributes.subroleName == searchSubrole ? searchInputType : QString();
    } else if (name == inputTypeKey) {
        attributes.inputType = value.toString();
    } else if (name == treefile::valueKey) {
        attributes.text = textOf(value);
    } else if (name == titleKey) {
        attributes.name = textOf(value);
    } else if (name == treefile::descriptionKey) {
        attributes.description = textOf(value);
    } else if (name == helpKey) {
        attributes.help = textOf(value);
    } else if (name == treefile::placeholderKey) {
        attributes.placeholder = textOf(value);
    } else if (name == identifierKey) {
        attributes.accessibleId = textOf(value);
    } else if (name == domIdentifierKey) {
        attributes.domId = textOf(value);
    } else if (name == treefile::domClassesKey) {
        attributes.domClasses = textsOf(value);
    } else if (name == urlKey) {
        attributes.url = textOf(value);
    }
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
        const QJsonObject attributes = object.value("attributes").toObject();
        for (auto it = attributes.begin(); it != attributes.end(); ++it) {
            if (isRef(it.value()))
                m_refs.append({index, it.key(), it.value(), path + ".attributes." + it.key()});
            else
                m_fake.apply(node.attributes, it.key(), it.value());
        }
        if (object.contains("frame")) {
            const QJsonArray frame = object.value("frame").toArray();
            if (frame.size() != 4 ||
                !std::all_of(frame.begin(), frame.end(), [](auto v) { return v.isDouble(); }))
                return path + ".frame: must be [x, y, width, height]";
            // A frame in points (a scaled screen, a hand-written tree) may be fractional: each
            // number is taken to the nearest pixel.
            const auto pixel = [&frame](int i) { return qRound(frame[i].toDouble()); };
            node.frame = Rect{pixel(0), pixel(1), pixel(2), pixel(3)};
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
                m_childRefs.append({index, refOf(children[i]), childPath});
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
        for (const AttributeRef& ref : m_refs) {
            if (!m_fake.m_ids.contains(refOf(ref.value)))
                return ref.path + ": no node has id \"" + refOf(ref.value) + "\"";
            m_fake.apply(m_fake.m_nodes[size_t(ref.node)].attributes, ref.name, ref.value);
        }
        for (const ChildRef& ref : m_childRefs) {
            if (!m_fake.m_ids.contains(ref.id))
                return ref.path + ": no node has id \"" + ref.id + "\"";
            m_fake.m_nodes[size_t(ref.parent)].children.append(m_fake.m_ids.value(ref.id));
        }
        return {};
    }

private:
    struct AttributeRef {
        int node;
        QString name;
        QJsonValue value;
        QString path;
    };
    struct ChildRef {
        int parent;
        QString id;
        QString path;
    };
    ElementTreeFile& m_fake;
    QList<AttributeRef> m_refs;
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

const ElementTreeFile::Attributes* ElementTreeFile::read(const Element& element, const QString& attribute)
{
    ++m_reads;
    ++m_readsByAttribute[attribute];
    const Node* found = node(element);
    return found ? &found->attributes : nullptr;
}

void ElementTreeFile::resetReads()
{
    m_reads = 0;
    m_focusQueries = 0;
    m_readsByAttribute.clear();
}

Role ElementTreeFile::role(const Element& element)
{
    const Attributes* found = read(element, treefile::roleKey);
    return found ? found->role : Role::invalid;
}

QString ElementTreeFile::inputType(const Element& element)
{
    const Attributes* found = read(element, treefile::inputTypeKey);
    return found ? found->inputType : QString();
}

std::optional<QString> ElementTreeFile::name(const Element& element)
{
    const Attributes* found = read(element, treefile::titleKey);
    return found ? found->name : std::nullopt;
}

std::optional<QString> ElementTreeFile::description(const Element& element)
{
    const Attributes* found = read(element, treefile::descriptionKey);
    return found ? found->description : std::nullopt;
}

std::optional<QString> ElementTreeFile::helpText(const Element& element)
{
    const Attributes* found = read(element, treefile::helpKey);
    return found ? found->help : std::nullopt;
}

std::optional<QString> ElementTreeFile::placeholder(const Element& element)
{
    const Attributes* found = read(element, treefile::placeholderKey);
    return found ? found->placeholder : std::nullopt;
}

std::optional<QString> ElementTreeFile::accessibleId(const Element& element)
{
    const Attributes* found = read(element, treefile::identifierKey);
    return found ? found->accessibleId : std::nullopt;
}

std::optional<QString> ElementTreeFile::domId(const Element& element)
{
    const Attributes* found = read(element, treefile::domIdentifierKey);
    return found ? found->domId : std::nullopt;
}

QStringList ElementTreeFile::domClasses(const Element& element)
{
    const Attributes* found = read(element, treefile::domClassesKey);
    return found ? found->domClasses : QStringList();
}

std::optional<QString> ElementTreeFile::text(const Element& element)
{
    const Attributes* found = read(element, treefile::valueKey);
    return found ? found->text : std::nullopt;
}

std::optional<QString> ElementTreeFile::documentUrl(const Element& element)
{
    const Attributes* found = read(element, treefile::urlKey);
    return found ? found->url : std::nullopt;
}

std::optional<Element> ElementTreeFile::labelledBy(const Element& element)
{
    const Attributes* found = read(element, treefile::titleElementKey);
    return found ? handleAt(found->labelledBy) : std::nullopt;
}

std::optional<Element> ElementTreeFile::parent(const Element& element)
{
    const Attributes* found = read(element, treefile::parentKey);
    if (!found)
        return std::nullopt;
    return handleAt(found->parent >= 0 ? found->parent : node(element)->parent);
}

QList<Element> ElementTreeFile::children(const Element& element)
{
    read(element, treefile::childrenKey);
    const Node* found = node(element);
    return found ? found->childElements : QList<Element>{};
}

std::optional<Rect> ElementTreeFile::screenFrame(const Element& element)
{
    read(element, treefile::frameKey);
    const Node* found = node(element);
    return found ? found->frame : std::nullopt;
}

std::optional<Element> ElementTreeFile::focusedWindow(const Element& app)
{
    return read(app, treefile::focusedWindowKey) ? handleAt(m_window) : std::nullopt;
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
        apply(m_nodes[size_t(index)].attributes, attribute, value);
}

} // namespace tessary
