#include "app/PopoverText.h"

#include "engine/CodeSources.h"
#include "engine/SmsSource.h"
#include "state/AppState.h"

#include <QDateTime>
#include <QLocale>
#include <QRegularExpression>

#include <cmath>

namespace tessary::popover {

Header headerFor(const AppState& state, const SmsSource* phones)
{
    if (!hasCodeSource(state, phones) || !state.accessibility())
        return Header::notSetUp;
    if (state.isPaused())
        return Header::paused;
    return Header::watching;
}

QString watchedText(const AppState& state, const SmsSource* phones)
{
    if (state.hasInbox() || !phoneBringsCodes(state, phones))
        return QStringLiteral("Watching ") + state.inboxSummary();
    QStringList names;
    for (const PairedPhone& phone : phones->service().phones)
        if (relaysMessages(phone))
            names.append(phone.name);
    return QStringLiteral("Watching ") + names.join(QStringLiteral(", "));
}

QString ageText(TimePoint received, TimePoint now)
{
    const qint64 seconds = std::max<qint64>(0, qint64(std::trunc(now - received)));
    if (seconds < 60)
        return QString::number(seconds) + QLatin1Char('s');
    if (seconds < 3600)
        return QString::number(seconds / 60) + QLatin1Char('m');
    if (seconds < 86400)
        return QString::number(seconds / 3600) + QLatin1Char('h');
    return QString::number(seconds / 86400) + QLatin1Char('d');
}

QString pausedUntilText(TimePoint until)
{
    const QDateTime when = QDateTime::fromMSecsSinceEpoch(qint64(until * 1000.0));
    // The C locale's short style still shows seconds; a pause is read to the minute.
    QString format = QLocale().timeFormat(QLocale::ShortFormat);
    format.remove(QRegularExpression(QStringLiteral("[:.]ss")));
    return QStringLiteral("Paused until ") + QLocale().toString(when.time(), format);
}

QString emptyText(const AppState& state)
{
    QString text = QStringLiteral("Codes you receive will show up here.");
    if (state.shortcut())
        text += QStringLiteral(" Press ") + state.shortcut()->display() +
                QStringLiteral(" in any field to type the newest one.");
    return text;
}

TimePoint pauseEnd(Pause choice, TimePoint now)
{
    switch (choice) {
    case Pause::quarterHour:
        return now + 900;
    case Pause::hour:
        return now + 3600;
    case Pause::untilTomorrow:
        break;
    }
    // The local day that holds this time tomorrow begins at the pause's end.
    const QDateTime tomorrow = QDateTime::fromMSecsSinceEpoch(qint64((now + 86400) * 1000.0));
    return double(tomorrow.date().startOfDay().toMSecsSinceEpoch()) / 1000.0;
}

QString pauseTitle(Pause choice)
{
    switch (choice) {
    case Pause::quarterHour:
        return QStringLiteral("For 15 minutes");
    case Pause::hour:
        return QStringLiteral("For 1 hour");
    case Pause::untilTomorrow:
        break;
    }
    return QStringLiteral("Until tomorrow");
}

} // namespace tessary::popover
