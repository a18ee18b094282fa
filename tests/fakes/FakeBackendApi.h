#pragma once

#include "backend/BackendApi.h"

#include <functional>
#include <vector>

namespace tessary::test {

// The answers of one endpoint, one per call in order; the last answer repeats once the script
// runs out. An endpoint without a script fails with a message naming it, so an unexpected call
// shows in the test's output. `calls` counts what was asked.
template <class T>
struct EndpointScript {
    std::vector<BackendResult<T>> replies;
    int calls = 0;
    // Runs on every call before the reply is taken, with the call's number (1 for the first):
    // where a test acts "while" the code under test waits for the backend.
    std::function<void(int call)> onCall;

    BackendResult<T> next(const char* endpoint)
    {
        ++calls;
        if (onCall)
            onCall(calls);
        if (replies.empty())
            return Unexpected{BackendError{0, QStringLiteral("no reply scripted for %1").arg(endpoint)}};
        return replies.at(std::min<size_t>(size_t(calls - 1), replies.size() - 1));
    }
};

// The backend's endpoints with scripted answers; every argument is recorded.
class FakeBackendApi : public BackendApi {
public:
    EndpointScript<QList<Account>> accountsScript;
    EndpointScript<ConnectLink> connectScript;
    EndpointScript<Account> addIMAPScript;
    EndpointScript<Done> removeScript;
    EndpointScript<QList<Message>> messagesScript;
    EndpointScript<QSet<QString>> messageIdsScript;
    EndpointScript<Done> trashScript;

    QStringList connectedProviders;
    QList<QStringList> addedIMAP; // email, password, host
    QStringList removedAccounts;
    QList<TimePoint> messagesSince;
    QStringList trashed;

    QCoro::Task<BackendResult<QList<Account>>> accounts(CancelToken = {}) override
    {
        co_return accountsScript.next("accounts");
    }
    QCoro::Task<BackendResult<ConnectLink>> connect(QString provider, CancelToken = {}) override
    {
        connectedProviders.append(provider);
        co_return connectScript.next("connect");
    }
    QCoro::Task<BackendResult<Account>> addIMAP(QString email, QString password, QString host,
                                                CancelToken = {}) override
    {
        addedIMAP.append(QStringList{email, password, host});
        co_return addIMAPScript.next("addIMAP");
    }
    QCoro::Task<BackendResult<Done>> removeAccount(QString accountId, CancelToken = {}) override
    {
        removedAccounts.append(accountId);
        co_return removeScript.next("removeAccount");
    }
    QCoro::Task<BackendResult<QList<Message>>> messages(TimePoint since, CancelToken = {}) override
    {
        messagesSince.append(since);
        co_return messagesScript.next("messages");
    }
    QCoro::Task<BackendResult<QSet<QString>>> messageIds(TimePoint, CancelToken = {}) override
    {
        co_return messageIdsScript.next("messageIds");
    }
    QCoro::Task<BackendResult<Done>> trash(QString messageId, CancelToken = {}) override
    {
        trashed.append(messageId);
        co_return trashScript.next("trash");
    }
};

} // namespace tessary::test
