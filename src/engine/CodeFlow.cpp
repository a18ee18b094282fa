// The code side of the controller: a focused code field gets a recent code or a burst of polling
// for new mail; a found code is offered on the chip or typed at once; the hot key types the newest.

#include "engine/BurstLog.h"
#include "engine/ChipSurface.h"
#include "engine/Clipboard.h"
#include "engine/Controller.h"

#include "analysis/SiteDomain.h"
#include "screen/TypeCode.h"
#include "state/AppState.h"

#include <QPointer>
#include <QRandomGenerator>

namespace tessary {

namespace {

constexpr double lookback = 180;       // seconds of mail searched when a field is focused
constexpr double hotKeyLookback = 600; // seconds of mail the hot key searches
constexpr double recentReuse = 300;    // a recent code fits a new field this long
constexpr qsizetype recentLimit = 8;

const QString noCodeArrived = QStringLiteral("No code arrived");
const QString noRecentCode = QStringLiteral("No code in the last 10 min");

std::optional<QString> siteOf(const std::optional<CodeField>& field)
{
    if (!field || !field->domain)
        return std::nullopt;
    return siteDomain(*field->domain);
}

QString seconds(double value)
{
    return QString::number(value, 'f', 2);
}

} // namespace

const QString Controller::demoSenderDomain = QStringLiteral("tessary.com");

FoundCode Controller::demoCode(TimePoint now)
{
    FoundCode code;
    code.code = QString::number(100000 + QRandomGenerator::global()->bounded(900000));
    code.sender = QStringLiteral("Tessary <demo@%1>").arg(demoSenderDomain);
    code.senderDomain = demoSenderDomain;
    code.received = now;
    return code;
}

void Controller::handleField(const CodeField& field)
{
    m_field = field;
    // The onboarding practice field: a made-up code at once, nothing fetched, nothing remembered.
    if (m_s.state.demoMode() && m_s.accessibility.processId(field.element) == m_s.ownPid) {
        show(ChipModel::Found{demoCode(m_s.clock.now())});
        return;
    }
    const std::optional<QString> site = siteOf(field);
    const TimePoint now = m_s.clock.now();
    // A copy: offering a code rewrites the recent list it was found in.
    const QList<FoundCode> recent = m_s.state.recent();
    for (const FoundCode& code : recent) {
        if (now - code.received < recentReuse && !m_used.contains(code.code) && site &&
            *site == code.senderDomain) {
            offer(code);
            return;
        }
    }
    show(ChipModel::Searching{site});
    startBurst(field.domain ? QStringList{*field.domain} : QStringList{});
}

void Controller::startBurst(QStringList domains)
{
    const CancelToken cancel = newBurst();
    const TimePoint now = m_s.clock.now();
    codeBurst(now - lookback, std::move(domains), now, m_s.clock.steadyNow() + m_s.timings.codeBurst, cancel);
}

// The best code of the mail since `since` that was not typed in this run yet (and, given `sender`,
// that comes from that domain): the top-ranked code is often the one just typed, while a
// lower-ranked one is still of use.
QCoro::Task<BackendResult<std::optional<FoundCode>>> Controller::bestUnused(TimePoint since,
                                                                            QStringList domains,
                                                                            std::optional<QString> sender,
                                                                            CancelToken cancel)
{
    QPointer<Controller> self(this);
    const BackendResult<QList<Message>> messages = co_await m_s.backend.messages(since, cancel);
    if (!messages)
        co_return Unexpected{messages.error()};
    if (!self)
        co_return std::optional<FoundCode>{};
    for (const FoundCode& code : CodeFinder::rank(*messages, expandDomains(domains)))
        if (!m_used.contains(code.code) && (!sender || code.senderDomain == *sender))
            co_return std::optional<FoundCode>(code);
    co_return std::optional<FoundCode>{};
}

// A code from another sender leaves the burst watching: the site's own mail may still come.
bool Controller::awaitsBetter(const FoundCode& offered) const
{
    const std::optional<QString> site = siteOf(m_field);
    return site && offered.senderDomain != *site;
}

// One ids request, never started sooner than a second after the one before: a backend that
// answers at once would otherwise be asked hundreds of times a second, while one that holds the
// request until new mail arrives loses nothing.
QCoro::Task<BackendResult<QSet<QString>>> Controller::pollIds(TimePoint since, CancelToken cancel)
{
    QPointer<Controller> self(this);
    const auto next = m_lastIdsPass + m_s.timings.idsPass;
    if (const auto now = m_s.clock.steadyNow(); now < next)
        co_await m_s.clock.sleep(next - now, cancel);
    if (!self || isCancelled(cancel))
        co_return Unexpected{BackendError{0, QStringLiteral("Cancelled")}};
    m_lastIdsPass = m_s.clock.steadyNow();
    co_return co_await m_s.backend.messageIds(since, cancel);
}

// Polls until an id not in `known` shows up and returns the ids then; none when the deadline
// passes or the burst is cancelled first.
QCoro::Task<BackendResult<std::optional<QSet<QString>>>>
Controller::nextNewIds(TimePoint since, QSet<QString> known, std::chrono::steady_clock::time_point deadline,
                       CancelToken cancel)
{
    QPointer<Controller> self(this);
    while (!isCancelled(cancel) && m_s.clock.steadyNow() < deadline) {
        BackendResult<QSet<QString>> ids = co_await pollIds(since, cancel);
        if (!self || isCancelled(cancel))
            break;
        if (!ids)
            co_return Unexpected{ids.error()};
        if (!QSet<QString>(*ids).subtract(known).isEmpty())
            co_return std::optional<QSet<QString>>(std::move(ids).value());
    }
    co_return std::optional<QSet<QString>>{};
}

QCoro::Task<> Controller::codeBurst(TimePoint since, QStringList domains, TimePoint started,
                                    std::chrono::steady_clock::time_point deadline, CancelToken cancel)
{
    QPointer<Controller> self(this);
    std::optional<FoundCode> offered;
    // Once a code is on the chip it stays there: a later failure ends the watch silently.
    const auto failed = [&](const BackendError& error) {
        if (self && !isCancelled(cancel) && !offered)
            show(ChipModel::Failed{error.description()});
    };

    // The ids are taken before the first look, so mail that arrives while that look runs is new
    // to the loop below instead of counted as seen and never fetched.
    BackendResult<QSet<QString>> known = co_await pollIds(since, cancel);
    if (!self || isCancelled(cancel))
        co_return;
    if (!known)
        co_return failed(known.error());

    const BackendResult<std::optional<FoundCode>> first = co_await bestUnused(since, domains, {}, cancel);
    if (!self || isCancelled(cancel))
        co_return;
    if (!first)
        co_return failed(first.error());
    if (*first) {
        qCInfo(burstLog).noquote() << QStringLiteral("found %1 on first fetch after %2s")
                                          .arg((*first)->code, seconds(m_s.clock.now() - started));
        offered = *first;
        offer(**first);
    }

    // While the chip offers another sender's code, only the site's own code replaces it.
    while (!isCancelled(cancel) && (!offered || awaitsBetter(*offered))) {
        const BackendResult<std::optional<QSet<QString>>> arrived =
            co_await nextNewIds(since, *known, deadline, cancel);
        if (!self || isCancelled(cancel))
            co_return;
        if (!arrived)
            co_return failed(arrived.error());
        if (!*arrived)
            break;
        const TimePoint noticed = m_s.clock.now();
        const std::optional<QString> wanted = offered ? siteOf(m_field) : std::nullopt;
        const BackendResult<std::optional<FoundCode>> code =
            co_await bestUnused(since, domains, wanted, cancel);
        if (!self || isCancelled(cancel))
            co_return;
        if (!code)
            co_return failed(code.error());
        if (*code) {
            qCInfo(burstLog).noquote()
                << QStringLiteral("found %1: in %2→noticed %3s, body fetch %4s")
                       .arg((*code)->code, inboxName((*code)->messageId, m_s.state.accounts()),
                            seconds(noticed - (*code)->received), seconds(m_s.clock.now() - noticed));
            offered = *code;
            offer(**code);
        }
        known = **arrived;
    }
    if (self && !isCancelled(cancel) && !offered)
        show(ChipModel::Failed{noCodeArrived});
}

void Controller::offer(const FoundCode& code)
{
    remember(code);
    const std::optional<QString> site = siteOf(m_field);
    // A code found while the user was elsewhere (our own popover, say) waits for Fill instead.
    const bool fieldFocused = m_field && m_s.accessibility.focusedElement() == m_field->element;
    if (m_s.state.autoFillOnMatch() && site && *site == code.senderDomain && fieldFocused)
        fill(code, m_field);
    else
        show(ChipModel::Found{code});
}

void Controller::remember(const FoundCode& code)
{
    QList<FoundCode> recent{code};
    for (const FoundCode& earlier : m_s.state.recent())
        if (earlier.code != code.code && recent.size() < recentLimit)
            recent.append(earlier);
    m_s.state.setRecent(std::move(recent));
}

void Controller::fill(const FoundCode& code, const std::optional<CodeField>& field)
{
    m_used.insert(code.code);
    m_s.clipboard.setText(code.code);
    cancelBurst();
    m_suppressUntil = m_s.clock.steadyNow() + m_s.timings.detectionRest;
    fillTask(code, field, code.senderDomain == demoSenderDomain);
}

// Not in the burst slot: a dismissal or a new field does not stop a code half typed.
QCoro::Task<> Controller::fillTask(FoundCode code, std::optional<CodeField> field, bool isDemo)
{
    QPointer<Controller> self(this);
    // Built before the await: GCC 12 destroys a conditional's temporary in a co_await twice.
    std::optional<Element> element;
    if (field)
        element = field->element;
    co_await typeCode(m_s.accessibility, m_s.keyboard, m_s.clock, code.code, element, m_s.timings);
    if (!self)
        co_return;
    emit typed(code.code);
    if (field && field->frame) {
        m_field = field;
        show(ChipModel::Filled{code});
        const quint64 shown = chipModel().changes();
        co_await m_s.clock.sleep(m_s.timings.filledChip);
        if (!self)
            co_return;
        if (chipModel().changes() == shown)
            dismiss();
    } else {
        dismiss();
    }
    if (!isDemo)
        deleteIfEnabled(code.messageId);
}

void Controller::fillFromChip()
{
    if (const auto* found = std::get_if<ChipModel::Found>(&chipModel().state()))
        fill(found->code, m_field);
}

void Controller::fillNewest()
{
    const ChipModel::State& state = chipModel().state();
    if (const auto* link = std::get_if<ChipModel::Link>(&state); link && m_s.chip.isVisible())
        return openLink(link->link);
    if (const auto* found = std::get_if<ChipModel::Found>(&state); found && m_s.chip.isVisible())
        return fill(found->code, m_field);

    std::optional<CodeField> field;
    if (const std::optional<Element> focused = m_s.accessibility.focusedElement()) {
        field = CodeField::detect(m_s.accessibility, *focused);
        if (!field)
            field = CodeField{*focused, std::nullopt, m_s.accessibility.screenFrame(*focused)};
    }
    m_field = field;
    show(ChipModel::Searching{siteOf(field)});
    hotKeySearch(field, newBurst());
}

QCoro::Task<> Controller::hotKeySearch(std::optional<CodeField> field, CancelToken cancel)
{
    QPointer<Controller> self(this);
    const QStringList domains = field && field->domain ? QStringList{*field->domain} : QStringList{};
    const BackendResult<std::optional<FoundCode>> found =
        co_await m_finder.bestCode(m_s.clock.now() - hotKeyLookback, domains, cancel);
    // A search cancelled by a newer flow leaves the chip to that flow.
    if (!self || isCancelled(cancel))
        co_return;
    if (!found)
        co_return show(ChipModel::Failed{found.error().description()});
    if (!*found)
        co_return show(ChipModel::Failed{noRecentCode});
    remember(**found);
    fill(**found, field);
}

} // namespace tessary
