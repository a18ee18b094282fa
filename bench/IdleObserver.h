#pragma once

#include "server/DovecotServer.h"
#include "server/ImapSession.h"

#include <atomic>
#include <chrono>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace tessary::bench {

// Dovecot's own IDLE notice, seen by a plain client on the same inbox: when each EXISTS arrives,
// stamped by `now` (a steady clock, or wall-clock milliseconds to set beside a log's times).
template <class Stamp>
class IdleObserver {
public:
    IdleObserver(const test::DovecotServer& dovecot, const QString& user, Stamp (*now)())
    {
        m_settings.trustedCaFile = dovecot.caFile();
        m_settings.routes.insert(test::DovecotServer::hostName,
                                 {QStringLiteral("127.0.0.1"), dovecot.port()});
        m_thread = std::thread([this, user, now] {
            server::ImapSession session(m_settings, test::DovecotServer::hostName, &m_stop);
            if (!session.connect() || !session.login(user, test::DovecotServer::password) ||
                !session.select("INBOX"))
                return;
            while (!m_stop) {
                const auto noticed = session.idle(std::chrono::seconds(60));
                if (!noticed)
                    return;
                if (*noticed) {
                    std::lock_guard lock(m_mutex);
                    m_notices.push_back(now());
                }
            }
        });
    }
    ~IdleObserver()
    {
        m_stop = true;
        m_thread.join();
    }
    IdleObserver(const IdleObserver&) = delete;
    IdleObserver& operator=(const IdleObserver&) = delete;

    // The first notice at or after `start`.
    std::optional<Stamp> noticeAfter(Stamp start)
    {
        std::lock_guard lock(m_mutex);
        for (const Stamp& notice : m_notices)
            if (notice >= start)
                return notice;
        return std::nullopt;
    }

private:
    server::ImapSettings m_settings;
    std::atomic<bool> m_stop{false};
    std::mutex m_mutex;
    std::vector<Stamp> m_notices;
    std::thread m_thread;
};

} // namespace tessary::bench
