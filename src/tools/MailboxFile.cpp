#include "tools/MailboxFile.h"

#include "tools/InspectCommand.h"

namespace tessary::inspect {

std::optional<QList<Message>> readMailbox(const QString& path)
{
    const Expected<QJsonDocument, QString> document = readJsonFile(path);
    if (!document) {
        printError(document.error());
        return std::nullopt;
    }
    if (!document->isObject()) {
        printError(QStringLiteral("%1: expected a JSON object with a \"messages\" array").arg(path));
        return std::nullopt;
    }
    BackendResult<QList<Message>> messages = decodeMessages(document->object());
    if (!messages) {
        printError(QStringLiteral("%1: %2").arg(path, messages.error().message));
        return std::nullopt;
    }
    return std::move(messages).value();
}

} // namespace tessary::inspect
