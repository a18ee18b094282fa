#pragma once

#include <QCoro/QCoroTask>
#include <QString>

#include <optional>

namespace tessary {

// Where the install token is kept: one string per key under this application's id. Every
// operation is asynchronous and never fails loudly: a value that cannot be read reads as absent,
// and a token that cannot be stored is simply requested again by the next backend call.
class SecretStore {
public:
    virtual ~SecretStore() = default;

    // The stored value, or nothing (absent, unreadable, or the store did not answer).
    virtual QCoro::Task<std::optional<QString>> keychainGet(QString key) = 0;
    // Replaces the value; true when the store kept it.
    virtual QCoro::Task<bool> keychainSet(QString key, QString value) = 0;
    // Removes the value; an absent one is not an error.
    virtual QCoro::Task<> keychainDelete(QString key) = 0;

    // Whether a value may be kept under the key that cannot be read now: a locked keyring holds
    // it, or the keyring has not answered yet.
    virtual QCoro::Task<bool> isWithheld(QString) { co_return false; }

    // False once the store has shown it cannot answer (no service, or an error); a caller then
    // stops waiting on it for the rest of the process.
    virtual bool isAvailable() const { return true; }
    // True while the store's last question went unanswered in time: a keyring that is slow, as
    // one often is at login, and is asked again at its next use.
    virtual bool isSilent() const { return false; }
    // Where this store keeps its values, for people: "Secret Service (com.tessary.mac)", a path.
    virtual QString location() const = 0;
};

} // namespace tessary
