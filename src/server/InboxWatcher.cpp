#include "server/InboxWatcher.h"

#include "server/MailRecord.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QThreadPool>

#include <algorithm>

namespace tessary::server {

using namespace std::chrono;

namespace {
constexpr qsizetype maxTakenAtOnce = 100; // messages fetched for one announcement or reconnection
// Of a message's text, enough for any code or link: a few of the longest still fit the 16 MB the
// app accepts in one reply.
constexpr qsizetype maxTextLength = 1024 * 1024;

using Refreshed = Expected<OAuthTokens, OAuthError>;

// The token endpoint is asked with a blocking client, so on a pool thread: the loop's other
// watchers go on meanwhile. A stop ends the wait, and the request with it, at once.
QCoro::Task<std::optional<Refreshed>> refreshAway(OAuthProvider provider, QString refreshToken,
                                                  const WakeFlag* stop)
{
    struct Shared {
        WakeFlag done;
        WakeFlag cancel; // outlives the stop flag's owner, who may go as soon as the stop ends this
        std::optional<Refreshed> answer; // written before `done` is raised
    };
    auto shared = std::make_shared<Shared>();
    QThreadPool::globalInstance()->start([shared, provider = std::move(provider), refreshToken] {
        shared->answer.emplace(refreshAccess(provider, refreshToken, &shared->cancel));
        shared->done.raise();
    });
    while (!shared->done.isRaised() && !(stop && stop->isRaised())) {
        Wakeup answered(stop, minutes(1));
        answered.on(&shared->done, &WakeFlag::raised);
        co_await answered;
    }
    if (!shared->done.isRaised()) {
        shared->cancel.raise();
        co_return std::nullopt;
    }
    co_return std::move(shared->answer);
}

} // namespace

CachedMessage cachedMessage(const QString& accountId, uint uidValidity, const FetchedMail& mail)
{
    MailRecord record = readMail(mail.raw);
    record.text.truncate(maxTextLength);
    QJsonArray links;
    for (const HtmlLink& link : record.links)
        links.append(QJsonObject{{"url", link.url}, {"text", link.text}});
    CachedMessage message;
    message.id = QStringLiteral("%1.%2.%3").arg(accountId).arg(uidValidity).arg(mail.uid);
    message.accountId = accountId;
    message.uidValidity = uidValidity;
    message.uid = mail.uid;
    message.receivedAt = mail.internalDate;
    message.json =
        QJsonObject{{"id", message.id},
                    {"subject", record.subject},
                    {"sender", record.sender},
                    {"text", record.text},
                    {"receivedAt",
                     QDateTime::fromSecsSinceEpoch(qint64(mail.internalDate), Qt::UTC).toString(Qt::ISODate)},
                    {"links", links}};
    message.size = QJsonDocument(message.json).toJson(QJsonDocument::Compact).size();
    return message;
}

QCoro::Task<ImapResult<Done>> signIn(ImapConnection& connection, const ImapSettings& settings,
                                     WatchedInbox& inbox)
{
    if (inbox.provider == QLatin1String("imap"))
        co_return co_await connection.login(inbox.email, inbox.secret);
    const auto provider = settings.oauth.constFind(inbox.provider);
    if (provider == settings.oauth.constEnd())
        co_return Unexpected{ImapError{
            ImapError::Kind::login,
            QStringLiteral("Signing in with %1 is no longer set up on this backend").arg(inbox.provider)}};
    const auto tokens = co_await refreshAway(*provider, inbox.secret, connection.stopFlag());
    if (!tokens)
        co_return Unexpected{ImapError{ImapError::Kind::stopped, QStringLiteral("Stopped")}};
    if (!*tokens) // only a withdrawn grant is a refusal; an unreachable provider is an outage
        co_return Unexpected{
            ImapError{(*tokens).error().revoked ? ImapError::Kind::login : ImapError::Kind::unreachable,
                      (*tokens).error().message}};
    if (!(*tokens)->refreshToken.isEmpty())
        inbox.secret = (*tokens)->refreshToken;
    co_return co_await connection.authenticateXOAuth2(inbox.email, (*tokens)->accessToken);
}

InboxWatcher::InboxWatcher(WatcherLoops& loops, WatchedInbox inbox, const ImapSettings& settings,
                           MessageCache& cache, WatchTimings timings, SecretKeeper keep,
                           RefusalReporter refused, ProblemReporter problem)
    : m_inbox(std::move(inbox))
    , m_keep(std::move(keep))
    , m_refused(std::move(refused))
    , m_problem(std::move(problem))
    , m_settings(settings)
    , m_cache(cache)
    , m_timings(timings)
{
    auto ended = std::make_shared<std::promise<void>>();
    m_ended = ended->get_future();
    // The watch runs on its loop's thread; the task frees itself when the watch ends.
    QMetaObject::invokeMethod(
        loops.next(), [this, ended] { run(ended); }, Qt::QueuedConnection);
}

InboxWatcher::~InboxWatcher()
{
    m_stop.raise();
    m_ended.wait();
}

QCoro::Task<> InboxWatcher::run(std::shared_ptr<std::promise<void>> ended)
{
    milliseconds backoff = m_timings.firstBackoff;
    int failures = 0;
    while (!m_stop.isRaised()) {
        m_watching = false;
        const ImapError failed = co_await watchOnce();
        if (m_stop.isRaised())
            break;
        // A refused sign-in ends the watch. Any other way out is tried again after a pause; a
        // connection that watched for a while and then ended is no news, but connections that
        // fail again and again (a server that closes at SELECT, floods, or stays silent) are.
        if (failed.kind == ImapError::Kind::login) {
            m_cache.setProblem(m_inbox.accountId, failed.message);
            m_cache.markSettled(m_inbox.accountId);
            if (m_refused)
                m_refused(m_inbox, failed.message);
            break;
        }
        if (m_watching) {
            failures = 0;
            backoff = m_timings.firstBackoff;
        }
        const bool persistent = !m_watching && ++failures >= m_timings.failuresBeforeReport;
        if (failed.kind != ImapError::Kind::closed || persistent)
            m_cache.setProblem(m_inbox.accountId, failed.message);
        m_reported = m_reported || persistent;
        if (persistent && m_problem)
            m_problem(m_inbox, failed.message);
        m_cache.markSettled(m_inbox.accountId);
        Wakeup pause(&m_stop, backoff);
        co_await pause;
        backoff = std::min(backoff * 2, m_timings.maxBackoff);
    }
    ended->set_value(); // the last touch of this watcher: its owner may go now
}

QCoro::Task<ImapResult<Done>> InboxWatcher::takeNew(ImapConnection& connection, QByteArray uidSet,
                                                    double notBefore)
{
    const auto arrived = co_await connection.arrivals(uidSet);
    if (!arrived)
        co_return Unexpected{arrived.error()};
    QList<FetchedMail> wanted;
    for (const FetchedMail& mail : *arrived) {
        if (mail.uid <= m_lastUid && notBefore == 0)
            continue; // "n:*" always names the newest message, even one already taken
        m_lastUid = std::max(m_lastUid, mail.uid);
        const QString id = QStringLiteral("%1.%2.%3").arg(m_inbox.accountId).arg(m_uidValidity).arg(mail.uid);
        if (mail.internalDate >= notBefore && !m_cache.find(id))
            wanted.append(mail);
    }
    // Under a flood the newest messages are the ones a code is awaited in.
    std::sort(wanted.begin(), wanted.end(), [](const auto& a, const auto& b) { return a.uid > b.uid; });
    for (const FetchedMail& arrival : wanted.first(std::min<qsizetype>(wanted.size(), maxTakenAtOnce))) {
        const auto mail = co_await connection.fetch(arrival.uid);
        if (!mail)
            co_return Unexpected{mail.error()};
        if (mail->uid > 0)
            m_cache.add(cachedMessage(m_inbox.accountId, m_uidValidity, *mail));
    }
    co_return Done{};
}

QCoro::Task<ImapError> InboxWatcher::watchOnce()
{
    ImapConnection connection(m_settings, m_inbox.host, &m_stop);
    if (auto done = co_await connection.connect(); !done)
        co_return done.error();
    const QString secret = m_inbox.secret;
    const auto signedIn = co_await signIn(connection, m_settings, m_inbox);
    if (m_inbox.secret != secret && m_keep)
        m_keep(m_inbox);
    if (!signedIn)
        co_return signedIn.error();
    const auto mailbox = co_await connection.select("INBOX");
    if (!mailbox)
        co_return mailbox.error();
    if (mailbox->uidValidity != m_uidValidity) {
        m_uidValidity = mailbox->uidValidity; // the old UIDs mean nothing any more
        m_lastUid = 0;
    }
    // SEARCH SINCE counts whole days in the server's zone: ask from the day before, then keep
    // only what arrived within the window.
    const double windowStart = double(QDateTime::currentSecsSinceEpoch() - m_timings.backfill.count());
    const QDate day = QDateTime::fromSecsSinceEpoch(qint64(windowStart), Qt::UTC).date().addDays(-1);
    const auto recent = co_await connection.searchSince(day);
    if (!recent)
        co_return recent.error();
    // From the first of them on, rather than each by name: a busy day's list of UIDs passes the
    // 64 KB that servers such as dovecot read of one command line.
    if (!recent->isEmpty()) {
        const uint first = *std::min_element(recent->cbegin(), recent->cend());
        if (auto done = co_await takeNew(connection, QByteArray::number(first) + ":*", windowStart); !done)
            co_return done.error();
    }
    if (mailbox->uidNext > 0)
        m_lastUid = std::max(m_lastUid, mailbox->uidNext - 1);
    // A server that failed again and again is trusted again only after a whole IDLE round: until
    // then the mail lists say why, as the inbox list does.
    if (!m_reported)
        m_cache.setProblem(m_inbox.accountId, std::nullopt);
    m_cache.markSettled(m_inbox.accountId);

    // The inbox counts as watched again only after a whole IDLE round: a server that floods or
    // falls silent once idling never gets there. The first round is short so that happens soon.
    for (;;) {
        const auto idled = co_await connection.idle(
            m_watching ? m_timings.idleRenewal : std::min(m_timings.idleRenewal, milliseconds(minutes(1))));
        if (!idled)
            co_return idled.error();
        if (!m_watching && m_reported) {
            m_reported = false;
            m_cache.setProblem(m_inbox.accountId, std::nullopt);
        }
        if (!m_watching && m_problem)
            m_problem(m_inbox, std::nullopt);
        m_watching = true;
        if (*idled)
            if (auto done = co_await takeNew(connection, QByteArray::number(m_lastUid + 1) + ":*", 0); !done)
                co_return done.error();
    }
}

} // namespace tessary::server
