#include "platform/atspi/AtspiVocabulary.h"

#include <atspi/atspi-constants.h>

#include <limits>

namespace tessary::atspi {

Kind kindOf(const NodeFacts& facts)
{
    switch (facts.role) {
    case ATSPI_ROLE_ENTRY:
    case ATSPI_ROLE_PASSWORD_TEXT:
        return facts.multiLine ? Kind::textArea : Kind::textField;
    case ATSPI_ROLE_TEXT:
        if (!facts.editable)
            return Kind::textCarrier;
        return facts.multiLine ? Kind::textArea : Kind::textField;
    case ATSPI_ROLE_SPIN_BUTTON:
        // <input type="number"> is a spin button; a code field is often one.
        return facts.tag == QLatin1String("input") ? Kind::textField : Kind::other;
    case ATSPI_ROLE_DOCUMENT_WEB:
        return Kind::webArea;
    case ATSPI_ROLE_HEADING:
        return Kind::heading;
    case ATSPI_ROLE_STATIC:
    case ATSPI_ROLE_LABEL:
    case ATSPI_ROLE_PARAGRAPH:
    case ATSPI_ROLE_SECTION:
    case ATSPI_ROLE_CAPTION:
    case ATSPI_ROLE_BLOCK_QUOTE:
    case ATSPI_ROLE_LIST_ITEM:
    case ATSPI_ROLE_TABLE_CELL:
    case ATSPI_ROLE_LINK:
    case ATSPI_ROLE_ARTICLE:
    case ATSPI_ROLE_FORM:
    case ATSPI_ROLE_PANEL:
    case ATSPI_ROLE_LANDMARK:
    case ATSPI_ROLE_HEADER:
    case ATSPI_ROLE_FOOTER:
    case ATSPI_ROLE_DESCRIPTION_TERM:
    case ATSPI_ROLE_DESCRIPTION_VALUE:
    case ATSPI_ROLE_MARK:
    case ATSPI_ROLE_SUBSCRIPT:
    case ATSPI_ROLE_SUPERSCRIPT:
        return Kind::textCarrier;
    case ATSPI_ROLE_FRAME:
    case ATSPI_ROLE_WINDOW:
    case ATSPI_ROLE_DIALOG:
        return Kind::window;
    case ATSPI_ROLE_APPLICATION:
        return Kind::application;
    default:
        return Kind::other;
    }
}

bool statesMatter(int role)
{
    return role == ATSPI_ROLE_ENTRY || role == ATSPI_ROLE_PASSWORD_TEXT || role == ATSPI_ROLE_TEXT;
}

bool attributesMatter(int role)
{
    return statesMatter(role) || role == ATSPI_ROLE_SPIN_BUTTON;
}

Role roleOf(const NodeFacts& facts, bool ownText)
{
    switch (kindOf(facts)) {
    case Kind::textField:
        return facts.role == ATSPI_ROLE_PASSWORD_TEXT ? Role::passwordText : Role::entry;
    case Kind::textArea:
        return Role::text;
    case Kind::webArea:
        return Role::documentWeb;
    case Kind::heading:
        return Role::heading;
    case Kind::textCarrier:
        return ownText ? Role::staticText : Role::section;
    case Kind::window:
        return Role::frame;
    case Kind::application:
        return Role::application;
    case Kind::other:
        break;
    }
    switch (facts.role) {
    case ATSPI_ROLE_INVALID:
        return Role::invalid;
    case ATSPI_ROLE_PUSH_BUTTON:
    case ATSPI_ROLE_TOGGLE_BUTTON:
        return Role::pushButton;
    case ATSPI_ROLE_CHECK_BOX:
        return Role::checkBox;
    case ATSPI_ROLE_RADIO_BUTTON:
        return Role::radioButton;
    case ATSPI_ROLE_COMBO_BOX:
        return Role::comboBox;
    case ATSPI_ROLE_IMAGE:
        return Role::image;
    case ATSPI_ROLE_LIST:
        return Role::list;
    case ATSPI_ROLE_TABLE:
        return Role::table;
    case ATSPI_ROLE_SCROLL_PANE:
        return Role::scrollPane;
    case ATSPI_ROLE_MENU_BAR:
        return Role::menuBar;
    case ATSPI_ROLE_TOOL_BAR:
        return Role::toolBar;
    default:
        return Role::section;
    }
}

QString inputTypeOf(const NodeFacts& facts)
{
    if (kindOf(facts) != Kind::textField || facts.role == ATSPI_ROLE_PASSWORD_TEXT)
        return {};
    return facts.inputType.toLower();
}

bool isFrame(const Extents& extents)
{
    constexpr int hiddenPosition = std::numeric_limits<int>::min();
    return extents.width >= 0 && extents.height >= 0 && (extents.width > 0 || extents.height > 0) &&
           extents.x != hiddenPosition && extents.y != hiddenPosition;
}

bool isFramePending(const Extents& extents)
{
    return extents.width == -1 && extents.height == -1;
}

QString fieldValue(const QString& text)
{
    QString value = text;
    value.remove(QChar(0xFEFF));
    return value;
}

QString ownText(const QString& text)
{
    QString value = fieldValue(text);
    value.remove(QChar(0xFFFC));
    return value.trimmed();
}

bool marksEveryChild(const QString& text, int childCount)
{
    return childCount > 0 && text.count(QChar(0xFFFC)) == childCount;
}

QString withInlineChildren(const QString& text, const QList<std::optional<QString>>& inlineTexts)
{
    QString whole;
    qsizetype child = 0;
    for (const QChar character : text) {
        if (character != QChar(0xFFFC)) {
            whole.append(character);
            continue;
        }
        if (child < inlineTexts.size() && inlineTexts.at(child))
            whole.append(*inlineTexts.at(child));
        ++child;
    }
    return ownText(whole);
}

QStringList classList(const QString& classAttribute)
{
    return classAttribute.split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

} // namespace tessary::atspi
