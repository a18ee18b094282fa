#include "server/PostgresNews.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>

#include <libpq-fe.h>

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace tessary::server {

namespace {

Q_LOGGING_CATEGORY(logNews, "tessary.server.news", QtWarningMsg)

constexpr const char* channel = "tessary_news";
constexpr std::size_t maxOutbox = 4096;
constexpr int reconnectPauseMs = 1000;

QJsonValue optionalText(const std::optional<QString>& text)
{
    return text ? QJsonValue(*text) : QJsonValue();
}

std::optional<QString> textOrNothing(const QJsonValue& value)
{
    return value.isString() ? std::optional(value.toString()) : std::nullopt;
}

// Runs one statement on the news connection; true when it succeeded.
bool execute(pg_conn* connection, const char* sql, const std::vector<QByteArray>& parameters)
{
    std::vector<const char*> values;
    for (const QByteArray& parameter : parameters)
        values.push_back(parameter.isNull() ? nullptr : parameter.constData());
    PGresult* result =
        PQexecParams(connection, sql, int(values.size()), nullptr, values.data(), nullptr, nullptr, 0);
    const ExecStatusType status = PQresultStatus(result);
    PQclear(result);
    return status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK;
}

} // namespace

PostgresNews::PostgresNews(QString url, QString instance, MessageCache& cache,
                           std::function<void()> listening)
    : m_url(std::move(url))
    , m_instance(std::move(instance))
    , m_cache(cache)
    , m_listening(std::move(listening))
    , m_wake(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC))
{
}

PostgresNews::~PostgresNews()
{
    stop();
    close(m_wake);
}

QByteArray PostgresNews::payload(const char* kind, const QJsonValue& value) const
{
    return QJsonDocument(QJsonObject{{"from", m_instance}, {kind, value}}).toJson(QJsonDocument::Compact);
}

void PostgresNews::start()
{
    CacheNews news;
    news.mailTaken = [this](const CachedMessage& message) {
        const QJsonObject mail{
            {"id", message.id}, {"account", message.accountId}, {"at", message.receivedAt}};
        enqueue({payload("mail", mail), {}, {}, false});
    };
    news.stateChanged = [this](const QString& accountId, const InboxState& state) {
        const QJsonObject inbox{{"account", accountId},
                                {"settled", state.settled},
                                {"problem", optionalText(state.problem)},
                                {"listed", optionalText(state.listedProblem)}};
        enqueue({payload("inbox", inbox), accountId, state, true});
    };
    news.mailRemoved = [this](const QString& id) { enqueue({payload("gone", id), {}, {}, false}); };
    m_cache.tell(std::move(news));
    connect(); // here, so what this instance learns from the others next misses no notice
    m_thread = std::thread([this] { run(); });
}

void PostgresNews::stop()
{
    m_cache.tell({});
    m_stopping = true;
    eventfd_write(m_wake, 1);
    if (m_thread.joinable())
        m_thread.join();
    disconnect();
}

void PostgresNews::enqueue(Notice notice)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_outbox.size() >= maxOutbox)
            m_outbox.pop_front();
        m_outbox.push_back(std::move(notice));
    }
    eventfd_write(m_wake, 1);
}

void PostgresNews::run()
{
    while (!m_stopping) {
        if (!m_connection && !connect()) {
            pollfd woken{m_wake, POLLIN, 0};
            poll(&woken, 1, reconnectPauseMs);
            eventfd_t ignored;
            eventfd_read(m_wake, &ignored);
            continue;
        }
        for (;;) {
            std::optional<Notice> next;
            {
                std::lock_guard lock(m_mutex);
                if (!m_outbox.empty())
                    next = m_outbox.front();
            }
            if (!next || !send(*next))
                break;
            std::lock_guard lock(m_mutex);
            if (!m_outbox.empty())
                m_outbox.pop_front();
        }
        if (!m_connection || !PQconsumeInput(m_connection)) {
            disconnect();
            continue;
        }
        while (PGnotify* notice = PQnotifies(m_connection)) {
            received(QByteArray(notice->extra));
            PQfreemem(notice);
        }
        pollfd ready[2] = {{PQsocket(m_connection), POLLIN, 0}, {m_wake, POLLIN, 0}};
        poll(ready, 2, -1);
        if (ready[1].revents) {
            eventfd_t ignored;
            eventfd_read(m_wake, &ignored);
        }
    }
}

