#include "server/ImapConnection.h"

#include "server/HostLookup.h"
#include "server/Wakeup.h"

#include <algorithm>

#include <QDateTime>
#include <QSslConfiguration>
#include <QSslSocket>

namespace tessary::server {

using namespace std::chrono;

namespace {

// All the untagged data one exchange may bring (a day's arrivals, a long SEARCH), in bytes and in
// parsed values (100000 arrivals of 9 values, the response's own list counted; a value costs far
// more parsed than sent), and how many responses one IDLE may bring without news: more is a
// server flooding us.
constexpr qsizetype maxCommandBytes = 16 * 1024 * 1024;
constexpr qsizetype maxCommandValues = 1000000;
constexpr int maxIdleResponses = 10000;

// The number in a response code such as "[UIDVALIDITY 7]" anywhere in a response.
std::optional<uint> responseCode(const QList<ImapValue>& response, const QByteArray& name)
{
    const QByteArray prefix = "[" + name + " ";
    for (const ImapValue& value : response) {
        if (value.kind == ImapValue::Kind::atom && value.text.startsWith(prefix) &&
            value.text.endsWith(']')) {
            bool ok = false;
            const uint number = value.text.mid(prefix.size()).chopped(1).toUInt(&ok);
            if (ok)
                return number;
        }
    }
    return std::nullopt;
}

// A refusal that says the server cannot serve just now (RFC 5530 UNAVAILABLE) is an outage to
// wait out, not a wrong password: the inbox must not be given up for it.
bool isTemporary(const QList<ImapValue>& response)
{
    return response.size() > 2 && response[2].isAtom("[UNAVAILABLE]");
}

} // namespace

ImapConnection::ImapConnection(const ImapSettings& settings, QString host, const WakeFlag* stop)
    : m_settings(settings)
    , m_host(std::move(host))
    , m_stop(stop)
{
}

ImapConnection::~ImapConnection()
{
    if (m_socket)
        m_socket->abort();
}

bool ImapConnection::stopped() const
{
    return m_stop && m_stop->isRaised();
}

ImapError ImapConnection::failure(ImapError::Kind kind) const
{
    switch (kind) {
    case ImapError::Kind::unreachable:
        return {kind, QStringLiteral("Can't reach %1").arg(m_host)};
    case ImapError::Kind::certificate:
        return {kind,
                QStringLiteral("Can't verify that %1 is who it says it is: its certificate is not trusted")
                    .arg(m_host)};
    case ImapError::Kind::login:
        return {kind, QStringLiteral("Wrong email or app password")};
    case ImapError::Kind::closed:
        return {kind, QStringLiteral("%1 closed the connection").arg(m_host)};
    case ImapError::Kind::timeout:
        return {kind, QStringLiteral("%1 stopped answering").arg(m_host)};
    case ImapError::Kind::tooMuch:
        return {kind, QStringLiteral("%1 sent more data than a mailbox needs").arg(m_host)};
    case ImapError::Kind::stopped:
        return {kind, QStringLiteral("Stopped")};
    case ImapError::Kind::privateAddress:
        return {kind,
                QStringLiteral("%1 is on a private network; this backend reaches only mail servers on the "
                               "internet")
                    .arg(m_host)};
    case ImapError::Kind::busy: // said by the caller that turns a check away
    case ImapError::Kind::protocol:
        break;
    }
    return {kind, QStringLiteral("%1 answered in a way Tessary does not understand").arg(m_host)};
}

QCoro::Task<ImapResult<Done>> ImapConnection::connect()
{
    const ImapRoute route = m_settings.routeFor(m_host);
    // Looking up, connecting, the handshake and the greeting share one deadline: a host that
    // accepts and then stays silent must not hold the caller longer than one that cannot be reached.
    const auto deadline = steady_clock::now() + milliseconds(m_settings.connectTimeoutMs);
    const QList<QHostAddress> addresses = co_await lookUpHost(route.address, deadline, m_stop);
    if (stopped())
        co_return Unexpected{failure(ImapError::Kind::stopped)};
    if (addresses.isEmpty())
        co_return Unexpected{failure(ImapError::Kind::unreachable)};
    // Every address of the name is checked, and only those are connected to, by number: a name
    // that answers otherwise when asked again cannot lead past the check.
    const bool routed = m_settings.routes.contains(m_host.toLower());
    if (!m_settings.privateHosts && !routed &&
        !std::all_of(addresses.cbegin(), addresses.cend(), isPublicAddress))
        co_return Unexpected{failure(ImapError::Kind::privateAddress)};
    ImapResult<Done> connected = Unexpected{failure(ImapError::Kind::unreachable)};
    for (const QHostAddress& address : addresses) {
        connected = co_await handshake(address, route.port, deadline);
        if (connected || connected.error().kind != ImapError::Kind::unreachable)
            break;
    }
    if (!connected)
        co_return connected;
    const auto greeting = co_await readResponse(deadline);
    if (!greeting)
        co_return Unexpected{greeting.error()};
    if (!greeting->startsWith("* OK") && !greeting->startsWith("* PREAUTH"))
        co_return Unexpected{failure(ImapError::Kind::unreachable)};
    co_return Done{};
}

QCoro::Task<ImapResult<Done>> ImapConnection::handshake(QHostAddress address, uint16_t port,
                                                        steady_clock::time_point deadline)
{
    m_socket = std::make_unique<QSslSocket>();
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    if (!m_settings.trustedCaFile.isEmpty())
        tls.addCaCertificates(m_settings.trustedCaFile);
    tls.setPeerVerifyMode(QSslSocket::VerifyPeer);
    m_socket->setSslConfiguration(tls);
    m_socket->connectToHostEncrypted(address.toString(), port, m_host);
    while (!m_socket->isEncrypted()) {
        if (stopped())
            co_return Unexpected{failure(ImapError::Kind::stopped)};
        const auto left = duration_cast<milliseconds>(deadline - steady_clock::now());
        if (m_socket->state() == QAbstractSocket::UnconnectedState || left <= milliseconds(0)) {
            const bool certificate = !m_socket->sslHandshakeErrors().isEmpty();
            co_return Unexpected{
                failure(certificate ? ImapError::Kind::certificate : ImapError::Kind::unreachable)};
        }
        Wakeup handshake(m_stop, left);
        handshake.on(m_socket.get(), &QSslSocket::encrypted)
            .on(m_socket.get(), &QAbstractSocket::stateChanged)
            .on(m_socket.get(), &QAbstractSocket::errorOccurred);
        co_await handshake;
    }
    co_return Done{};
}

ImapResult<Done> ImapConnection::send(const QByteArray& line)
{
    if (!m_socket || m_socket->write(line) != line.size())
        return Unexpected{failure(ImapError::Kind::closed)};
    return Done{};
}

QCoro::Task<ImapResult<QByteArray>> ImapConnection::readResponse(steady_clock::time_point deadline)
{
    for (;;) {
        if (auto response = m_reader.next())
            co_return std::move(*response);
        if (m_reader.overLimit())
            co_return Unexpected{failure(ImapError::Kind::tooMuch)};
        if (stopped())
            co_return Unexpected{failure(ImapError::Kind::stopped)};
        const auto left = duration_cast<milliseconds>(deadline - steady_clock::now());
        if (left <= milliseconds(0))
            co_return Unexpected{failure(ImapError::Kind::timeout)};
        if (m_socket->bytesAvailable() > 0) {
            m_reader.feed(m_socket->readAll());
            continue;
        }
        if (m_socket->state() != QAbstractSocket::ConnectedState)
            co_return Unexpected{failure(ImapError::Kind::closed)};
        Wakeup news(m_stop, left);
        news.on(m_socket.get(), &QIODevice::readyRead).on(m_socket.get(), &QAbstractSocket::stateChanged);
        co_await news;
    }
}

QCoro::Task<ImapResult<ImapConnection::Responses>> ImapConnection::command(QByteArray text)
{
    const QByteArray tag = "t" + QByteArray::number(++m_tag);
    if (auto sent = send(tag + ' ' + text + "\r\n"); !sent)
        co_return Unexpected{sent.error()};
    Responses untagged;
    qsizetype untaggedBytes = 0;
    qsizetype valuesLeft = maxCommandValues;
    const auto deadline = steady_clock::now() + milliseconds(m_settings.commandTimeoutMs);
    for (;;) {
        const auto raw = co_await readResponse(deadline);
        if (!raw)
            co_return Unexpected{raw.error()};
        --valuesLeft; // the response's own list, kept even when empty
        QList<ImapValue> response = parseImapResponse(*raw, &valuesLeft);
        if ((untaggedBytes += raw->size()) > maxCommandBytes || valuesLeft < 0)
            co_return Unexpected{failure(ImapError::Kind::tooMuch)};
        if (response.isEmpty() || response[0].text != tag) {
            untagged.append(std::move(response));
            continue;
        }
        if (response.size() < 2 || !response[1].isAtom("OK"))
            co_return Unexpected{
                failure(isTemporary(response) ? ImapError::Kind::unreachable : ImapError::Kind::protocol)};
        co_return untagged;
    }
}

QCoro::Task<ImapResult<Done>> ImapConnection::login(QString user, QString password)
{
    const auto quotedUser = imapQuoted(user.toUtf8());
    const auto quotedPassword = imapQuoted(password.toUtf8());
    if (!quotedUser || !quotedPassword)
        co_return Unexpected{failure(ImapError::Kind::login)};
    if (auto done = co_await command("LOGIN " + *quotedUser + ' ' + *quotedPassword); !done) {
        const bool refused = done.error().kind == ImapError::Kind::protocol;
        co_return Unexpected{refused ? failure(ImapError::Kind::login) : done.error()};
    }
    co_return co_await readCapabilities();
}

QCoro::Task<ImapResult<Done>> ImapConnection::readCapabilities()
{
    const auto capabilities = co_await command("CAPABILITY");
    if (!capabilities)
        co_return Unexpected{capabilities.error()};
    for (const auto& response : *capabilities)
        if (response.size() > 1 && response[1].isAtom("CAPABILITY"))
            for (const ImapValue& value : response.mid(2))
                m_capabilities.insert(value.text.toUpper());
    co_return Done{};
}

QCoro::Task<ImapResult<Done>> ImapConnection::authenticateXOAuth2(QString user, QString accessToken)
{
    const QByteArray tag = "t" + QByteArray::number(++m_tag);
    constexpr char separator = '\x01'; // after each field, and once more at the end
    const QByteArray initial =
        ("user=" + user.toUtf8() + separator + "auth=Bearer " + accessToken.toUtf8() + separator + separator)
            .toBase64();
    if (auto sent = send(tag + " AUTHENTICATE XOAUTH2 " + initial + "\r\n"); !sent)
        co_return sent;
    const auto deadline = steady_clock::now() + milliseconds(m_settings.commandTimeoutMs);
    qsizetype valuesLeft = maxCommandValues;
    for (;;) {
        const auto raw = co_await readResponse(deadline);
        if (!raw)
            co_return Unexpected{raw.error()};
        // A refused token comes back as a challenge holding the reason; the empty answer ends
        // the exchange, and the server then says NO.
        if (raw->startsWith('+')) {
            if (auto sent = send("\r\n"); !sent)
                co_return sent;
            continue;
        }
        const QList<ImapValue> response = parseImapResponse(*raw, &valuesLeft);
        if (valuesLeft < 0)
            co_return Unexpected{failure(ImapError::Kind::tooMuch)};
        if (response.isEmpty() || response[0].text != tag)
            continue;
        if (response.size() >= 2 && !response[1].isAtom("OK") && isTemporary(response))
            co_return Unexpected{failure(ImapError::Kind::unreachable)};
        if (response.size() < 2 || !response[1].isAtom("OK"))
            co_return Unexpected{
                ImapError{ImapError::Kind::login,
                          QStringLiteral("The sign-in to %1 was refused or has expired; connect "
                                         "this inbox again")
                              .arg(m_host)}};
        co_return co_await readCapabilities();
    }
}

QCoro::Task<ImapResult<MailboxState>> ImapConnection::select(QByteArray mailbox)
{
    const auto responses = co_await command("SELECT " + imapQuoted(mailbox).value_or("INBOX"));
    if (!responses)
        co_return Unexpected{responses.error()};
    MailboxState state;
    for (const auto& response : *responses) {
        if (const auto validity = responseCode(response, "UIDVALIDITY"))
            state.uidValidity = *validity;
        if (const auto next = responseCode(response, "UIDNEXT"))
            state.uidNext = *next;
    }
    co_return state;
}

QCoro::Task<ImapResult<QByteArray>> ImapConnection::trashMailbox()
{
    const bool specialUse = m_capabilities.contains("SPECIAL-USE");
    const auto responses = co_await command(specialUse ? "LIST (SPECIAL-USE) \"\" \"*\"" : "LIST \"\" \"*\"");
    if (!responses)
        co_return Unexpected{responses.error()};
    QByteArray named;
    for (const auto& response : *responses) {
        if (response.size() < 5 || !response[1].isAtom("LIST") || response[2].kind != ImapValue::Kind::list)
            continue;
        for (const ImapValue& attribute : response[2].items)
            if (attribute.isAtom("\\Trash"))
                co_return response[4].text;
        if (response[4].text.compare("Trash", Qt::CaseInsensitive) == 0)
            named = response[4].text;
    }
    if (named.isEmpty())
        co_return Unexpected{
            ImapError{ImapError::Kind::protocol,
                      QStringLiteral("%1 has no Trash folder to move the message to").arg(m_host)}};
    co_return named;
}

QCoro::Task<ImapResult<QList<uint>>> ImapConnection::searchSince(QDate day)
{
    const auto responses = co_await command("UID SEARCH SINCE " + imapDate(day));
    if (!responses)
        co_return Unexpected{responses.error()};
    QList<uint> uids;
    for (const auto& response : *responses)
        if (response.size() > 1 && response[1].isAtom("SEARCH"))
            for (const ImapValue& value : response.mid(2))
                if (const uint uid = value.text.toUInt(); uid > 0)
                    uids.append(uid);
    co_return uids;
}

namespace {

FetchedMail fetchedMail(const QList<ImapValue>& response)
{
    FetchedMail mail;
    if (response.size() < 4 || !response[2].isAtom("FETCH") || response[3].kind != ImapValue::Kind::list)
        return mail;
    const auto& items = response[3].items;
    for (qsizetype i = 0; i + 1 < items.size(); i += 2) {
        if (items[i].isAtom("UID"))
            mail.uid = items[i + 1].text.toUInt();
        else if (items[i].isAtom("INTERNALDATE"))
            mail.internalDate = parseInternalDate(items[i + 1].text).value_or(0);
        else if (items[i].text.toUpper().startsWith("BODY["))
            mail.raw = items[i + 1].text;
    }
    return mail;
}

} // namespace

QCoro::Task<ImapResult<QList<FetchedMail>>> ImapConnection::arrivals(QByteArray uidSet)
{
    const auto responses = co_await command("UID FETCH " + uidSet + " (UID INTERNALDATE)");
    if (!responses)
        co_return Unexpected{responses.error()};
    QList<FetchedMail> mails;
    for (const auto& response : *responses)
        if (FetchedMail mail = fetchedMail(response); mail.uid > 0)
            mails.append(std::move(mail));
    co_return mails;
}

QCoro::Task<ImapResult<FetchedMail>> ImapConnection::fetch(uint uid)
{
    // The first 4 MB of a message hold every code and link; a huge attachment need not travel.
    const auto responses =
        co_await command("UID FETCH " + QByteArray::number(uid) + " (UID INTERNALDATE BODY.PEEK[]<0." +
                         QByteArray::number(ImapLimits{}.maxLiteral) + ">)");
    if (!responses)
        co_return Unexpected{responses.error()};
    for (const auto& response : *responses)
        if (FetchedMail mail = fetchedMail(response); mail.uid == uid)
            co_return mail;
    co_return FetchedMail{}; // expunged meanwhile
}

QCoro::Task<ImapResult<bool>> ImapConnection::idle(milliseconds limit)
{
    const QByteArray tag = "t" + QByteArray::number(++m_tag);
    if (auto sent = send(tag + " IDLE\r\n"); !sent)
        co_return Unexpected{sent.error()};
    const auto isTagged = [&tag](const QList<ImapValue>& response) {
        return !response.isEmpty() && response[0].text == tag;
    };
    const auto announcesMail = [](const QList<ImapValue>& response) {
        return response.size() > 2 && response[2].isAtom("EXISTS");
    };
    // Untagged news may come before the continuation; only a tagged answer refuses the IDLE.
    bool newMail = false;
    qsizetype valuesLeft = maxCommandValues; // for the whole exchange, as for a command
    for (const auto accepted = steady_clock::now() + milliseconds(m_settings.commandTimeoutMs);;) {
        const auto raw = co_await readResponse(accepted);
        if (!raw)
            co_return Unexpected{raw.error()};
        if (raw->startsWith('+'))
            break;
        const QList<ImapValue> response = parseImapResponse(*raw, &valuesLeft);
        if (valuesLeft < 0)
            co_return Unexpected{failure(ImapError::Kind::tooMuch)};
        if (isTagged(response))
            co_return Unexpected{failure(ImapError::Kind::protocol)};
        newMail = newMail || announcesMail(response);
    }
    const auto deadline = steady_clock::now() + limit;
    for (int responses = 0; !newMail && !stopped() && steady_clock::now() < deadline; ++responses) {
        if (responses > maxIdleResponses)
            co_return Unexpected{failure(ImapError::Kind::tooMuch)};
        const auto raw = co_await readResponse(deadline);
        if (!raw) {
            if (raw.error().kind == ImapError::Kind::timeout)
                break; // time to renew
            co_return Unexpected{raw.error()};
        }
        const QList<ImapValue> response = parseImapResponse(*raw, &valuesLeft);
        if (valuesLeft < 0)
            co_return Unexpected{failure(ImapError::Kind::tooMuch)};
        if (isTagged(response))
            co_return Unexpected{failure(ImapError::Kind::closed)}; // the server ended the IDLE itself
        newMail = announcesMail(response);
    }
    if (stopped())
        co_return Unexpected{failure(ImapError::Kind::stopped)};
    if (auto sent = send("DONE\r\n"); !sent)
        co_return Unexpected{sent.error()};
    // The answer to DONE is the read deadline that unmasks a server gone silent.
    const auto answered = steady_clock::now() + milliseconds(m_settings.commandTimeoutMs);
    for (int responses = 0;; ++responses) {
        const auto raw = co_await readResponse(answered);
        if (!raw)
            co_return Unexpected{raw.error()};
        if (responses > maxIdleResponses)
            co_return Unexpected{failure(ImapError::Kind::tooMuch)};
        const QList<ImapValue> response = parseImapResponse(*raw, &valuesLeft);
        if (valuesLeft < 0)
            co_return Unexpected{failure(ImapError::Kind::tooMuch)};
        if (isTagged(response))
            co_return newMail;
        newMail = newMail || announcesMail(response);
    }
}

QCoro::Task<ImapResult<Done>> ImapConnection::moveTo(uint uid, QByteArray mailbox)
{
    const QByteArray target = imapQuoted(mailbox).value_or("Trash");
    const QByteArray set = QByteArray::number(uid);
    if (m_capabilities.contains("MOVE")) {
        if (auto moved = co_await command("UID MOVE " + set + ' ' + target); !moved)
            co_return Unexpected{moved.error()};
        co_return Done{};
    }
    for (const QByteArray& step :
         {"UID COPY " + set + ' ' + target, "UID STORE " + set + " +FLAGS.SILENT (\\Deleted)",
          m_capabilities.contains("UIDPLUS") ? "UID EXPUNGE " + set : QByteArray("EXPUNGE")})
        if (auto done = co_await command(step); !done)
            co_return Unexpected{done.error()};
    co_return Done{};
}

QCoro::Task<ImapResult<Done>> ImapConnection::logout()
{
    if (!m_socket || m_socket->state() != QAbstractSocket::ConnectedState)
        co_return Done{};
    const auto answered = co_await command("LOGOUT");
    m_socket->disconnectFromHost();
    if (!answered)
        co_return Unexpected{answered.error()};
    co_return Done{};
}

} // namespace tessary::server
