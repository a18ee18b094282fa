#include "platform/atspi/AtspiHandle.h"

#include <atspi/atspi.h>

namespace tessary {

void GObjectUnref::operator()(void* object) const
{
    if (object)
        g_object_unref(object);
}

void GFree::operator()(void* memory) const
{
    g_free(memory);
}

void GErrorFree::operator()(GError* error) const
{
    if (error)
        g_error_free(error);
}

QString takeString(char* owned)
{
    GCharPtr text(owned);
    return text ? QString::fromUtf8(text.get()) : QString();
}

QString identityOf(AtspiAccessible* accessible)
{
    if (!accessible)
        return {};
    const ::AtspiObject* object = ATSPI_OBJECT(accessible);
    if (!object->app || !object->app->bus_name || !object->path)
        return {};
    return QString::fromUtf8(object->app->bus_name) + QLatin1Char(':') + QString::fromUtf8(object->path);
}

Element adoptElement(AtspiAccessible* adopted)
{
    GObjectPtr<AtspiAccessible> owned(adopted);
    QString identity = identityOf(adopted);
    if (identity.isEmpty())
        return {};
    auto object = std::make_shared<const AtspiElementObject>(owned.release());
    return Element(std::static_pointer_cast<const void>(object), std::move(identity));
}

Element elementFor(AtspiAccessible* borrowed)
{
    return borrowed ? adoptElement(static_cast<AtspiAccessible*>(g_object_ref(borrowed))) : Element();
}

AtspiAccessible* accessibleOf(const Element& element)
{
    if (element.isNull())
        return nullptr;
    const AtspiElementObject* object = element.as<AtspiElementObject>();
    return object ? object->get() : nullptr;
}

AtspiNodeCache* cacheOf(const Element& element)
{
    if (element.isNull())
        return nullptr;
    const AtspiElementObject* object = element.as<AtspiElementObject>();
    return object ? &object->cache() : nullptr;
}

} // namespace tessary
