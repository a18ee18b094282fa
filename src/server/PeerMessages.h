#pragma once

#include "server/HttpMessage.h"
#include "server/MessageCache.h"

#include <QHash>
#include <QJsonObject>

#include <functional>
#include <optional>

namespace tessary::server {

// The records of messages that another instance's watcher took: that instance keeps them in
// memory only, so they are asked of it, at the address it gives in the table of instances. The
// instances prove to each other that they share the credential key with a secret derived from
// it; the key itself never travels. Over https the other instance's certificate is checked
// against the system's authorities and the address's host name.
class PeerMessages {
public:
    static inline const std::string path = "/internal/messages";
    // Where an instance is reached ("https://10.0.0.5:8443"), by its id; nothing when it is gone.
    using AddressOf = std::function<std::optional<QString>(const QString& instance)>;

    PeerMessages(MessageCache& cache, QByteArray secret, AddressOf addressOf);

    // The records of those of `messages` that another instance holds, by id; a record its
    // holder cannot give (gone, or the message left its memory) is left out.
    QHash<QString, QJsonObject> fetch(const QList<CachedMessage>& messages) const;
    // Learns of the messages the other instances' watchers took before this one listened for
    // news of them: a start amid others loses none of the last minutes. `instances`: address by id.
    void catchUp(const QHash<QString, QString>& instances) const;
    // The holder's side: this instance's records of the ids asked for, or which messages it took;
    // nothing (404 as for any unknown path) to a caller without the secret.
    std::optional<HttpReply> serve(const HttpRequest& request) const;

private:
    std::optional<QJsonObject> ask(const QString& address, const QByteArray& field,
                                   const QByteArray& value) const;

    MessageCache& m_cache;
    const QByteArray m_secret; // hex text
    const AddressOf m_addressOf;
};

} // namespace tessary::server
