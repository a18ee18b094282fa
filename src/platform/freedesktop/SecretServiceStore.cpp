#include "platform/freedesktop/SecretServiceStore.h"

#include "common/Logging.h"
#include "platform/freedesktop/DefaultKeyring.h"

#include <QCoro/QCoroSignal>
#include <QPointer>
#include <qt6keychain/keychain.h>

namespace tessary {

namespace {

bool meansUnavailable(std::optional<QKeychain::Error> error);

// Starts the job and waits for it without a nested event loop. Returns the job's error, or
// nothing when it did not finish in time. The job deletes itself once it finishes, even late.
// A keyring that cannot be used leaves one line saying why; the token then stays in its file.
QCoro::Task<std::optional<QKeychain::Error>> runJob(QKeychain::Job* job, std::chrono::milliseconds timeout)
{
    job->setAutoDelete(true);
    job->setInsecureFallback(false);
    QPointer<QKeychain::Job> guard(job);
    job->start();
    const auto finished = co_await qCoro(job, &QKeychain::Job::finished, timeout);
    if (!finished || !guard)
        co_return std::nullopt;
    if (meansUnavailable(guard->error()))
        qCWarning(logDesktop).noquote() << "the Secret Service refused:" << guard->errorString();
    co_return guard->error();
}

// Anything but an answer about the item itself: no service on the bus (QtKeychain reports a
// missing bus as OtherError), a refused or failed unlock. The store is then skipped for the rest
// of the process rather than asked again. A job that ran out of time is not such an answer.
bool meansUnavailable(std::optional<QKeychain::Error> error)
{
    return error && *error != QKeychain::NoError && *error != QKeychain::EntryNotFound &&
           *error != QKeychain::CouldNotDeleteEntry;
}

} // namespace

SecretServiceStore::SecretServiceStore(QString service, std::chrono::milliseconds jobTimeout)
    : m_service(std::move(service))
    , m_jobTimeout(jobTimeout)
{
}

void SecretServiceStore::heard(bool silent, bool unavailable)
{
    if (silent && !m_silent)
        qCWarning(logDesktop, "the Secret Service did not answer within %lld ms; it is asked again later",
                  qint64(m_jobTimeout.count()));
    m_silent = silent;
    m_available = m_available && !unavailable;
}

QCoro::Task<bool> SecretServiceStore::usable()
{
    if (!m_available)
        co_return false;
    const DefaultKeyring state = co_await defaultKeyring(QDBusConnection::sessionBus(), m_jobTimeout);
    const bool closed = state == DefaultKeyring::locked || state == DefaultKeyring::unusable;
    if (closed && m_available && !m_saidLocked)
        qCWarning(logDesktop, "the Secret Service has no unlocked default keyring; secrets stay in files");
    m_saidLocked = m_saidLocked || state == DefaultKeyring::locked;
    heard(state == DefaultKeyring::silent, state == DefaultKeyring::unusable);
    const bool open = m_available && state == DefaultKeyring::open;
    co_return open;
}

// A keyring that has just not answered may hold the value: it counts as withheld until it answers.
QCoro::Task<bool> SecretServiceStore::isWithheld(QString key)
{
    if (!m_available)
        co_return false;
    if (m_silent)
        co_return true;
    const DefaultKeyring state = co_await defaultKeyring(QDBusConnection::sessionBus(), m_jobTimeout);
    heard(state == DefaultKeyring::silent);
    if (state != DefaultKeyring::locked)
        co_return state == DefaultKeyring::silent;
    const bool held = co_await lockedItemHeld(QDBusConnection::sessionBus(), m_service, key, m_jobTimeout);
    co_return held;
}

QCoro::Task<std::optional<QString>> SecretServiceStore::keychainGet(QString key)
{
    const bool usable = co_await this->usable();
    if (!usable)
        co_return std::nullopt;
    auto* job = new QKeychain::ReadPasswordJob(m_service);
    job->setKey(key);
    QPointer<QKeychain::ReadPasswordJob> guard(job);
    const auto error = co_await runJob(job, m_jobTimeout);
    heard(!error, meansUnavailable(error));
    if (!error || *error != QKeychain::NoError || !guard)
        co_return std::nullopt;
    const QByteArray bytes = guard->binaryData();
    QString text = QString::fromUtf8(bytes);
    if (text.toUtf8() != bytes)
        co_return std::nullopt; // not UTF-8
    co_return text;
}

QCoro::Task<bool> SecretServiceStore::keychainSet(QString key, QString value)
{
    const bool usable = co_await this->usable();
    if (!usable)
        co_return false;
    auto* job = new QKeychain::WritePasswordJob(m_service);
    job->setKey(key);
    job->setBinaryData(value.toUtf8());
    const auto error = co_await runJob(job, m_jobTimeout);
    heard(!error, meansUnavailable(error));
    co_return error&&* error == QKeychain::NoError;
}

QCoro::Task<> SecretServiceStore::keychainDelete(QString key)
{
    const bool usable = co_await this->usable();
    if (!usable)
        co_return;
    auto* job = new QKeychain::DeletePasswordJob(m_service);
    job->setKey(key);
    const auto error = co_await runJob(job, m_jobTimeout);
    heard(!error, meansUnavailable(error));
}

QString SecretServiceStore::location() const
{
    return QStringLiteral("Secret Service (service %1)").arg(m_service);
}

} // namespace tessary
