#include "fakes/FakeBackendApi.h"

namespace tessary::test {

QCoro::Task<BackendResult<QList<Account>>> FakeBackendApi::accounts(CancelToken)
{
    co_return accountsScript.next("accounts");
}

QCoro::Task<BackendResult<ConnectLink>> FakeBackendApi::connect(QString provider, CancelToken)
{
    connectedProviders.append(provider);
    co_return connectScript.next("connect");
}

QCoro::Task<BackendResult<Account>> FakeBackendApi::addIMAP(QString email, QString password, QString host,
                                                            CancelToken)
{
    addedIMAP.append({email, password, host});
    co_return addIMAPScript.next("addIMAP");
}

QCoro::Task<BackendResult<Done>> FakeBackendApi::removeAccount(QString accountId, CancelToken)
{
    removedAccounts.append(accountId);
    co_return removeScript.next("removeAccount");
}

QCoro::Task<BackendResult<QList<Message>>> FakeBackendApi::messages(TimePoint since, CancelToken)
{
    messagesSince.append(since);
    co_return messagesScript.next("messages");
}

QCoro::Task<BackendResult<QSet<QString>>> FakeBackendApi::messageIds(TimePoint, CancelToken)
{
    co_return messageIdsScript.next("messageIds");
}

QCoro::Task<BackendResult<Done>> FakeBackendApi::trash(QString messageId, CancelToken)
{
    trashed.append(messageId);
    co_return trashScript.next("trash");
}

} // namespace tessary::test
