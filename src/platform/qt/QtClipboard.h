#pragma once

#include "engine/Clipboard.h"

namespace tessary {

// The desktop's clipboard through the running QGuiApplication: X11's CLIPBOARD selection, held by
// this process until another program takes it.
class QtClipboard final : public Clipboard {
public:
    void setText(const QString& text) override;
};

} // namespace tessary
