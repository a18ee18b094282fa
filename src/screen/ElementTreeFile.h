#pragma once

#include "common/Expected.h"
#include "screen/Accessibility.h"

#include <QHash>
#include <QJsonObject>
#include <QJsonValue>

#include <memory>
#include <vector>

namespace tessary {

// Accessibility over an element tree read from JSON (the format of README "Element trees"):
// `{"app": {"pid", "bundleId", "appPath"}, "frameOrigin": "top-left", "root": node}`, a node being
// `{"id", "pid", "attributes": {name: text | [texts] | {"ref": id}}, "frame": [x, y, w, h],
//   "focused": true, "window": true, "children": [node | {"ref": id}]}`.
// The attributes' names (ElementTreeFileNames) are turned into typed values once, as the file is
// read. The parent and children follow the nesting; a child written as {"ref": id}, or a parent
// attribute, links to another node and may close a cycle, as broken real trees do. Every read is
// counted under the name of the attribute it reads, so a test or benchmark sees how many platform
// calls an operation costs.
class ElementTreeFile : public Accessibility {
public:
    // Frames are screen pixels from the top-left corner in a file that says "frameOrigin":
    // "top-left", as dumps now do; older files measured them from the bottom up.
    static const QString frameOriginKey;
    static const QString topLeftOrigin;

    static Expected<std::unique_ptr<ElementTreeFile>, QString> fromJson(const QJsonObject& file);
    static Expected<std::unique_ptr<ElementTreeFile>, QString> fromFile(const QString& path);

    Role role(const Element& element) override;
    QString inputType(const Element& element) override;
    std::optional<QString> name(const Element& element) override;
    std::optional<QString> description(const Element& element) override;
    std::optional<QString> helpText(const Element& element) override;
    std::optional<QString> placeholder(const Element& element) override;
    std::optional<QString> accessibleId(const Element& element) override;
    std::optional<QString> domId(const Element& element) override;
    QStringList domClasses(const Element& element) override;
    std::optional<QString> text(const Element& element) override;
    std::optional<QString> documentUrl(const Element& element) override;
    std::optional<Element> labelledBy(const Element& element) override;
    std::optional<Element> parent(const Element& element) override;
    QList<Element> children(const Element& element) override;
    std::optional<Rect> screenFrame(const Element& element) override;
    bool framePending(const Element&) override { return false; }
    qint64 processId(const Element& element) override;

    std::optional<Element> focusedElement() override;
    std::optional<RunningApplication> frontmostApplication() override;
    std::optional<Element> applicationElement(qint64 pid) override;
    std::optional<Element> focusedWindow(const Element& application) override;
    quint64 documentLoads() override { return loads; }
    void setFocused(const Element& element) override;

    void prepareAccessibility(const RunningApplication& application) override;
    bool isTrusted() override { return trusted; }
    void checkTrusted(std::function<void(bool)> answer) override;

    // The tree and its marked elements.
    Element root() const;
    std::optional<Element> element(const QString& id) const;
    std::optional<Element> focus() const;
    std::optional<Element> window() const;
    void setFocus(std::optional<Element> element) { m_focus = element ? indexOf(*element) : -1; }
    // Sets an attribute as a file writes it ("AXRole": "AXTextField"; a reference as {"ref": id}).
    void setAttribute(const Element& element, const QString& attribute, const QJsonValue& value);

    // Reads since the last reset, by the file's attribute name ("AXRole", "AXChildren", "frame").
    int reads() const { return m_reads; }
    int readsOf(const QString& attribute) const { return m_readsByAttribute.value(attribute); }
    int focusQueries() const { return m_focusQueries; }
    void resetReads();

    // The outside world, open for tests to set and inspect.
    std::optional<RunningApplication> application; // the frontmost one; none = nothing in front
    bool trusted = true;
    // False: checks wait in `pendingTrustChecks`, like a service that hangs, until the test answers.
    bool trustAnswers = true;
    QList<std::function<void(bool)>> pendingTrustChecks;
    quint64 loads = 0;                  // pages that finished loading
    QList<Element> focusRequests;       // every setFocused, in order
    QList<RunningApplication> prepared; // every prepareAccessibility, in order

private:
    void flipFrames();

    // A node's attributes as typed values.
    struct Attributes {
        QString roleName; // as written, kept until the subrole that completes it is read too
        QString subroleName;
        Role role = Role::invalid;
        QString inputType;
        std::optional<QString> name;
        std::optional<QString> description;
        std::optional<QString> help;
        std::optional<QString> placeholder;
        std::optional<QString> accessibleId;
        std::optional<QString> domId;
        QStringList domClasses;
        std::optional<QString> text;
        std::optional<QString> url;
        int labelledBy = -1;
        int parent = -1; // a parent other than the nesting's; -1 = the nesting's
    };
    struct Node {
        QString id;
        Attributes attributes;
        std::optional<Rect> frame;
        qint64 pid = 0;
        int parent = -1;
        QList<int> children;
        QList<Element> childElements; // built once, so a 10,000-child list costs no rebuild per read
        Element handle;
    };
    class Loader;

    // Sets one attribute of the file; a reference must name a node already known.
    void apply(Attributes& attributes, const QString& name, const QJsonValue& value);
    int indexOf(const Element& element) const;
    const Node* node(const Element& element) const;
    // The node's attributes, the read counted under `attribute`.
    const Attributes* read(const Element& element, const QString& attribute);
    std::optional<Element> handleAt(int index) const;

    std::vector<Node> m_nodes;
    QHash<QString, int> m_ids;
    int m_focus = -1;
    int m_window = -1;
    int m_reads = 0;
    int m_focusQueries = 0;
    QHash<QString, int> m_readsByAttribute;
};

} // namespace tessary
