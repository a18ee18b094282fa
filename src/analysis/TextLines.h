#pragma once

#include <QStringView>

namespace tessary {

// Lines of a mail body end at a line feed, a carriage return, NEL, or the Unicode line and
// paragraph separators; a CR LF pair is one line end.
inline bool isLineBreak(QChar c)
{
    const char16_t unit = c.unicode();
    return unit == u'\n' || unit == u'\r' || unit == 0x0085 || unit == 0x2028 || unit == 0x2029;
}

// Where the line holding `position` starts.
inline qsizetype lineStart(QStringView text, qsizetype position)
{
    while (position > 0 && !isLineBreak(text[position - 1]))
        --position;
    return position;
}

// Where the line holding `position` ends (its line break, or the end of the text).
inline qsizetype lineEnd(QStringView text, qsizetype position)
{
    while (position < text.size() && !isLineBreak(text[position]))
        ++position;
    return position;
}

} // namespace tessary