bool PostgresNews::connect()
{
    m_connection = PQconnectdb(m_url.toUtf8().constData());
    if (PQstatus(m_connection) != CONNECTION_OK ||
        !execute(m_connection, (QByteArray("LISTEN ") + channel).constData(), {})) {
        if (!m_outage) // once an outage, not at every attempt
            qCWarning(logNews).noquote() << "the database is out of reach for news of other instances:"
                                         << QString::fromUtf8(PQerrorMessage(m_connection)).trimmed();
        m_outage = true;
        disconnect();
        return false;
    }
    m_outage = false;
    // Listening first: what changes while the table is read, or the others are asked, comes as a
    // notice after it.
    readStates();
    if (m_listening)
        m_listening();
    return true;
}

void PostgresNews::disconnect()
{
    if (m_connection)
        PQfinish(m_connection);
    m_connection = nullptr;
}

void PostgresNews::readStates()
{
    const QByteArray instance = m_instance.toUtf8();
    const char* parameter = instance.constData();
    PGresult* result = PQexecParams(
        m_connection,
        "SELECT account_id, settled, problem, listed_problem, problem IS NULL, listed_problem IS NULL "
        "FROM inbox_states WHERE holder <> $1",
        1, nullptr, &parameter, nullptr, nullptr, 0);
    for (int row = 0; PQresultStatus(result) == PGRES_TUPLES_OK && row < PQntuples(result); ++row) {
        const auto text = [&](int column) { return QString::fromUtf8(PQgetvalue(result, row, column)); };
        const auto isTrue = [&](int column) { return *PQgetvalue(result, row, column) == 't'; };
        m_cache.setRemoteState(text(0),
                               InboxState{isTrue(1), isTrue(4) ? std::nullopt : std::optional(text(2)),
                                          isTrue(5) ? std::nullopt : std::optional(text(3))});
    }
    PQclear(result);
}

bool PostgresNews::send(const Notice& notice)
{
    if (!m_connection)
        return false;
    const bool sent =
        notice.isState
            ? execute(m_connection,
                      "WITH kept AS (INSERT INTO inbox_states (account_id, holder, settled, problem, "
                      "listed_problem) VALUES ($2, $3, $4, $5, $6) ON CONFLICT (account_id) DO UPDATE SET "
                      "holder = $3, settled = $4, problem = $5, listed_problem = $6) "
                      "SELECT pg_notify($7, $1)",
                      {notice.payload, notice.accountId.toUtf8(), m_instance.toUtf8(),
                       notice.state.settled ? "true" : "false",
                       notice.state.problem ? notice.state.problem->toUtf8() : QByteArray(),
                       notice.state.listedProblem ? notice.state.listedProblem->toUtf8() : QByteArray(),
                       channel})
            : execute(m_connection, "SELECT pg_notify($2, $1)", {notice.payload, channel});
    if (!sent && PQstatus(m_connection) != CONNECTION_OK) {
        disconnect();
        return false;
    }
    return true; // a state for an inbox removed meanwhile is dropped, not tried again
}

void PostgresNews::received(const QByteArray& payload)
{
    const QJsonObject notice = QJsonDocument::fromJson(payload).object();
    if (notice.value("from").toString() == m_instance)
        return;
    const QString holder = notice.value("from").toString();
    if (const QJsonObject mail = notice.value("mail").toObject(); !mail.isEmpty()) {
        CachedMessage message;
        message.id = mail.value("id").toString();
        message.accountId = mail.value("account").toString();
        message.receivedAt = mail.value("at").toDouble();
        message.holder = holder;
        m_cache.addRemote(std::move(message));
    } else if (notice.value("gone").isString()) {
        m_cache.removeRemote(notice.value("gone").toString());
    } else if (const QJsonObject inbox = notice.value("inbox").toObject(); !inbox.isEmpty()) {
        m_cache.setRemoteState(inbox.value("account").toString(),
                               InboxState{inbox.value("settled").toBool(),
                                          textOrNothing(inbox.value("problem")),
                                          textOrNothing(inbox.value("listed"))});
    }
}

} // namespace tessary::server
