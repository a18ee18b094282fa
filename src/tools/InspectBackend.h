#pragma once

#include "analysis/FoundCode.h"
#include "backend/Backend.h"
#include "platform/session/BackendConnection.h"
#include "tools/InspectCommand.h"

#include <QCoro/QCoroTask>
#include <QJsonObject>

#include <memory>

namespace tessary::inspect {

// What every backend command works with: the app's own way to its backend. With neither
// --backend nor a "backendURL" setting, the backend runs inside this process on 127.0.0.1,
// keeping its data where the app's embedded backend keeps it.
using BackendSession = BackendConnection;

// The options every backend command takes besides its own.
inline const QString backendOption = QStringLiteral("--backend");
inline const QString sinceOption = QStringLiteral("--since");

// Parses the arguments; on a mistake prints `usage` and leaves the result's error set.
ParsedArguments parseBackendArguments(const QStringList& arguments, QStringList optionsWithValue,
                                      qsizetype positionalCount, const QString& usage,
                                      const QStringList& flags = {});
std::optional<QString> backendOverride(const ParsedArguments& parsed);
// --since SECONDS (seconds since 1970), else now - 180 s; nothing when the value is not a number.
std::optional<TimePoint> sinceOrDefault(const ParsedArguments& parsed);

// Runs a task to its end on the application's event loop.
template <class T>
QCoro::Task<std::optional<T>> inOptional(QCoro::Task<T> task)
{
    co_return co_await std::move(task);
}
template <class T>
T runToEnd(QCoro::Task<T>&& task)
{
    return *QCoro::waitFor(inOptional(std::move(task)));
}

// The failure exactly as the user would see it, alone on stderr; returns the exit status.
int reportFailure(const BackendError& error);

QJsonObject accountJson(const Account& account);
QJsonObject messageJson(const Message& message);
// A found code on one line, exactly as `codes` prints each one (defined beside it, InspectCodes.cpp).
QString foundCodeLine(const FoundCode& code);

// `codes --live [--since SECONDS] [--site HOST]... [--backend URL]`: the best code the backend's
// mail holds now, through the code finder, printed as `codes` prints one, or null.
int runLiveCodes(const QStringList& arguments);

} // namespace tessary::inspect
