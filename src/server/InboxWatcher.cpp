#include "server/InboxWatcher.h"

#include "server/MailRecord.h"

#include <QDateTime>
#include <QJsonArray>

namespace tessary::server {

using namespace std::chrono;

CachedMessage cachedMessage(const QString& accountId, uint uidValidity, const FetchedMail& mail)
{
    const MailRecord record = readMail(mail.raw);
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
                           WatchTimings timings, SecretKeeper keep, RefusalReporter refused)
    : m_inbox(std::move(inbox))
    , m_keep(std::move(keep))
    , m_refused(std::move(refused))
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
    while (!m_stop) {
        const auto started = steady_clock::now();
        // A session that merely ended is no news; one that could not be opened is, to every request
        // that waits on it. A refused sign-in ends the watch; any other way out is a lost
        // connection, tried again after a pause.
        const auto watched = watchOnce();
        if (!watched && watched.error().kind != ImapError::Kind::closed &&
            watched.error().kind != ImapError::Kind::stopped)
            m_cache.setProblem(m_inbox.accountId, watched.error().message);
        m_cache.markSettled(m_inbox.accountId);
        if (!watched && watched.error().kind == ImapError::Kind::login) {
            if (m_refused)
                m_refused(m_inbox, watched.error().message);
            return;
        }
        if (steady_clock::now() - started > minutes(1))
            backoff = m_timings.firstBackoff; // it had been working; this is a fresh outage
        pause(backoff);
        backoff = std::min(backoff * 2, m_timings.maxBackoff);
    }
}

ImapResult<Done> InboxWatcher::takeNew(ImapSession& session, const QByteArray& uidSet, double notBefore)
{
    const auto mails = session.fetch(uidSet);
    if (!mails)
        return Unexpected{mails.error()};
    for (const FetchedMail& mail : *mails) {
        if (mail.uid <= m_lastUid && notBefore == 0)
            continue; // "n:*" always names the newest message, even one already taken
        m_lastUid = std::max(m_lastUid, mail.uid);
        if (mail.internalDate >= notBefore)
            m_cache.add(cachedMessage(m_inbox.accountId, m_uidValidity, mail));
    }
    return Done{};
}

ImapResult<Done> InboxWatcher::watchOnce()
{
    ImapSession session(m_settings, m_inbox.host);
    if (auto done = session.connect(); !done)
        return done;
    const QString secret = m_inbox.secret;
    const auto signedIn = signIn(session, m_settings, m_inbox);
    if (m_inbox.secret != secret && m_keep)
        m_keep(m_inbox);
    if (!signedIn)
        return signedIn;
    const auto mailbox = session.select("INBOX");
    if (!mailbox)
        return Unexpected{mailbox.error()};
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
        return Unexpected{recent.error()};
    QByteArrayList uids;
    for (const uint uid : *recent)
        uids.append(QByteArray::number(uid));
    if (!uids.isEmpty())
        if (auto done = takeNew(session, uids.join(','), windowStart); !done)
            return done;
    if (mailbox->uidNext > 0)
        m_lastUid = std::max(m_lastUid, mailbox->uidNext - 1);
    m_cache.setProblem(m_inbox.accountId, std::nullopt);
    m_cache.markSettled(m_inbox.accountId);

    while (!m_stop) {
        const auto idled = session.idle(m_stop, m_timings.idleRenewal);
        if (!idled)
            return Unexpected{idled.error()};
        if (*idled)
            if (auto done = takeNew(session, QByteArray::number(m_lastUid + 1) + ":*", 0); !done)
                return done;
    }
    session.logout();
    return Done{};
}

} // namespace tessary::server
