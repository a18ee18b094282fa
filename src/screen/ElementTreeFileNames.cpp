#include "screen/ElementTreeFileNames.h"

#include <utility>

namespace tessary::treefile {

namespace {

constexpr std::pair<Role, const char*> roleNames[] = {
    {Role::application, "AXApplication"},
    {Role::frame, "AXWindow"},
    {Role::documentWeb, "AXWebArea"},
    {Role::heading, "AXHeading"},
    {Role::entry, "AXTextField"},
    {Role::text, "AXTextArea"},
    {Role::staticText, "AXStaticText"},
    {Role::section, "AXGroup"},
    {Role::list, "AXList"},
    {Role::pushButton, "AXButton"},
    {Role::checkBox, "AXCheckBox"},
    {Role::radioButton, "AXRadioButton"},
    {Role::comboBox, "AXComboBox"},
    {Role::image, "AXImage"},
    {Role::table, "AXTable"},
    {Role::scrollPane, "AXScrollArea"},
    {Role::menuBar, "AXMenuBar"},
    {Role::toolBar, "AXToolbar"},
    {Role::other, "AXUnknown"},
};

} // namespace

Role roleOf(const QString& name, const QString& subrole)
{
    if (name.isEmpty())
        return Role::invalid;
    for (const auto& [role, roleName] : roleNames) {
        if (name != QLatin1String(roleName))
            continue;
        return role == Role::entry && subrole == passwordSubrole ? Role::passwordText : role;
    }
    return Role::other;
}

QString nameOf(Role role)
{
    if (role == Role::passwordText)
        return nameOf(Role::entry);
    for (const auto& [known, roleName] : roleNames)
        if (known == role)
            return QLatin1String(roleName);
    return {};
}

QString subroleOf(Role role, const QString& inputType)
{
    if (role == Role::passwordText)
        return passwordSubrole;
    if (role == Role::entry && inputType == searchInputType)
        return searchSubrole;
    return {};
}

} // namespace tessary::treefile
