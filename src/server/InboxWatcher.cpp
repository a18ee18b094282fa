#include "server/InboxWatcher.h"

#include "server/MailRecord.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>

namespace tessary::server {

using namespace std::chrono;

namespace {
constexpr qsizetype maxTakenAtOnce = 100; // messages fetched for one announcement or reconnection
// Of a message's text, enough for any code or link: a few of the longest still fit the 16 MB the
// app accepts in one reply.
constexpr qsizetype maxTextLength = 1024 * 1024;
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

ImapResult<Done> signIn(ImapSession& session, const ImapSettings& settings, WatchedInbox& inbox)
{
    if (inbox.provider == QLatin1String("imap"))
        return session.login(inbox.email, inbox.secret);
    const auto provider = settings.oauth.constFind(inbox.provider);
    if (provider == settings.oauth.constEnd())
        return Unexpected{ImapError{
            ImapError::Kind::login,
            QStringLiteral("Signing in with %1 is no longer set up on this backend").arg(inbox.provider)}};
    const auto tokens = refreshAccess(*provider, inbox.secret);
    if (!tokens) // only a withdrawn grant is a refusal; an unreachable provider is an outage
        return Unexpected{
            ImapError{tokens.error().revoked ? ImapError::Kind::login : ImapError::Kind::unreachable,
                      tokens.error().message}};
    if (!tokens->refreshToken.isEmpty())
        inbox.secret = tokens->refreshToken;
    return session.authenticateXOAuth2(inbox.email, tokens->accessToken);
}

InboxWatcher::InboxWatcher(WatchedInbox inbox, const ImapSettings& settings, MessageCache& cache,
                           WatchTimings timings, SecretKeeper keep, RefusalReporter refused,
                           ProblemReporter problem)
    : m_inbox(std::move(inbox))
    , m_keep(std::move(keep))
    , m_refused(std::move(refused))
    , m_problem(std::move(problem))
    , m_settings(settings)
    , m_cache(cache)
    , m_timings(timings)
    , m_thread([this] { run(); })
{
}

InboxWatcher::~InboxWatcher()
{
    {
        std::lock_guard lock(m_pauseMutex);
        m_stop = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

void InboxWatcher::pause(milliseconds duration)
{
    std::unique_lock lock(m_pauseMutex);
    m_wake.wait_for(lock, duration, [this] { return m_stop.load(); });
}

void InboxWatcher::run()
{
    milliseconds backoff = m_timings.firstBackoff;
    int failures = 0;
    while (!m_stop) {
        m_watching = false;
        const ImapError failed = watchOnce();
        if (m_stop)
            return;
        // A refused sign-in ends the watch. Any other way out is tried again after a pause; a
        // connection that watched for a while and then ended is no news, but connections that
        // fail again and again (a server that closes at SELECT, floods, or stays silent) are.
        if (failed.kind == ImapError::Kind::login) {
            m_cache.setProblem(m_inbox.accountId, failed.message);
            m_cache.markSettled(m_inbox.accountId);
            if (m_refused)
                m_refused(m_inbox, failed.message);
            return;
        }
        if (m_watching) {
            failures = 0;
            backoff = m_timings.firstBackoff;
        }
        const bool persistent = !m_watching && ++failures >= m_timings.failuresBeforeReport;
        if (failed.kind != ImapError::Kind::closed || persistent)
            m_cache.setProblem(m_inbox.accountId, failed.message);
        if (persistent && m_problem)
            m_problem(m_inbox, failed.message);
        m_cache.markSettled(m_inbox.accountId);
        pause(backoff);
        backoff = std::min(backoff * 2, m_timings.maxBackoff);
    }
}

ImapResult<Done> InboxWatcher::takeNew(ImapSession& session, const QByteArray& uidSet, double notBefore)
{
    const auto arrived = session.arrivals(uidSet);
    if (!arrived)
        return Unexpected{arrived.error()};
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
        const auto mail = session.fetch(arrival.uid);
        if (!mail)
            return Unexpected{mail.error()};
        if (mail->uid > 0)
            m_cache.add(cachedMessage(m_inbox.accountId, m_uidValidity, *mail));
    }
    return Done{};
}

ImapError InboxWatcher::watchOnce()
{
    ImapSession session(m_settings, m_inbox.host, &m_stop);
    if (auto done = session.connect(); !done)
        return done.error();
    const QString secret = m_inbox.secret;
    const auto signedIn = signIn(session, m_settings, m_inbox);
    if (m_inbox.secret != secret && m_keep)
        m_keep(m_inbox);
    if (!signedIn)
        return signedIn.error();
    const auto mailbox = session.select("INBOX");
    if (!mailbox)
        return mailbox.error();
    if (mailbox->uidValidity != m_uidValidity) {
        m_uidValidity = mailbox->uidValidity; // the old UIDs mean nothing any more
        m_lastUid = 0;
    }
    // SEARCH SINCE counts whole days in the server's zone: ask from the day before, then keep
    // only what arrived within the window.
    const double windowStart = double(QDateTime::currentSecsSinceEpoch() - m_timings.backfill.count());
    const QDate day = QDateTime::fromSecsSinceEpoch(qint64(windowStart), Qt::UTC).date().addDays(-1);
    const auto recent = session.searchSince(day);
    if (!recent)
        return recent.error();
    QByteArrayList uids;
    for (const uint uid : *recent)
        uids.append(QByteArray::number(uid));
    if (!uids.isEmpty())
        if (auto done = takeNew(session, uids.join(','), windowStart); !done)
            return done.error();
    if (mailbox->uidNext > 0)
        m_lastUid = std::max(m_lastUid, mailbox->uidNext - 1);
    m_cache.setProblem(m_inbox.accountId, std::nullopt);
    m_cache.markSettled(m_inbox.accountId);

    // The inbox counts as watched again only after a whole IDLE round: a server that floods or
    // falls silent once idling never gets there. The first round is short so that happens soon.
    for (;;) {
        const auto idled = session.idle(
            m_watching ? m_timings.idleRenewal : std::min(m_timings.idleRenewal, milliseconds(minutes(1))));
        if (!idled)
            return idled.error();
        if (!m_watching && m_problem)
            m_problem(m_inbox, std::nullopt);
        m_watching = true;
        if (*idled)
            if (auto done = takeNew(session, QByteArray::number(m_lastUid + 1) + ":*", 0); !done)
                return done.error();
    }
}

} // namespace tessary::server
