// SPDX-License-Identifier: GPL-3.0-or-later
#include "mailtext/Rfc5322Date.h"

#include <QByteArrayView>
#include <QTimeZone>
#include <QVarLengthArray>
#include <optional>

namespace parcelo {

namespace {

// Dates are parsed once a message: on views of the text, without building token lists.
using View = QByteArrayView;

bool EqualsNoCase(View a, const char* b) {
    return a.compare(View(b), Qt::CaseInsensitive) == 0;
}

int MonthNumber(View token) {
    static const char* const kMonths[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                          "jul", "aug", "sep", "oct", "nov", "dec"};
    if (token.size() < 3)
        return 0;
    const View head = token.first(3);
    for (int i = 0; i < 12; ++i)
        if (EqualsNoCase(head, kMonths[i]))
            return i + 1;
    return 0;
}

bool IsDigits(View token) {
    if (token.isEmpty())
        return false;
    for (char c : token)
        if (c < '0' || c > '9')
            return false;
    return true;
}

int Number(View digits) {
    int n = 0;
    for (char c : digits)
        n = n * 10 + (c - '0');
    return n;
}

// Zone offset in seconds east of UTC.
std::optional<int> ZoneOffset(View token) {
    if (token.size() == 5 && (token[0] == '+' || token[0] == '-') && IsDigits(token.sliced(1))) {
        const int hours = Number(token.sliced(1, 2));
        const int minutes = Number(token.sliced(3, 2));
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
    for (const auto& zone : kZones)
        if (EqualsNoCase(token, zone.name))
            return zone.hours * 3600;
    if (token.size() == 1 &&
        ((token[0] >= 'A' && token[0] <= 'Z') || (token[0] >= 'a' && token[0] <= 'z')) &&
        token[0] != 'J' && token[0] != 'j')
        return 0; // military zones: their sign was often reversed, so they mean "unknown"
    return std::nullopt;
}

bool ParseTime(View token, QTime* time) {
    int parts[3] = {0, 0, 0};
    int count = 0;
    qsizetype begin = 0;
    for (qsizetype i = 0; i <= token.size(); ++i) {
        if (i < token.size() && token[i] != ':')
            continue;
        const View part = token.sliced(begin, i - begin);
        if (count == 3 || !IsDigits(part) || part.size() > 2)
            return false;
        parts[count++] = Number(part);
        begin = i + 1;
    }
    if (count < 2)
        return false;
    int second = parts[2];
    if (second == 60)
        second = 59; // leap second
    *time = QTime(parts[0], parts[1], second);
    return time->isValid();
}

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The words of a text split at white space, as views.
template <typename Words> void SplitWords(View text, Words* words) {
    qsizetype i = 0;
    while (i < text.size()) {
        while (i < text.size() && IsSpace(text[i]))
            ++i;
        const qsizetype begin = i;
        while (i < text.size() && !IsSpace(text[i]))
            ++i;
        if (i > begin)
            words->append(text.sliced(begin, i - begin));
    }
}

QDateTime Compose(int year, int month, int day, QTime time, int offset) {
    const QDate date(year, month, day);
    if (!date.isValid() || !time.isValid())
        return {};
    return QDateTime(date, time, Qt::UTC).addSecs(-offset);
}

int WidenYear(View token) {
    int year = Number(token);
    if (token.size() == 2)
        year += year < 50 ? 2000 : 1900;
    else if (token.size() == 3)
        year += 1900;
    return year;
}

} // namespace

QDateTime ParseRfc5322Date(const QByteArray& text, int* offsetSeconds) {
    // Comments go and commas separate words.
    QVarLengthArray<char, 256> cleaned;
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
    QVarLengthArray<View, 16> tokens;
    SplitWords(View(cleaned.constData(), cleaned.size()), &tokens);
    int day = 0, month = 0, year = -1;
    QTime time;
    std::optional<int> offset;
    bool haveTime = false;
    for (const View token : tokens) {
        if (!haveTime && token.contains(':')) {
            if (!ParseTime(token, &time))
                return {};
            haveTime = true;
        } else if (IsDigits(token)) {
            if (day == 0 && month == 0 && token.size() <= 2)
                day = Number(token);
            else if (month != 0 && day == 0 && token.size() <= 2)
                day = Number(token); // "Jan 3 2009"
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
    if (offsetSeconds)
        *offsetSeconds = offset.value_or(0);
    return Compose(year, month, day, time, offset.value_or(0));
}

QDateTime ParseMboxFromLineDate(const QByteArray& line) {
    // "From" address, then the asctime date: weekday month day hh:mm[:ss] [zone] year [zone].
    QVarLengthArray<View, 16> tokens;
    SplitWords(View(line), &tokens);
    if (tokens.size() < 5)
        return {};
    for (qsizetype i = 2; i + 3 < tokens.size() + 1; ++i) {
        const int month = MonthNumber(tokens[i]);
        if (month == 0 || tokens[i].size() != 3 || i + 2 >= tokens.size())
            continue;
        const View dayToken = tokens[i + 1];
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
        const int year = Number(tokens[next]);
        if (next + 1 < tokens.size())
            if (auto zone = ZoneOffset(tokens[next + 1]); zone && tokens[next + 1].size() == 5)
                offset = *zone;
        return Compose(year, month, Number(dayToken), time, offset);
    }
    return {};
}

} // namespace parcelo
