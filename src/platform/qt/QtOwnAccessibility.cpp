#include "platform/qt/QtOwnAccessibility.h"

#include <QAccessible>
#include <QAccessibleInterface>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QVariant>
#include <QWindow>

namespace tessary {

namespace {

const QString identityPrefix = QStringLiteral("qt-own:");

std::optional<QString> nonEmpty(const QString& text)
{
    return text.isEmpty() ? std::nullopt : std::optional<QString>(text);
}

// The handle carries only the identity: no AT-SPI object stands behind it, so an AT-SPI call that
// were handed one by mistake would find nothing to ask rather than ask this process.
std::optional<Element> elementOf(QAccessibleInterface* interface)
{
    if (!interface || !interface->isValid())
        return std::nullopt;
    return Element({}, identityPrefix + QString::number(QAccessible::uniqueId(interface)));
}

QAccessibleInterface* interfaceOf(const Element& element)
{
    bool isNumber = false;
    const uint id = element.identity().mid(identityPrefix.size()).toUInt(&isNumber);
    QAccessibleInterface* interface = isNumber ? QAccessible::accessibleInterface(id) : nullptr;
    return interface && interface->isValid() ? interface : nullptr;
}

bool isField(QAccessibleInterface* interface)
{
    return interface->role() == QAccessible::EditableText && !interface->state().readOnly;
}

bool holdsText(QAccessibleInterface* interface)
{
    return !interface->text(QAccessible::Name).isEmpty() || !interface->text(QAccessible::Value).isEmpty();
}

// The same names the AT-SPI side gives the same widgets in another Qt application.
QString roleName(QAccessibleInterface* interface)
{
    // A top-level widget is a window whatever it draws (a plain QWidget calls itself a client).
    if (QAccessibleInterface* parent = interface->parent();
        parent && parent->role() == QAccessible::Application)
        return QStringLiteral("AXWindow");
    switch (interface->role()) {
    case QAccessible::EditableText:
        if (interface->state().readOnly)
            return holdsText(interface) ? QStringLiteral("AXStaticText") : QStringLiteral("AXGroup");
        return interface->state().multiLine ? QStringLiteral("AXTextArea") : QStringLiteral("AXTextField");
    case QAccessible::StaticText:
        return holdsText(interface) ? QStringLiteral("AXStaticText") : QStringLiteral("AXGroup");
    case QAccessible::Heading:
        return QStringLiteral("AXHeading");
    case QAccessible::Window:
    case QAccessible::Dialog:
        return QStringLiteral("AXWindow");
    case QAccessible::Application:
        return QStringLiteral("AXApplication");
    case QAccessible::Button:
        return QStringLiteral("AXButton");
    case QAccessible::CheckBox:
        return QStringLiteral("AXCheckBox");
    case QAccessible::RadioButton:
        return QStringLiteral("AXRadioButton");
    case QAccessible::ComboBox:
        return QStringLiteral("AXComboBox");
    case QAccessible::Graphic:
        return QStringLiteral("AXImage");
    case QAccessible::List:
        return QStringLiteral("AXList");
    case QAccessible::Table:
        return QStringLiteral("AXTable");
    case QAccessible::ScrollBar:
        return QStringLiteral("AXScrollArea");
    case QAccessible::MenuBar:
        return QStringLiteral("AXMenuBar");
    case QAccessible::ToolBar:
        return QStringLiteral("AXToolbar");
    default:
        return QStringLiteral("AXGroup");
    }
}

// Qt hands a line edit's placeholder out as its description when it has no other.
QString placeholderOf(QAccessibleInterface* interface)
{
    const QObject* object = interface->object();
    return object ? object->property("placeholderText").toString() : QString();
}

QAccessibleInterface* application()
{
    return QAccessible::queryAccessibleInterface(QCoreApplication::instance());
}

QAccessibleInterface* focusInterface()
{
    QObject* focus = QGuiApplication::focusObject();
    return focus ? QAccessible::queryAccessibleInterface(focus) : nullptr;
}

// The top-level window holding the focus: the child of the application the focus sits under, or
// else the one Qt calls active.
QAccessibleInterface* focusedWindow(QAccessibleInterface* app)
{
    for (QAccessibleInterface* node = focusInterface(); node; node = node->parent())
        if (QAccessibleInterface* parent = node->parent();
            parent && parent->role() == QAccessible::Application)
            return node;
    for (int i = 0; i < app->childCount(); ++i)
        if (QAccessibleInterface* child = app->child(i); child && child->state().active)
            return child;
    return nullptr;
}

} // namespace

qint64 QtOwnAccessibility::processId()
{
    return QCoreApplication::applicationPid();
}

bool QtOwnAccessibility::owns(const Element& element)
{
    return element.identity().startsWith(identityPrefix);
}

std::optional<QString> QtOwnAccessibility::stringAttribute(const Element& element, const QString& attribute)
{
    QAccessibleInterface* interface = interfaceOf(element);
    if (!interface)
        return std::nullopt;
    if (attribute == QLatin1String("AXRole"))
        return roleName(interface);
    if (attribute == QLatin1String("AXSubrole")) {
        if (isField(interface) && interface->state().passwordEdit)
            return QStringLiteral("AXSecureTextField");
        return std::nullopt;
    }
    if (attribute == QLatin1String("AXValue")) {
        if (isField(interface))
            return interface->text(QAccessible::Value); // an empty field has the empty value
        if (roleName(interface) == QLatin1String("AXStaticText"))
            return nonEmpty(interface->text(QAccessible::Value)).value_or(interface->text(QAccessible::Name));
        return std::nullopt;
    }
    if (attribute == QLatin1String("AXTitle"))
        return nonEmpty(interface->text(QAccessible::Name));
    if (attribute == QLatin1String("AXPlaceholderValue"))
        return nonEmpty(placeholderOf(interface));
    if (attribute == QLatin1String("AXDescription")) {
        const QString description = interface->text(QAccessible::Description);
        return description == placeholderOf(interface) ? std::nullopt : nonEmpty(description);
    }
    if (attribute == QLatin1String("AXHelp"))
        return nonEmpty(interface->text(QAccessible::Help));
    if (attribute == QLatin1String("AXIdentifier"))
        return interface->object() ? nonEmpty(interface->object()->objectName()) : std::nullopt;
    return std::nullopt; // no web content in our windows: no URL, no DOM
}

std::optional<Element> QtOwnAccessibility::elementAttribute(const Element& element, const QString& attribute)
{
    QAccessibleInterface* interface = interfaceOf(element);
    if (!interface)
        return std::nullopt;
    if (attribute == QLatin1String("AXParent")) {
        // Above the application sits the desktop, which no caller means by "parent".
        if (interface->role() == QAccessible::Application)
            return std::nullopt;
        return elementOf(interface->parent());
    }
    if (attribute == QLatin1String("AXTitleUIElement")) {
        const auto labels = interface->relations(QAccessible::Label);
        return labels.isEmpty() ? std::nullopt : elementOf(labels.constFirst().first);
    }
    if (interface->role() != QAccessible::Application)
        return std::nullopt;
    if (attribute == QLatin1String("AXFocusedWindow"))
        return elementOf(focusedWindow(interface));
    if (attribute == QLatin1String("AXFocusedUIElement"))
        return focusedElement();
    return std::nullopt;
}

QList<Element> QtOwnAccessibility::children(const Element& element)
{
    QList<Element> result;
    QAccessibleInterface* interface = interfaceOf(element);
    for (int i = 0; interface && i < interface->childCount(); ++i)
        if (std::optional<Element> child = elementOf(interface->child(i)))
            result.append(std::move(*child));
    return result;
}

std::optional<Rect> QtOwnAccessibility::screenFrame(const Element& element)
{
    QAccessibleInterface* interface = interfaceOf(element);
    if (!interface || interface->state().invisible)
        return std::nullopt;
    const QRect rect = interface->rect();
    if (rect.isEmpty())
        return std::nullopt;
    return Rect{rect.x(), rect.y(), rect.width(), rect.height()};
}

std::optional<QtOwnAccessibility::PlaceInWindow> QtOwnAccessibility::placeInWindow(const Element& element)
{
    QAccessibleInterface* interface = interfaceOf(element);
    QWindow* window = interface ? interface->window() : nullptr;
    if (!window || interface->state().invisible || interface->rect().isEmpty())
        return std::nullopt;
    return PlaceInWindow{interface->rect().translated(-window->mapToGlobal(QPoint(0, 0))), window->title()};
}

std::optional<Element> QtOwnAccessibility::focusedElement()
{
    return elementOf(focusInterface());
}

std::optional<Element> QtOwnAccessibility::applicationElement()
{
    return elementOf(application());
}

void QtOwnAccessibility::setFocused(const Element& element)
{
    QAccessibleInterface* interface = interfaceOf(element);
    QAccessibleActionInterface* actions = interface ? interface->actionInterface() : nullptr;
    if (actions && actions->actionNames().contains(QAccessibleActionInterface::setFocusAction()))
        actions->doAction(QAccessibleActionInterface::setFocusAction());
}

} // namespace tessary
