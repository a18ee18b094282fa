#include "platform/atspi/AtspiNode.h"

#include <atspi/atspi.h>

namespace tessary::atspi {

namespace {
// A GError out-parameter that frees what it caught.
class ErrorSlot {
public:
    GError** operator&() { return &m_error; }
    ~ErrorSlot() { GErrorFree()(m_error); }
    bool failed() const { return m_error != nullptr; }

private:
    GError* m_error = nullptr;
};

struct HashTableUnref {
    void operator()(GHashTable* table) const
    {
        if (table)
            g_hash_table_unref(table);
    }
};
struct ArrayUnref {
    void operator()(GArray* array) const
    {
        if (array)
            g_array_unref(array);
    }
};
} // namespace

int role(AtspiAccessible* node)
{
    ErrorSlot error;
    const AtspiRole value = atspi_accessible_get_role(node, &error);
    return error.failed() ? ATSPI_ROLE_INVALID : int(value);
}

bool hasState(AtspiAccessible* node, int state)
{
    GObjectPtr<AtspiStateSet> states(atspi_accessible_get_state_set(node));
    return states && atspi_state_set_contains(states.get(), AtspiStateType(state));
}

QString name(AtspiAccessible* node)
{
    ErrorSlot error;
    return takeString(atspi_accessible_get_name(node, &error));
}

QString description(AtspiAccessible* node)
{
    ErrorSlot error;
    return takeString(atspi_accessible_get_description(node, &error));
}

QString accessibleId(AtspiAccessible* node)
{
    ErrorSlot error;
    return takeString(atspi_accessible_get_accessible_id(node, &error));
}

QHash<QString, QString> objectAttributes(AtspiAccessible* node)
{
    ErrorSlot error;
    std::unique_ptr<GHashTable, HashTableUnref> table(atspi_accessible_get_attributes(node, &error));
    QHash<QString, QString> attributes;
    if (!table)
        return attributes;
    GHashTableIter iterator;
    gpointer key = nullptr;
    gpointer value = nullptr;
    g_hash_table_iter_init(&iterator, table.get());
    while (g_hash_table_iter_next(&iterator, &key, &value))
        attributes.insert(QString::fromUtf8(static_cast<const char*>(key)),
                          QString::fromUtf8(static_cast<const char*>(value)));
    return attributes;
}

NodeFacts facts(AtspiAccessible* node, const std::function<const QHash<QString, QString>&()>& attributes)
{
    NodeFacts result;
    result.role = role(node);
    if (statesMatter(result.role)) {
        GObjectPtr<AtspiStateSet> states(atspi_accessible_get_state_set(node));
        if (states) {
            result.multiLine = atspi_state_set_contains(states.get(), ATSPI_STATE_MULTI_LINE);
            result.editable = atspi_state_set_contains(states.get(), ATSPI_STATE_EDITABLE);
        }
    }
    if (attributesMatter(result.role)) {
        const QHash<QString, QString>& values = attributes();
        result.tag = values.value(QStringLiteral("tag"));
        result.inputType = values.value(QStringLiteral("text-input-type"));
    }
    return result;
}

std::optional<QString> text(AtspiAccessible* node)
{
    GObjectPtr<AtspiText> textInterface(atspi_accessible_get_text_iface(node));
    if (!textInterface)
        return std::nullopt;
    ErrorSlot error;
    GCharPtr value(atspi_text_get_text(textInterface.get(), 0, -1, &error));
    if (error.failed() || !value)
        return std::nullopt;
    return QString::fromUtf8(value.get());
}

std::optional<QString> documentUrl(AtspiAccessible* node, const QHash<QString, QString>& attributes)
{
    GObjectPtr<AtspiDocument> document(atspi_accessible_get_document_iface(node));
    if (document) {
        for (const char* key : {"DocURL", "URI"}) {
            ErrorSlot error;
            const QString value = takeString(
                atspi_document_get_document_attribute_value(document.get(), const_cast<gchar*>(key), &error));
            if (!value.isEmpty())
                return value;
        }
    }
    for (const char* key : {"DocURL", "URI", "url"}) {
        const QString value = attributes.value(QLatin1String(key));
        if (!value.isEmpty())
            return value;
    }
    return std::nullopt;
}

GObjectPtr<AtspiAccessible> parent(AtspiAccessible* node)
{
    ErrorSlot error;
    return GObjectPtr<AtspiAccessible>(atspi_accessible_get_parent(node, &error));
}

std::vector<GObjectPtr<AtspiAccessible>> children(AtspiAccessible* node)
{
    std::vector<GObjectPtr<AtspiAccessible>> result;
    ErrorSlot countError;
    const gint count = atspi_accessible_get_child_count(node, &countError);
    if (countError.failed())
        return result;
    for (gint i = 0; i < count; ++i) {
        ErrorSlot error;
        GObjectPtr<AtspiAccessible> child(atspi_accessible_get_child_at_index(node, i, &error));
        if (child)
            result.push_back(std::move(child));
        else if (error.failed())
            break; // the application went away or stopped answering: do not ask again per child
    }
    return result;
}

GObjectPtr<AtspiAccessible> activeWindow(AtspiAccessible* application)
{
    for (GObjectPtr<AtspiAccessible>& window : children(application))
        if (hasState(window.get(), ATSPI_STATE_ACTIVE))
            return std::move(window);
    return {};
}

GObjectPtr<AtspiAccessible> labelledBy(AtspiAccessible* node)
{
    ErrorSlot error;
    std::unique_ptr<GArray, ArrayUnref> relations(atspi_accessible_get_relation_set(node, &error));
    if (!relations)
        return {};
    GObjectPtr<AtspiAccessible> target;
    for (guint i = 0; i < relations->len; ++i) {
        AtspiRelation* relation = g_array_index(relations.get(), AtspiRelation*, i);
        if (!target && atspi_relation_get_relation_type(relation) == ATSPI_RELATION_LABELLED_BY &&
            atspi_relation_get_n_targets(relation) > 0)
            target.reset(atspi_relation_get_target(relation, 0));
        g_object_unref(relation);
    }
    return target;
}

std::optional<Extents> extents(AtspiAccessible* node, Coordinates coordinates)
{
    GObjectPtr<AtspiComponent> component(atspi_accessible_get_component_iface(node));
    if (!component)
        return std::nullopt;
    ErrorSlot error;
    std::unique_ptr<AtspiRect, GFree> rect(atspi_component_get_extents(
        component.get(),
        coordinates == Coordinates::window ? ATSPI_COORD_TYPE_WINDOW : ATSPI_COORD_TYPE_SCREEN, &error));
    if (error.failed() || !rect)
        return std::nullopt;
    return Extents{rect->x, rect->y, rect->width, rect->height};
}

GObjectPtr<AtspiAccessible> toplevelWindow(AtspiAccessible* node)
{
    GObjectPtr<AtspiAccessible> current(node ? static_cast<AtspiAccessible*>(g_object_ref(node)) : nullptr);
    // Parents come from libatspi's cache; the bound only guards against a loop in a broken tree.
    for (int depth = 0; current && depth < 256; ++depth) {
        GObjectPtr<AtspiAccessible> above = parent(current.get());
        if (!above)
            return {};
        if (role(above.get()) == ATSPI_ROLE_APPLICATION)
            return current;
        current = std::move(above);
    }
    return {};
}

qint64 processId(AtspiAccessible* node)
{
    ErrorSlot error;
    const guint pid = atspi_accessible_get_process_id(node, &error);
    return error.failed() ? 0 : qint64(pid);
}

GObjectPtr<AtspiAccessible> firstDescendantInState(AtspiAccessible* node, int state)
{
    GObjectPtr<AtspiCollection> collection(atspi_accessible_get_collection_iface(node));
    if (!collection)
        return {};
    GObjectPtr<AtspiStateSet> states(atspi_state_set_new(nullptr));
    atspi_state_set_add(states.get(), AtspiStateType(state));
    GObjectPtr<AtspiMatchRule> rule(atspi_match_rule_new(
        states.get(), ATSPI_Collection_MATCH_ALL, nullptr, ATSPI_Collection_MATCH_NONE, nullptr,
        ATSPI_Collection_MATCH_NONE, nullptr, ATSPI_Collection_MATCH_NONE, FALSE));
    ErrorSlot error;
    std::unique_ptr<GArray, ArrayUnref> matches(atspi_collection_get_matches(
        collection.get(), rule.get(), ATSPI_Collection_SORT_ORDER_CANONICAL, 1, TRUE, &error));
    if (!matches)
        return {};
    GObjectPtr<AtspiAccessible> first;
    for (guint i = 0; i < matches->len; ++i) {
        AtspiAccessible* match = g_array_index(matches.get(), AtspiAccessible*, i);
        if (!first)
            first.reset(match);
        else
            g_object_unref(match);
    }
    return first;
}

bool grabFocus(AtspiAccessible* node)
{
    GObjectPtr<AtspiComponent> component(atspi_accessible_get_component_iface(node));
    if (!component)
        return false;
    ErrorSlot error;
    return atspi_component_grab_focus(component.get(), &error) && !error.failed();
}

} // namespace tessary::atspi
