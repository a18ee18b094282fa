#pragma once

#include "engine/ChipSurface.h"
#include "engine/Clipboard.h"
#include "engine/HeartbeatBus.h"
#include "engine/LinkOpener.h"

#include <QList>
#include <QStringList>

namespace tessary::test {

struct FakeClipboard : Clipboard {
    void setText(const QString& text) override { texts.append(text); }
    QStringList texts;
};

struct FakeLinkOpener : LinkOpener {
    struct Opened {
        QUrl url;
        std::optional<QString> application;
        friend bool operator==(const Opened&, const Opened&) = default;
    };
    bool open(const QUrl& url, const std::optional<QString>& application) override
    {
        opened.append({url, application});
        return works;
    }
    QList<Opened> opened;
    bool works = true;
};

struct FakeHeartbeatBus : HeartbeatBus {
    void post() override {}
    void listen(std::function<void()> received) override { receiver = std::move(received); }
    void hear() { receiver(); }
    std::function<void()> receiver = [] {};
};

} // namespace tessary::test
