#include "engine/ChipModel.h"

#include "analysis/DomainDisplay.h"

#include <array>

namespace tessary {

namespace {

template <class... Ts>
struct Overloaded : Ts... {
    using Ts::operator()...;
};

QString kindWord(FoundLink::Kind kind)
{
    return kind == FoundLink::Kind::confirm ? QStringLiteral("confirmation") : QStringLiteral("sign-in");
}

} // namespace

void ChipModel::setState(State state)
{
    m_state = std::move(state);
    ++m_changes;
    emit stateChanged();
}

QString stateName(const ChipModel::State& state)
{
    static constexpr std::array<const char*, std::variant_size_v<ChipModel::State>> names = {
        "searching", "found", "filled", "failed", "waitingForLink", "link", "opened"};
    return QString::fromLatin1(names.at(state.index()));
}

ChipContent chipContent(const ChipModel::State& state)
{
    using Lead = ChipContent::Lead;
    using Style = ChipContent::Style;
    ChipContent content;
    std::visit(Overloaded{
                   [&](const ChipModel::Searching& s) {
                       content.lead = Lead::progress;
                       content.text =
                           s.domain ? QStringLiteral("Waiting for a code from ") + displayDomain(*s.domain)
                                    : QStringLiteral("Waiting for a code");
                   },
                   [&](const ChipModel::Found& s) {
                       content.lead = Lead::fillButton;
                       content.text = s.code.display();
                       content.style = Style::code;
                       content.senderDomain = s.code.origin();
                   },
                   [&](const ChipModel::Filled& s) {
                       content.lead = Lead::checkMark;
                       content.text = QStringLiteral("Filled ") + s.code.display();
                       content.closable = false;
                   },
                   [&](const ChipModel::Failed& s) {
                       content.text = s.message;
                       content.textWidth = failureMessageWidth;
                   },
                   [&](const ChipModel::WaitingForLink& s) {
                       content.lead = Lead::progress;
                       content.text =
                           QStringLiteral("Waiting for the ") + kindWord(s.kind) + QStringLiteral(" email");
                       if (s.domain)
                           content.text += QStringLiteral(" from ") + displayDomain(*s.domain);
                   },
                   [&](const ChipModel::Link& s) {
                       content.lead = Lead::openButton;
                       content.text = s.link.kind == FoundLink::Kind::confirm
                                          ? QStringLiteral("Confirmation link")
                                          : QStringLiteral("Sign-in link");
                       content.style = Style::title;
                       content.senderDomain = displayDomain(s.link.senderDomain);
                   },
                   [&](const ChipModel::Opened& s) {
                       content.lead = Lead::checkMark;
                       content.text =
                           QStringLiteral("Opened the ") + kindWord(s.kind) + QStringLiteral(" link");
                       content.closable = false;
                   },
               },
               state);
    return content;
}

} // namespace tessary
