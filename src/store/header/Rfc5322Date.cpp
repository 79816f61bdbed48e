#include "store/header/Rfc5322Date.h"

#include <QList>
#include <QTimeZone>
#include <optional>

namespace parcelo {

namespace {

int MonthNumber(const QByteArray& token) {
    static const char* const kMonths[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                          "jul", "aug", "sep", "oct", "nov", "dec"};
    if (token.size() < 3)
        return 0;
    const QByteArray head = token.left(3).toLower();
    for (int i = 0; i < 12; ++i)
        if (head == kMonths[i])
            return i + 1;
    return 0;
}

bool IsDigits(const QByteArray& token) {
    if (token.isEmpty())
        return false;
    for (char c : token)
        if (c < '0' || c > '9')
            return false;
    return true;
}

// Zone offset in seconds east of UTC.
std::optional<int> ZoneOffset(const QByteArray& token) {
    if (token.size() == 5 && (token[0] == '+' || token[0] == '-') && IsDigits(token.mid(1))) {
        const int hours = token.mid(1, 2).toInt();
        const int minutes = token.mid(3, 2).toInt();
        if (minutes > 59)
            return std::nullopt;
        const int offset = (hours * 60 + minutes) * 60;
        return token[0] == '-' ? -offset : offset;
    }
    static const struct {
        const char* name;
        int hours;
    } kZones[] = {{"UT", 0},   {"UTC", 0},  {"GMT", 0},  {"Z", 0},    {"EST", -5}, {"EDT", -4},
                  {"CST", -6}, {"CDT", -5}, {"MST", -7}, {"MDT", -6}, {"PST", -8}, {"PDT", -7}};
    const QByteArray upper = token.toUpper();
    for (const auto& zone : kZones)
        if (upper == zone.name)
            return zone.hours * 3600;
    if (upper.size() == 1 && upper[0] >= 'A' && upper[0] <= 'Z' && upper[0] != 'J')
        return 0; // military zones: their sign was often reversed, so they mean "unknown"
    return std::nullopt;
}

bool ParseTime(const QByteArray& token, QTime* time) {
    const QList<QByteArray> parts = token.split(':');
    if (parts.size() < 2 || parts.size() > 3)
        return false;
    for (const QByteArray& part : parts)
        if (!IsDigits(part) || part.size() > 2)
            return false;
    const int hour = parts[0].toInt();
    const int minute = parts[1].toInt();
    int second = parts.size() == 3 ? parts[2].toInt() : 0;
    if (second == 60)
        second = 59; // leap second
    *time = QTime(hour, minute, second);
    return time->isValid();
}

QList<QByteArray> Tokens(const QByteArray& text) {
    QByteArray cleaned;
    cleaned.reserve(text.size());
    int depth = 0;
    for (char c : text) {
        if (c == '(') {
            ++depth;
        } else if (c == ')' && depth > 0) {
            --depth;
        } else if (depth == 0) {
            cleaned.append(c == ',' ? ' ' : c);
        }
    }
    QList<QByteArray> tokens;
    for (const QByteArray& token : cleaned.simplified().split(' '))
        if (!token.isEmpty())
            tokens.append(token);
    return tokens;
}

QDateTime Compose(int year, int month, int day, QTime time, int offset) {
    const QDate date(year, month, day);
    if (!date.isValid() || !time.isValid())
        return {};
    return QDateTime(date, time, Qt::UTC).addSecs(-offset);
}

int WidenYear(const QByteArray& token) {
    int year = token.toInt();
    if (token.size() == 2)
        year += year < 50 ? 2000 : 1900;
    else if (token.size() == 3)
        year += 1900;
    return year;
}

} // namespace

QDateTime ParseRfc5322Date(const QByteArray& text) {
    const QList<QByteArray> tokens = Tokens(text);
    int day = 0, month = 0, year = -1;
    QTime time;
    std::optional<int> offset;
    bool haveTime = false;
    for (const QByteArray& token : tokens) {
        if (!haveTime && token.contains(':')) {
            if (!ParseTime(token, &time))
                return {};
            haveTime = true;
        } else if (IsDigits(token)) {
            if (day == 0 && month == 0 && token.size() <= 2)
                day = token.toInt();
            else if (month != 0 && day == 0 && token.size() <= 2)
                day = token.toInt(); // "Jan 3 2009"
            else if (year < 0 && token.size() >= 2 && token.size() <= 4)
                year = WidenYear(token);
            else
                return {};
        } else if (month == 0 && MonthNumber(token) != 0 && !haveTime) {
            month = MonthNumber(token);
        } else if (haveTime && !offset) {
            offset = ZoneOffset(token);
            if (!offset)
                offset = 0; // an unknown zone means the same as -0000
        }
        // Other words (the weekday) carry nothing.
    }
    if (day == 0 || month == 0 || year < 0 || !haveTime)
        return {};
    return Compose(year, month, day, time, offset.value_or(0));
}

QDateTime ParseMboxFromLineDate(const QByteArray& line) {
    // "From" address, then the asctime date: weekday month day hh:mm[:ss] [zone] year [zone].
    QList<QByteArray> tokens = line.simplified().split(' ');
    if (tokens.size() < 5)
        return {};
    for (qsizetype i = 2; i + 3 < tokens.size() + 1; ++i) {
        const int month = MonthNumber(tokens[i]);
        if (month == 0 || tokens[i].size() != 3 || i + 2 >= tokens.size())
            continue;
        const QByteArray& dayToken = tokens[i + 1];
        QTime time;
        if (!IsDigits(dayToken) || dayToken.size() > 2 || !ParseTime(tokens[i + 2], &time))
            continue;
        qsizetype next = i + 3;
        int offset = 0;
        if (next < tokens.size() && !IsDigits(tokens[next])) {
            offset = ZoneOffset(tokens[next]).value_or(0);
            ++next;
        }
        if (next >= tokens.size() || !IsDigits(tokens[next]) || tokens[next].size() != 4)
            continue;
        const int year = tokens[next].toInt();
        if (next + 1 < tokens.size())
            if (auto zone = ZoneOffset(tokens[next + 1]); zone && tokens[next + 1].size() == 5)
                offset = *zone;
        return Compose(year, month, dayToken.toInt(), time, offset);
    }
    return {};
}

} // namespace parcelo
