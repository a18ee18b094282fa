#include "tools/MailboxFile.h"

#include "backend/DecodeRecords.h"
#include "tools/InspectCommand.h"

namespace tessary::inspect {

namespace {

// The decoder words its failure for a server's reply ("The server's reply could not be read:
// messages[0].text is missing."); here the reply is a file, so only the fault itself is kept.
QString faultOf(const BackendError& error)
{
    QString fault = error.message;
    const qsizetype colon = fault.indexOf(QLatin1String(": "));
    if (colon >= 0)
        fault = fault.mid(colon + 2);
    if (fault.endsWith(QLatin1Char('.')))
        fault.chop(1);
    return fault;
}

} // namespace

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
        printError(QStringLiteral("%1: %2").arg(path, faultOf(messages.error())));
        return std::nullopt;
    }
    return std::move(messages).value();
}

} // namespace tessary::inspect
