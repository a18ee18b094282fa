#pragma once

#include "common/Expected.h"
#include "server/CredentialCipher.h"
#include "server/KeyVault.h"
#include "server/Storage.h"

namespace tessary::server {

// Why no key could be had. `passing` when the keyring may hold it but does not give it now
// (locked, or not answering yet): asking again later can find it.
struct KeyProblem {
    QString message;
    bool passing = false;
};

// Finds, or makes, the key that seals the inbox credentials of `dataDir`, and moves it to the
// safest home it can: the keyring when one answers, else the weaker 0600 file
// "credentials.key" beside the database (anyone who can read the folder as this user can read
// both). Nothing sealed is ever lost on the way:
// - a key file from before the keyring took over (or from a start while it was locked) is
//   moved into the keyring; when the keyring already holds another key, every credential the
//   file's key sealed is sealed again under the keyring's, and only then is the file removed;
// - a keyring that is absent or failing leaves the file in charge, and so does a locked or silent
//   one while the file's key (or a new one) opens every stored credential; otherwise the key is
//   the keyring's to give, and the problem is `passing`;
// - a lock file keeps two processes on one folder from each making a key.
// `keyring` may be null (no keyring wanted). The cipher still opens what any key it saw sealed.
Expected<CredentialCipher, KeyProblem> openCredentialKeys(const QString& dataDir, KeyVault* keyring,
                                                          Storage& storage);

// The key that instances sharing one database all seal with, from `keyFile` (the 32 bytes, mode
// 0600) or else `key` (as given in the environment); it is never made here, since an instance
// with a key of its own would seal what the others cannot open. A key that opens none of the
// credentials already stored is refused for the same reason.
Expected<CredentialCipher, QString> openSharedCredentialKey(const QString& keyFile, const QByteArray& key,
                                                            Storage& storage);

} // namespace tessary::server
