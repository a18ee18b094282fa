#include "server/HtmlText.h"

#include <QRegularExpression>
#include <QSet>

#include <libxml/HTMLparser.h>

namespace tessary::server {

namespace {

QString nameOf(xmlNode* node)
{
    return QString::fromUtf8(reinterpret_cast<const char*>(node->name)).toLower();
}

bool isBlock(const QString& name)
{
    static const QSet<QString> blocks{"p",       "div",     "br",     "tr",     "li",         "h1",  "h2",
                                      "h3",      "h4",      "h5",     "h6",     "ul",         "ol",  "table",
                                      "section", "article", "header", "footer", "blockquote", "pre", "hr",
                                      "dt",      "dd",      "center", "title"};
    return blocks.contains(name);
}

// A link's visible words are a few. Links nested in links (a sender may write them) would
// otherwise copy the whole text inside them once per enclosing link: half a gigabyte for a few
// megabytes of mail.
constexpr qsizetype maxLinkText = 1000;

void appendToLink(QString& linkText, const QString& text)
{
    if (linkText.size() < maxLinkText)
        linkText += text.left(maxLinkText - linkText.size());
}

class Walker {
public:
    HtmlContent content;

    void walk(xmlNode* node, QString* linkText)
    {
        for (; node; node = node->next) {
            if (node->type == XML_TEXT_NODE || node->type == XML_CDATA_SECTION_NODE) {
                QString text = QString::fromUtf8(reinterpret_cast<const char*>(node->content));
                static const QRegularExpression spaces(QStringLiteral("\\s+"));
                text.replace(spaces, QStringLiteral(" "));
                content.text += text;
                if (linkText)
                    appendToLink(*linkText, text);
                continue;
            }
            if (node->type != XML_ELEMENT_NODE)
                continue;
            const QString name = nameOf(node);
            if (name == QLatin1String("script") || name == QLatin1String("style") ||
                name == QLatin1String("head"))
                continue;
            const bool block = isBlock(name);
            if (block)
                content.text += QLatin1Char('\n');
            // Cells of one row stay on its line, apart: "<td>Your code</td><td>445566</td>" would
            // otherwise read "Your code445566", a code glued to its label. Boxes of one character
            // each ("<td>7</td><td>1</td>...") spell one word and stay together.
            const bool cell = name == QLatin1String("td") || name == QLatin1String("th");
            const qsizetype cellStart = content.text.size();
            if (cell && !content.text.isEmpty() && !content.text.back().isSpace())
                content.text += QLatin1Char(' ');
            const qsizetype cellText = content.text.size();
            if (name == QLatin1String("a")) {
                xmlChar* href = xmlGetProp(node, reinterpret_cast<const xmlChar*>("href"));
                QString visible;
                walk(node->children, &visible);
                if (linkText)
                    appendToLink(*linkText, visible);
                if (href) {
                    const QString url = QString::fromUtf8(reinterpret_cast<const char*>(href)).trimmed();
                    xmlFree(href);
                    if (!url.isEmpty() && !url.startsWith(QLatin1String("javascript:"), Qt::CaseInsensitive))
                        content.links.append({url, visible.simplified()});
                }
            } else {
                walk(node->children, linkText);
            }
            if (cell) {
                const bool oneCharacter = QStringView(content.text).sliced(cellText).trimmed().size() == 1;
                if (oneCharacter && m_lastCellOneCharacter && cellText > cellStart)
                    content.text.remove(cellStart, 1);
                m_lastCellOneCharacter = oneCharacter;
            }
            if (block)
                content.text += QLatin1Char('\n');
        }
    }

private:
    bool m_lastCellOneCharacter = false;
};

QString tidyLines(const QString& text)
{
    QStringList lines;
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        if (const QString trimmed = line.trimmed(); !trimmed.isEmpty())
            lines.append(trimmed);
    }
    return lines.join(QLatin1Char('\n'));
}

} // namespace

HtmlContent htmlToText(const QByteArray& utf8Html)
{
    const int options = HTML_PARSE_NONET | HTML_PARSE_RECOVER | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING;
    htmlDocPtr document =
        htmlReadMemory(utf8Html.constData(), int(utf8Html.size()), nullptr, "UTF-8", options);
    if (!document)
        return {};
    Walker walker;
    walker.walk(xmlDocGetRootElement(document), nullptr);
    xmlFreeDoc(document);
    walker.content.text = tidyLines(walker.content.text);
    return walker.content;
}

} // namespace tessary::server
