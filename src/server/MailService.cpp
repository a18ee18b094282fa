#include "server/MailService.h"

namespace tessary::server {

namespace {
// Checks of a new inbox's password at once: each holds an HTTP worker while the mail server
// answers, so a burst of adds naming a silent host must not take every worker.
constexpr int maxVerifying = 8;
} // namespace

MailService::MailService(Storage& storage, const CredentialCipher& cipher, ImapSettings settings,
                         MessageCache& cache, WatchTimings timings)
    : m_storage(storage)
    , m_cipher(cipher)
    , m_settings(std::move(settings))
    , m_privateHosts(m_settings.privateHosts)
    , m_cache(cache)
    , m_timings(timings)
{
}

ImapSettings MailService::settings() const
{
    ImapSettings settings = m_settings;
    settings.privateHosts = m_privateHosts;
    return settings;
}

void MailService::stop()
{
    m_stopping = true;
    std::lock_guard lock(m_mutex);
    for (const auto& watcher : std::as_const(m_watchers))
        watcher->stop(); // all at once: each then ends as soon as its loop gets to it
}

MailService::~MailService()
{
    stop();
    QHash<QString, std::shared_ptr<InboxWatcher>> watchers;
    {
        std::lock_guard lock(m_mutex);
        watchers.swap(m_watchers);
    }
    watchers.clear(); // each watcher stops and waits for its watch to end
}

std::optional<QString> MailService::secretOf(const StoredAccount& account) const
{
    const auto sealed = m_storage.credential(account.id);
    if (!sealed)
        return std::nullopt;
    const auto plain = m_cipher.open(*sealed, account.id.toUtf8());
    if (!plain)
        return std::nullopt;
    return QString::fromUtf8(*plain);
}

void MailService::keepSecret(const WatchedInbox& inbox)
{
    m_storage.updateCredential(inbox.accountId,
                               m_cipher.seal(inbox.secret.toUtf8(), inbox.accountId.toUtf8()));
}

void MailService::refused(const WatchedInbox& inbox, const QString&)
{
    // Short enough for the inbox list's one line; the full reason went to the request that met it.
    setProblem(inbox.accountId,
               inbox.provider == QLatin1String("imap")
                   ? QStringLiteral("The app password was refused; add this inbox again with a new one")
                   : QStringLiteral("The sign-in was revoked or has expired; connect this inbox again"));
}

void MailService::setProblem(const QString& accountId, std::optional<QString> problem)
{
    m_cache.setListedProblem(accountId, std::move(problem));
}

std::optional<QString> MailService::problem(const QString& accountId) const
{
    return m_cache.listedProblem(accountId);
}

void MailService::watchStored(const StoredAccount& account)
{
    if (const auto secret = secretOf(account)) {
        watch(account, *secret);
        return;
    }
    // Sealed under a key this start could not get, such as one in a locked keyring. The mail lists
    // say so at once too, as for a refused password, rather than wait for a read that never comes
    // and then answer "no mail".
    const QString problem =
        QStringLiteral("The saved password can't be read; unlock the keyring and restart");
    setProblem(account.id, problem);
    m_cache.setProblem(account.id, problem);
    m_cache.markSettled(account.id);
}

void MailService::watch(const StoredAccount& account, const QString& secret)
{
    unwatch(account.id); // the old watch ends first, so a refusal it reports cannot outlive it
    auto watcher = std::make_shared<InboxWatcher>(
        m_loops, WatchedInbox{account.id, account.provider, account.host, account.email, secret}, settings(),
        m_cache, m_timings, [this](const WatchedInbox& inbox) { keepSecret(inbox); },
        [this](const WatchedInbox& inbox, const QString& message) { refused(inbox, message); },
        [this](const WatchedInbox& inbox, std::optional<QString> problem) {
            setProblem(inbox.accountId, std::move(problem));
        });
    std::shared_ptr<InboxWatcher> raced; // a watch started meanwhile; stopped outside the lock
    std::lock_guard lock(m_mutex);
    raced = m_watchers.take(account.id);
    m_watchers.insert(account.id, std::move(watcher));
}

void MailService::unwatch(const QString& accountId)
{
    release(accountId);
    m_cache.dropAccount(accountId); // its messages and state, problems included
}

void MailService::release(const QString& accountId)
{
    std::shared_ptr<InboxWatcher> watcher;
    {
        std::lock_guard lock(m_mutex);
        watcher = m_watchers.take(accountId);
    }
    watcher.reset(); // stops it outside the lock: its loop must get round to it
}

ImapResult<Done> MailService::verify(const QString& host, const QString& email, const QString& password) const
{
    struct Slot {
        std::atomic<int>& count;
        const bool taken = ++count <= maxVerifying;
        ~Slot() { --count; }
    } slot{m_verifying};
    ImapSession session(settings(), host, &m_stopping);
    if (!slot.taken)
        return Unexpected{ImapError{
            ImapError::Kind::busy,
            QStringLiteral("The backend is busy checking other inboxes; please try again in a moment")}};
    if (auto done = session.connect(); !done)
        return done;
    if (auto done = session.login(email, password); !done)
        return done;
    if (auto opened = session.select("INBOX"); !opened)
        return Unexpected{opened.error()};
    session.logout();
    return Done{};
}

Expected<Done, QString> MailService::trash(const StoredAccount& account, const CachedMessage& message)
{
    const auto secret = secretOf(account);
    if (!secret)
        return Unexpected{QStringLiteral("This inbox's sign-in is missing; remove it and add it again")};
    const ImapSettings settings = this->settings();
    ImapSession session(settings, account.host, &m_stopping);
    const auto fail = [](const ImapError& error) { return Unexpected{error.message}; };
    if (auto done = session.connect(); !done)
        return fail(done.error());
    WatchedInbox inbox{account.id, account.provider, account.host, account.email, *secret};
    const auto signedIn = session.wait(signIn(session.connection(), settings, inbox));
    if (inbox.secret != *secret)
        keepSecret(inbox);
    if (!signedIn && signedIn.error().kind == ImapError::Kind::login)
        refused(inbox, signedIn.error().message);
    if (!signedIn)
        return fail(signedIn.error());
    const auto mailbox = session.select("INBOX");
    if (!mailbox)
        return fail(mailbox.error());
    if (mailbox->uidValidity != message.uidValidity)
        return Unexpected{QStringLiteral("This message is no longer in the inbox")};
    const auto trashFolder = session.trashMailbox();
    if (!trashFolder)
        return fail(trashFolder.error());
    if (auto moved = session.moveTo(message.uid, *trashFolder); !moved)
        return fail(moved.error());
    session.logout();
    m_cache.remove(message.id);
    return Done{};
}

} // namespace tessary::server
