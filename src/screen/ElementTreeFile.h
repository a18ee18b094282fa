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
// "AXParent" and "AXChildren" follow the nesting; a child written as {"ref": id}, or an "AXParent"
// attribute, links to another node and may close a cycle, as broken real trees do. Every attribute
// read is counted, so a test or benchmark sees how many platform calls an operation costs.
class ElementTreeFile : public Accessibility {
public:
    // Frames are screen pixels from the top-left corner in a file that says "frameOrigin":
    // "top-left", as dumps now do; older files measured them from the bottom up.
    static const QString frameOriginKey;
    static const QString topLeftOrigin;

    static Expected<std::unique_ptr<ElementTreeFile>, QString> fromJson(const QJsonObject& file);
    static Expected<std::unique_ptr<ElementTreeFile>, QString> fromFile(const QString& path);

    std::optional<QString> stringAttribute(const Element& element, const QString& attribute) override;
    QStringList stringListAttribute(const Element& element, const QString& attribute) override;
    std::optional<Element> elementAttribute(const Element& element, const QString& attribute) override;
    QList<Element> children(const Element& element) override;
    std::optional<Rect> screenFrame(const Element& element) override;
    bool framePending(const Element&) override { return false; }
    quint64 documentLoads() override { return loads; }

    std::optional<Element> focusedElement() override;
    std::optional<RunningApplication> frontmostApplication() override;
    std::optional<Element> applicationElement(qint64 pid) override;
    qint64 processId(const Element& element) override;
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
    void setAttribute(const Element& element, const QString& attribute, const QJsonValue& value);

    // Attribute reads ("AXRole", "AXChildren", "frame" for a screen frame) since the last reset.
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

    struct Node {
        QString id;
        QJsonObject attributes;
        std::optional<Rect> frame;
        qint64 pid = 0;
        int parent = -1;
        QList<int> children;
        QList<Element> childElements; // built once, so a 10,000-child list costs no rebuild per read
        Element handle;
    };
    class Loader;

    int indexOf(const Element& element) const;
    const Node* node(const Element& element) const;
    std::optional<Element> handleAt(int index) const;
    void count(const QString& attribute);

    std::vector<Node> m_nodes;
    QHash<QString, int> m_ids;
    int m_focus = -1;
    int m_window = -1;
    int m_reads = 0;
    int m_focusQueries = 0;
    QHash<QString, int> m_readsByAttribute;
};

} // namespace tessary
