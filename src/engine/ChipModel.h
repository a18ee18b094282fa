#pragma once

#include "analysis/FoundCode.h"
#include "analysis/FoundLink.h"

#include <QObject>
#include <QString>

#include <functional>
#include <optional>
#include <variant>

namespace tessary {

// What the floating chip shows and what its buttons do. The engine is the only writer of the state
// and the only owner of the callbacks; the view observes stateChanged. Main thread only.
class ChipModel : public QObject {
    Q_OBJECT
public:
    struct Searching {
        std::optional<QString> domain; // the site whose code is awaited, when known
        friend bool operator==(const Searching&, const Searching&) = default;
    };
    struct Found {
        FoundCode code;
        friend bool operator==(const Found&, const Found&) = default;
    };
    struct Filled {
        FoundCode code;
        friend bool operator==(const Filled&, const Filled&) = default;
    };
    struct Failed {
        QString message;
        friend bool operator==(const Failed&, const Failed&) = default;
    };
    struct WaitingForLink {
        std::optional<QString> domain;
        FoundLink::Kind kind = FoundLink::Kind::signIn;
        friend bool operator==(const WaitingForLink&, const WaitingForLink&) = default;
    };
    struct Link {
        FoundLink link;
        friend bool operator==(const Link&, const Link&) = default;
    };
    struct Opened {
        FoundLink::Kind kind = FoundLink::Kind::signIn;
        friend bool operator==(const Opened&, const Opened&) = default;
    };
    using State = std::variant<Searching, Found, Filled, Failed, WaitingForLink, Link, Opened>;

    explicit ChipModel(QObject* parent = nullptr)
        : QObject(parent)
    {
    }

    const State& state() const { return m_state; }
    // Replaces the state and always emits stateChanged, even for an equal state: the engine's
    // waits compare changes() to learn whether anything else was shown meanwhile.
    void setState(State state);
    quint64 changes() const { return m_changes; }

    // A button whose callback is unset does nothing.
    std::function<void()> onFill, onOpen, onClose;

signals:
    void stateChanged();

private:
    State m_state = Searching{};
    quint64 m_changes = 0;
};

// "searching", "found", "filled", "failed", "waitingForLink", "link", "opened"
QString stateName(const ChipModel::State& state);

// The chip's row for one state, left to right, so the view and its tests share one set of rules.
struct ChipContent {
    enum class Lead { none, progress, checkMark, fillButton, openButton };
    enum class Style { secondary, code, title }; // how the main text is set
    Lead lead = Lead::none;
    QString text; // e.g. "Waiting for a code from example.com", "Filled 123 456", "Sign-in link"
    Style style = Style::secondary;
    std::optional<QString> senderDomain; // shown after the text in found and link
    bool closable = true;
    std::optional<double> textWidth; // the widest the text is laid out before it wraps (failures)

    friend bool operator==(const ChipContent&, const ChipContent&) = default;
};
ChipContent chipContent(const ChipModel::State& state);
// The main text the chip shows for a state.
inline QString chipText(const ChipModel::State& state)
{
    return chipContent(state).text;
}
// A failure message is laid out as wide as it is written, up to this; a longer one wraps.
inline constexpr double failureMessageWidth = 320;

} // namespace tessary
