#pragma once

#include "backend/BackendApi.h"
#include "backend/HttpExchange.h"
#include "backend/SecretStore.h"
#include "common/SettingsStore.h"

#include <QJsonObject>
#include <QSslConfiguration>

#include <memory>
#include <optional>

class QNetworkAccessManager;

namespace tessary {

struct BackendOptions {
    HttpLimits limits;
    // Trust for HTTPS; the system's certificate authorities when absent. Tests pass a
    // configuration that also trusts their own CA. Peer verification is enforced either way.
    std::optional<QSslConfiguration> tls;
    // The backend started inside this process. Its port changes with every start, so its token is
    // known as the "local" backend's, not by its address.
    std::optional<QUrl> inProcess = std::nullopt;
    // Whether this run's backend may take the token kept under the plain key when no backend owns
    // it yet (a token stored before tokens were kept per backend): not a backend given for one run.
    bool claimsUnownedToken = true;
};

// The HTTPS JSON client of the backend. Holds no state of its own beyond its network session:
// the base URL comes from the settings on every request and the install token from the secret
// store. Each backend has a token of its own, sent to no other: the first backend's under the
// plain key (the setting "installTokenBackend" names that backend), every other's under the plain
// key, "@" and its name: host and port, or "local". Lives on the main thread and must outlive the
// requests it starts.
class Backend : public BackendApi {
public:
    static inline const QString installTokenKey = QStringLiteral("installToken");
    static inline const QString tokenOwnerKey = QStringLiteral("installTokenBackend");

    Backend(SettingsStore& settings, SecretStore& secrets, BackendOptions options = {});
    ~Backend() override;
    Backend(const Backend&) = delete;
    Backend& operator=(const Backend&) = delete;

    // One exchange with the backend: the reply's JSON value when the status is 200, else the
    // failure the user is shown. "method" is "GET" or "POST"; "path" is relative ("v1/accounts").
    QCoro::Task<BackendResult<QJsonValue>> request(QString method, QString path,
                                                   std::optional<QJsonObject> body = std::nullopt,
                                                   CancelToken cancel = {});
    // The key the current backend's token is kept under.
    QString tokenKey() const;

    QCoro::Task<BackendResult<QList<Account>>> accounts(CancelToken cancel = {}) override;
    QCoro::Task<BackendResult<ConnectLink>> connect(QString provider, CancelToken cancel = {}) override;
    QCoro::Task<BackendResult<Account>> addIMAP(QString email, QString password, QString host,
                                                CancelToken cancel = {}) override;
    QCoro::Task<BackendResult<Done>> removeAccount(QString accountId, CancelToken cancel = {}) override;
    QCoro::Task<BackendResult<QList<Message>>> messages(TimePoint since, CancelToken cancel = {}) override;
    QCoro::Task<BackendResult<QSet<QString>>> messageIds(TimePoint since, CancelToken cancel = {}) override;
    QCoro::Task<BackendResult<Done>> trash(QString messageId, CancelToken cancel = {}) override;

private:
    template <class T>
    QCoro::Task<BackendResult<T>> call(QString method, QString path, std::optional<QJsonObject> body,
                                       BackendResult<T> (*decode)(const QJsonValue&), CancelToken cancel);

    QCoro::Task<BackendResult<QJsonValue>> exchange(QUrl base, QString method, QString path,
                                                    std::optional<QJsonObject> body, CancelToken cancel);
    // The token `base`'s backend issued, stored under `key`; registers this installation there
    // first when none is stored, once for all the requests that need a token meanwhile.
    QCoro::Task<BackendResult<QString>> installToken(QUrl base, QString key, CancelToken cancel);
    QCoro::Task<BackendResult<QString>> registerInstall(QUrl base, QString key, CancelToken cancel);
    QString backendName(const QUrl& base) const;
    QString tokenKey(const QUrl& base) const;

    SettingsStore& m_settings;
    SecretStore& m_secrets;
    BackendOptions m_options;
    std::unique_ptr<QNetworkAccessManager> m_network;
    CancelToken m_registration; // the registration under way; fires when it ends
    quint64 m_registrationsFinished = 0;
};

} // namespace tessary
