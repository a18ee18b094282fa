#include "platform/qt/QtOwnAccessibility.h"

#include "screen/ScreenScale.h"

#include <QAccessible>
#include <QAccessibleInterface>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QScreen>
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

// The roles the AT-SPI side gives the same widgets in another Qt application.
Role roleOf(QAccessibleInterface* interface)
{
    // A top-level widget is a window whatever it draws (a plain QWidget calls itself a client).
    if (QAccessibleInterface* parent = interface->parent();
        parent && parent->role() == QAccessible::Application)
        return Role::frame;
    switch (interface->role()) {
    case QAccessible::EditableText:
        if (interface->state().readOnly)
            return holdsText(interface) ? Role::staticText : Role::section;
        if (interface->state().multiLine)
            return Role::text;
        return interface->state().passwordEdit ? Role::passwordText : Role::entry;
    case QAccessible::StaticText:
        return holdsText(interface) ? Role::staticText : Role::section;
    case QAccessible::Heading:
        return Role::heading;
    case QAccessible::Window:
    case QAccessible::Dialog:
        return Role::frame;
    case QAccessible::Application:
        return Role::application;
    case QAccessible::Button:
        return Role::pushButton;
    case QAccessible::CheckBox:
        return Role::checkBox;
    case QAccessible::RadioButton:
        return Role::radioButton;
    case QAccessible::ComboBox:
        return Role::comboBox;
    case QAccessible::Graphic:
        return Role::image;
    case QAccessible::List:
        return Role::list;
    case QAccessible::Table:
        return Role::table;
    case QAccessible::ScrollBar:
        return Role::scrollPane;
    case QAccessible::MenuBar:
        return Role::menuBar;
    case QAccessible::ToolBar:
        return Role::toolBar;
    default:
        return Role::section;
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
QAccessibleInterface* focusedWindowOf(QAccessibleInterface* app)
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

Role QtOwnAccessibility::role(const Element& element)
{
    QAccessibleInterface* interface = interfaceOf(element);
    return interface ? roleOf(interface) : Role::invalid;
}

std::optional<QString> QtOwnAccessibility::name(const Element& element)
{
    QAccessibleInterface* interface = interfaceOf(element);
    return interface ? nonEmpty(interface->text(QAccessible::Name)) : std::nullopt;
}

std::optional<QString> QtOwnAccessibility::description(const Element& element)
{
    QAccessibleInterface* interface = interfaceOf(element);
    if (!interface)
        return std::nullopt;
    const QString description = interface->text(QAccessible::Description);
    return description == placeholderOf(interface) ? std::nullopt : nonEmpty(description);
}

std::optional<QString> QtOwnAccessibility::helpText(const Element& element)
{
    QAccessibleInterface* interface = interfaceOf(element);
    return interface ? nonEmpty(interface->text(QAccessible::Help)) : std::nullopt;
}

std::optional<QString> QtOwnAccessibility::placeholder(const Element& element)
{
    QAccessibleInterface* interface = interfaceOf(element);
    return interface ? nonEmpty(placeholderOf(interface)) : std::nullopt;
}

std::optional<QString> QtOwnAccessibility::accessibleId(const Element& element)
{
    QAccessibleInterface* interface = interfaceOf(element);
    return interface && interface->object() ? nonEmpty(interface->object()->objectName()) : std::nullopt;
}

std::optional<QString> QtOwnAccessibility::text(const Element& element)
{
    QAccessibleInterface* interface = interfaceOf(element);
    if (!interface)
        return std::nullopt;
    if (isField(interface))
        return interface->text(QAccessible::Value); // an empty field has the empty value
    if (roleOf(interface) == Role::staticText)
        return nonEmpty(interface->text(QAccessible::Value)).value_or(interface->text(QAccessible::Name));
    return std::nullopt;
}

std::optional<Element> QtOwnAccessibility::labelledBy(const Element& element)
{
    QAccessibleInterface* interface = interfaceOf(element);
    if (!interface)
        return std::nullopt;
    const auto labels = interface->relations(QAccessible::Label);
    return labels.isEmpty() ? std::nullopt : elementOf(labels.constFirst().first);
}

std::optional<Element> QtOwnAccessibility::parent(const Element& element)
{
    QAccessibleInterface* interface = interfaceOf(element);
    // Above the application sits the desktop, which no caller means by "parent".
    if (!interface || interface->role() == QAccessible::Application)
        return std::nullopt;
    return elementOf(interface->parent());
}

std::optional<Element> QtOwnAccessibility::focusedWindow(const Element& application)
{
    QAccessibleInterface* interface = interfaceOf(application);
    if (!interface || interface->role() != QAccessible::Application)
        return std::nullopt;
    return elementOf(focusedWindowOf(interface));
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
    // In the window system's pixels, like every other program's frames.
    const QWindow* window = interface->window();
    const QScreen* screen = window ? window->screen() : QGuiApplication::primaryScreen();
    const ScreenScale scale = screen
                                  ? ScreenScale::of(QGuiApplication::platformName(),
                                                    screen->geometry().topLeft(), screen->devicePixelRatio())
                                  : ScreenScale{};
    return scale.toScreenPixels(rect);
}

std::optional<QtOwnAccessibility::PlaceInWindow> QtOwnAccessibility::placeInWindow(const Element& element)
{
    QAccessibleInterface* interface = interfaceOf(element);
    QWindow* window = interface ? interface->window() : nullptr;
    if (!window || interface->state().invisible || interface->rect().isEmpty())
        return std::nullopt;
    const QMargins decoration = window->frameMargins();
    return PlaceInWindow{interface->rect().translated(QPoint(decoration.left(), decoration.top()) -
                                                      window->mapToGlobal(QPoint(0, 0))),
                         window->title()};
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
