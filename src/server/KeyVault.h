#pragma once

#include <QByteArray>
#include <QString>

namespace tessary::server {

// A safer home than a file for the key that seals inbox credentials: the desktop's keyring. One
// key per data folder. Every call returns within the vault's own time limit: a keyring that
// answers late or not at all must never hold up the start.
class KeyVault {
public:
    // locked, silent (no answer in time): the key may be there but is not given now.
    // unavailable: no keyring, or it answered with an error.
    enum class Answer { found, absent, locked, silent, unavailable };
    struct Lookup {
        Answer answer = Answer::unavailable;
        QByteArray key;
    };

    virtual ~KeyVault() = default;
    virtual Lookup load(const QString& dataDir) = 0;
    // True only when the key is kept where it outlives this session (never a keyring held in
    // memory only, never by unlocking a locked keyring).
    virtual bool store(const QString& dataDir, const QByteArray& key) = 0;
    virtual QString location() const = 0; // for people: "the Secret Service"
};

} // namespace tessary::server
