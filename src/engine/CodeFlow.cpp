#include "engine/CodeFlow.h"

#include "engine/BurstLog.h"
#include "engine/ChipSurface.h"
#include "engine/Clipboard.h"
#include "engine/CodeSources.h"
#include "engine/Controller.h"

#include "analysis/SiteDomain.h"
#include "screen/TypeCode.h"
#include "state/AppState.h"

#include <QPointer>
#include <QRandomGenerator>

namespace tessary {

namespace {

constexpr double fieldLookback = 180;  // seconds of mail searched when a field is focused
constexpr double hotKeyLookback = 600; // seconds of mail the hot key searches
constexpr double recentReuse = 300;    // a recent code fits a new field this long
constexpr qsizetype recentLimit = 8;

const QString noCodeArrived = QStringLiteral("No code arrived");

// The keyboard layout in use lacks a character of the code; the fill put the code on the
// clipboard before typing, so pasting it is the way left.
QString untypableMessage(const QString& character)
{
    return QStringLiteral("Can't type \u201c%1\u201d: paste with Ctrl+V").arg(character);
}
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

const QString CodeFlow::demoSenderDomain = QStringLiteral("tessary.com");

CodeFlow::CodeFlow(const ControllerServices& services, Controller& controller, Burst& burst)
    : m_s(services)
    , m_controller(controller)
    , m_burst(burst)
{
    if (!m_s.sms)
        return;
    connect(m_s.sms, &SmsSource::arrived, this, &CodeFlow::smsArrived);
    // The messages' text stays in memory only while the user lets it be read.
    m_s.sms->setKeeping(m_s.state.smsCodes());
    connect(&m_s.state, &AppState::smsCodesChanged, this,
            [this] { m_s.sms->setKeeping(m_s.state.smsCodes()); });
}

FoundCode CodeFlow::demoCode(TimePoint now)
{
    FoundCode code;
    code.code = QString::number(100000 + QRandomGenerator::global()->bounded(900000));
    code.sender = QStringLiteral("Tessary <demo@%1>").arg(demoSenderDomain);
    code.senderDomain = demoSenderDomain;
    code.received = now;
    return code;
}

bool CodeFlow::detectionRests() const
{
    return m_s.clock.steadyNow() <= m_suppressUntil;
}

void CodeFlow::handleField(const CodeField& field)
{
    m_field = field;
    // Whatever the burst before was waiting for belonged to another field (or page): a late find
    // of it must not land on this field's chip, even when this one gets its code without a burst.
    m_burst.cancel();
    // The onboarding practice field: a made-up code at once, nothing fetched, nothing remembered.
    if (m_s.state.demoMode() && m_s.accessibility.processId(field.element) == m_s.ownPid) {
        m_controller.show(ChipModel::Found{demoCode(m_s.clock.now())});
        return;
    }
    const std::optional<QString> site = siteOf(field);
    const TimePoint now = m_s.clock.now();
    // The site's own mail only: a text that names the site proves nothing. A copy: offering a
    // code rewrites the recent list it was found in.
    const QList<FoundCode> recent = m_s.state.recent();
    for (const FoundCode& code : recent) {
        if (now - code.received < recentReuse && !m_used.contains(code.code) && site && !code.phone &&
            *site == code.senderDomain) {
            offer(code);
            return;
        }
    }
    m_controller.show(ChipModel::Searching{site});
    startBurst(field.domain ? QStringList{*field.domain} : QStringList{});
}

void CodeFlow::startBurst(QStringList domains)
{
    const CancelToken cancel = m_burst.begin();
    const TimePoint now = m_s.clock.now();
    codeBurst(
        std::make_shared<Search>(Search{now - fieldLookback, std::move(domains), now, std::nullopt, {}}),
        m_s.clock.steadyNow() + m_s.timings.codeBurst, cancel);
}

QCoro::Task<> CodeFlow::codeBurst(std::shared_ptr<Search> search,
                                  std::chrono::steady_clock::time_point deadline, CancelToken cancel)
{
    QPointer<CodeFlow> self(this);
    m_search = search;
    m_searchCancel = cancel;
    // Named, not a temporary of the co_await: GCC 12 destroys such temporaries twice.
    Burst::Looker looker = [this, search, cancel](bool first) { return look(search, first, cancel); };
    const BackendResult<Burst::End> end =
        co_await m_burst.watch(search->since, deadline, cancel, std::move(looker));
    // The phone's messages need no backend: when the mail side fails, the chip says so and the
    // search goes on with a relaying phone's messages alone until its deadline. The failure stays
    // up meanwhile: hiding it would end the search, and a text takes longer than a failure shows.
    if (self && !end && phoneBringsCodes(m_s.state, m_s.sms) && !isCancelled(cancel) && !search->offered) {
        m_controller.showUntilReplaced(ChipModel::Failed{end.error().description()});
        smsArrived();
        co_await m_s.clock.sleep(
            std::max(deadline - m_s.clock.steadyNow(), std::chrono::steady_clock::duration{}), cancel);
        if (self && m_search == search)
            m_search.reset();
        if (self && !isCancelled(cancel) && !search->offered)
            m_controller.show(ChipModel::Failed{noCodeArrived});
        co_return;
    }
    if (self && m_search == search)
        m_search.reset();
    // Once a code is on the chip it stays there: a later failure or the deadline ends the watch
    // silently.
    if (!self || isCancelled(cancel) || search->offered)
        co_return;
    if (!end)
        m_controller.show(ChipModel::Failed{end.error().description()});
    else if (*end == Burst::End::deadline)
        m_controller.show(ChipModel::Failed{noCodeArrived});
}

// While the chip offers another sender's code, only the site's own code replaces it.
QCoro::Task<BackendResult<Burst::Look>> CodeFlow::look(std::shared_ptr<Search> searched, bool first,
                                                       CancelToken cancel)
{
    QPointer<CodeFlow> self(this);
    Search& search = *searched;
    const TimePoint noticed = m_s.clock.now();
    const std::optional<QString> wanted = search.offered ? siteOf(m_field) : std::nullopt;
    const BackendResult<std::optional<FoundCode>> code = co_await bestUnused(searched, wanted, cancel);
    if (!self || isCancelled(cancel))
        co_return Burst::Look::done;
    if (!code)
        co_return Unexpected{code.error()};
    if (*code) {
        const QString& text = (*code)->code;
        if ((*code)->phone)
            qCInfo(burstLog).noquote()
                << QStringLiteral("found %1 in a text message from %2").arg(text, *(*code)->phone);
        else if (first)
            qCInfo(burstLog).noquote() << QStringLiteral("found %1 on first fetch after %2s")
                                              .arg(text, seconds(m_s.clock.now() - search.started));
        else
            qCInfo(burstLog).noquote()
                << QStringLiteral("found %1: in %2→noticed %3s, body fetch %4s")
                       .arg(text, inboxName((*code)->messageId, m_s.state.accounts()),
                            seconds(noticed - (*code)->received), seconds(m_s.clock.now() - noticed));
        search.offered = *code;
        offer(**code);
    }
    co_return search.offered && !awaitsBetter(*search.offered) ? Burst::Look::done : Burst::Look::watchOn;
}

// Fetches the burst's mail and picks among it and the text messages.
QCoro::Task<BackendResult<std::optional<FoundCode>>>
CodeFlow::bestUnused(std::shared_ptr<Search> search, std::optional<QString> sender, CancelToken cancel)
{
    QPointer<CodeFlow> self(this);
    BackendResult<QList<Message>> messages = co_await m_s.backend.messages(search->since, cancel);
    if (!messages)
        co_return Unexpected{messages.error()};
    if (!self)
        co_return std::optional<FoundCode>{};
    search->mail = std::move(messages).value();
    co_return pick(*search, sender);
}

// The best code of the burst's mail and of the text messages since it started that was not typed
// in this run yet (and, given `sender`, that comes in that domain's own mail, not a text naming it):
// the top-ranked code is often the one just typed, while a lower-ranked one is still of use.
std::optional<FoundCode> CodeFlow::pick(const Search& search, const std::optional<QString>& sender) const
{
    const QList<Message> messages = search.mail + textMessages(search.started);
    for (const FoundCode& code : CodeFinder::rank(messages, expandDomains(search.domains)))
        if (!m_used.contains(code.code) && (!sender || (!code.phone && code.senderDomain == *sender)))
            return code;
    return std::nullopt;
}

QList<Message> CodeFlow::textMessages(TimePoint since) const
{
    return m_s.sms && m_s.state.smsCodes() ? m_s.sms->received(since) : QList<Message>{};
}

// A text message needs no fetch: it is ranked at once with the mail the burst saw last. Only the
// site's own mail on the chip stays; any other offer gives way to a better-ranked code.
void CodeFlow::smsArrived()
{
    if (!m_search || isCancelled(m_searchCancel))
        return;
    Search& search = *m_search;
    if (search.offered && !awaitsBetter(*search.offered))
        return;
    const std::optional<FoundCode> code = pick(search, std::nullopt);
    if (!code || code == search.offered)
        return;
    if (code->phone)
        qCInfo(burstLog).noquote()
            << QStringLiteral("found %1 in a text message from %2").arg(code->code, *code->phone);
    search.offered = code;
    offer(*code);
}

// A code from another sender, or from a text message that anyone could have sent naming the site,
// leaves the burst watching: the site's own mail may still come.
bool CodeFlow::awaitsBetter(const FoundCode& offered) const
{
    const std::optional<QString> site = siteOf(m_field);
    return site && (offered.phone || offered.senderDomain != *site);
}

void CodeFlow::offer(const FoundCode& code)
{
    remember(code);
    const std::optional<QString> site = siteOf(m_field);
    // A code found while the user was elsewhere (our own popover, say) waits for Fill instead. A
    // focus that cannot be read for a moment (a window being activated) is no move elsewhere.
    const std::optional<Element> focus = m_s.accessibility.focusedElement();
    const bool fieldFocused = m_field && (!focus || *focus == m_field->element);
    // A text message names no sender domain: its code always waits for a click.
    if (m_s.state.autoFillOnMatch() && !code.phone && site && *site == code.senderDomain && fieldFocused)
        fill(code, m_field);
    else
        m_controller.show(ChipModel::Found{code});
}

void CodeFlow::remember(const FoundCode& code)
{
    QList<FoundCode> recent{code};
    for (const FoundCode& earlier : m_s.state.recent())
        if (earlier.code != code.code && recent.size() < recentLimit)
            recent.append(earlier);
    m_s.state.setRecent(std::move(recent));
}

void CodeFlow::fill(const FoundCode& code, const std::optional<CodeField>& field)
{
    if (m_typing)
        return;
    m_used.insert(code.code);
    m_s.clipboard.setText(code.code);
    m_burst.cancel();
    m_suppressUntil = m_s.clock.steadyNow() + m_s.timings.detectionRest;
    fillTask(code, field, code.senderDomain == demoSenderDomain);
}

// Not in the burst slot: a dismissal or a new field does not stop a code half typed.
QCoro::Task<> CodeFlow::fillTask(FoundCode code, std::optional<CodeField> field, bool isDemo)
{
    QPointer<CodeFlow> self(this);
    // Built before the await: GCC 12 destroys a conditional's temporary in a co_await twice.
    std::optional<Element> element;
    if (field)
        element = field->element;
    m_typing = true;
    std::optional<QString> untypable =
        co_await typeCode(m_s.accessibility, m_s.keyboard, m_s.clock, code.code, element, m_s.timings);
    if (!self)
        co_return;
    m_typing = false;
    // A keyboard that learns only afterwards what reached no application says so here.
    if (const QString untyped = m_s.keyboard.takeUntyped(); !untypable && !untyped.isEmpty())
        untypable = untyped;
    if (untypable) {
        m_field = field;
        co_return m_controller.show(ChipModel::Failed{untypableMessage(*untypable)});
    }
    emit typed(code.code);
    ChipModel& chip = m_s.chip.model();
    if (field && field->frame) {
        m_field = field;
        m_controller.show(ChipModel::Filled{code});
        const quint64 shown = chip.changes();
        co_await m_s.clock.sleep(m_s.timings.filledChip);
        if (!self)
            co_return;
        if (chip.changes() == shown)
            m_controller.dismiss();
    } else {
        m_controller.dismiss();
    }
    // A text message stays on the phone as it was.
    if (!isDemo && !code.phone)
        m_s.state.deleteIfEnabled(code.messageId);
}

void CodeFlow::fillFromChip()
{
    if (const auto* found = std::get_if<ChipModel::Found>(&m_s.chip.model().state()))
        fill(found->code, m_field);
}

void CodeFlow::fillNewest()
{
    if (m_typing)
        return;
    const auto* found = std::get_if<ChipModel::Found>(&m_s.chip.model().state());
    if (found && m_s.chip.isVisible())
        return fill(found->code, m_field);

    std::optional<CodeField> field;
    if (const std::optional<Element> focused = m_s.accessibility.focusedElement()) {
        field = CodeField::detect(m_s.accessibility, *focused);
        if (!field)
            field = CodeField{*focused, std::nullopt, m_s.accessibility.screenFrame(*focused)};
    }
    m_field = field;
    m_controller.show(ChipModel::Searching{siteOf(field)});
    m_hotKeySearch = m_burst.begin();
    hotKeySearch(field, m_hotKeySearch);
}

QCoro::Task<> CodeFlow::hotKeySearch(std::optional<CodeField> field, CancelToken cancel)
{
    QPointer<CodeFlow> self(this);
    const QStringList domains = field && field->domain ? QStringList{*field->domain} : QStringList{};
    const TimePoint since = m_s.clock.now() - hotKeyLookback;
    const BackendResult<QList<Message>> mail = co_await m_s.backend.messages(since, cancel);
    // A search cancelled by a newer flow leaves the chip to that flow.
    if (!self || isCancelled(cancel))
        co_return;
    m_hotKeySearch.reset();
    // The newest code of mail and text messages together; a failed fetch only matters when the
    // phone has none either.
    const QList<FoundCode> ranked =
        CodeFinder::rank((mail ? *mail : QList<Message>{}) + textMessages(since), expandDomains(domains));
    if (ranked.isEmpty() && !mail)
        co_return m_controller.show(ChipModel::Failed{mail.error().description()});
    if (ranked.isEmpty())
        co_return m_controller.show(ChipModel::Failed{noRecentCode});
    remember(ranked.first());
    fill(ranked.first(), field);
}

} // namespace tessary
