#pragma once

#include <QString>

namespace tessary {

// The desktop's clipboard: a filled code also goes there, so a field the typing missed can take
// it with a paste.
class Clipboard {
public:
    virtual ~Clipboard() = default;
    virtual void setText(const QString& text) = 0;
};

} // namespace tessary
