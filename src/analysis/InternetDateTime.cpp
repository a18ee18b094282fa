#include "analysis/InternetDateTime.h"

namespace tessary {

namespace {

// Reads exactly `count` ASCII digits at `at`; -1 when any of them is not one.
int readNumber(QStringView text, qsizetype at, int count)
{
    int value = 0;
    for (int i = 0; i < count; ++i) {
        const char16_t c = text[at + i].unicode();
        if (c < u'0' || c > u'9')
            return -1;
        value = value * 10 + (c - u'0');
    }
    return value;
}

bool isLeapYear(int year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int daysInMonth(int year, int month)
{
    static constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeapYear(year) ? 29 : days[month - 1];
}

// Days from 1970-01-01 to the given proleptic Gregorian date (Howard Hinnant's days_from_civil).
qint64 daysFromCivil(qint64 year, int month, int day)
{
    year -= month <= 2 ? 1 : 0;
    const qint64 era = (year >= 0 ? year : year - 399) / 400;
    const qint64 yearOfEra = year - era * 400;
    const qint64 dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const qint64 dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

bool isAt(QStringView text, qsizetype at, char16_t c)
{
    return text[at].unicode() == c;
}

} // namespace

std::optional<TimePoint> parseInternetDateTime(QStringView text)
{
    // yyyy-MM-ddTHH:mm:ss then "Z" or ±HH:mm
    constexpr qsizetype dateTimeLength = 19;
    if (text.size() != dateTimeLength + 1 && text.size() != dateTimeLength + 6)
        return std::nullopt;
    if (!isAt(text, 4, u'-') || !isAt(text, 7, u'-') || !isAt(text, 10, u'T') || !isAt(text, 13, u':') ||
        !isAt(text, 16, u':'))
        return std::nullopt;
    const int year = readNumber(text, 0, 4);
    const int month = readNumber(text, 5, 2);
    const int day = readNumber(text, 8, 2);
    const int hour = readNumber(text, 11, 2);
    const int minute = readNumber(text, 14, 2);
    const int second = readNumber(text, 17, 2);
    if (year < 0 || month < 1 || month > 12 || day < 1 || day > daysInMonth(year, month) || hour < 0 ||
        hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59)
        return std::nullopt;

    int offsetSeconds = 0;
    const char16_t zone = text[dateTimeLength].unicode();
    if (text.size() == dateTimeLength + 1) {
        if (zone != u'Z')
            return std::nullopt;
    } else {
        if ((zone != u'+' && zone != u'-') || !isAt(text, dateTimeLength + 3, u':'))
            return std::nullopt;
        const int offsetHours = readNumber(text, dateTimeLength + 1, 2);
        const int offsetMinutes = readNumber(text, dateTimeLength + 4, 2);
        if (offsetHours < 0 || offsetHours > 23 || offsetMinutes < 0 || offsetMinutes > 59)
            return std::nullopt;
        offsetSeconds = (offsetHours * 60 + offsetMinutes) * 60 * (zone == u'+' ? 1 : -1);
    }
    const qint64 seconds = daysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
    return TimePoint(seconds - offsetSeconds);
}

TimePoint receivedTime(const std::optional<QString>& receivedAt)
{
    if (!receivedAt)
        return distantPast;
    return parseInternetDateTime(*receivedAt).value_or(distantPast);
}

} // namespace tessary
