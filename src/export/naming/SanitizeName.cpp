// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/naming/SanitizeName.h"

#include "export/naming/NameLimits.h"

#include <array>

namespace parcelo {

namespace {

// Controls and the characters that set the direction of text: unseen in a listing, they
// break lines and terminals or make a name read as another.
bool IsHiddenInName(char32_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x061C || c == 0x200E || c == 0x200F ||
           (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

bool isForbiddenInName(char32_t c) {
    if (IsHiddenInName(c))
        return true;
    switch (c) {
    case U'\\':
    case U'/':
    case U':':
    case U'*':
    case U'?':
    case U'!':
    case U'"':
    case U'\'':
    case U'<':
    case U'>':
    case U'|':
        return true;
    default:
        return false;
    }
}

bool isInvalidInDirectoryName(QChar c) {
    return c == u'\\' || c == u'/' || c == u':' || c == u'*' || c == u'?' || c == u'"' ||
           c == u'<' || c == u'>' || c == u'|' || c == QChar(u'\0');
}

bool IsKeptInName(char32_t c) {
    return QChar::isLetterOrNumber(c) || !isForbiddenInName(c);
}

} // namespace

QString SanitizeName(const QString& text) {
    // ASCII looked up, the rest asked of Unicode; what is kept is copied in runs.
    static const auto keptAscii = [] {
        std::array<bool, 128> table{};
        for (char32_t c = 0; c < 128; ++c)
            table[c] = IsKeptInName(c);
        return table;
    }();
    QString result;
    result.reserve(text.size());
    const QStringView view(text);
    qsizetype run = 0; // start of the run of code units kept
    for (qsizetype i = 0, units = 1; i < text.size(); i += units) {
        const char16_t unit = text.at(i).unicode();
        units = 1;
        const bool kept = unit < 128 ? keptAscii[unit] : IsKeptInName(CodePointAt(text, i, &units));
        if (!kept) {
            result.append(view.sliced(run, i - run));
            run = i + units;
        }
    }
    result.append(view.sliced(run));
    qsizetype end = result.size();
    while (end > 0 && result.at(end - 1).isSpace())
        --end;
    result.truncate(end);

    if (result.size() > kMaxNameUnits) {
        qsizetype cut = kMaxNameUnits;
        if (result.at(cut - 1).isHighSurrogate())
            --cut;
        result.truncate(cut);
    } else if (result.isEmpty()) {
        result = QStringLiteral("No Name");
    }
    return result;
}

QString SanitizeFileName(const QString& text) {
    QString name = SanitizeName(text);
    qsizetype dots = 0;
    while (dots < name.size() && name.at(dots) == u'.')
        ++dots;
    name.remove(0, dots);
    return name.isEmpty() ? SanitizeName(QString()) : name;
}

QString WithoutHiddenCharacters(const QString& text) {
    QString result;
    result.reserve(text.size());
    for (qsizetype i = 0, units = 1; i < text.size(); i += units) {
        if (!IsHiddenInName(CodePointAt(text, i, &units)))
            result.append(QStringView(text).sliced(i, units));
    }
    return result;
}

bool IsValidPathComponent(const QString& name) {
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return false;
    if (name.toUtf8().size() > kMaxNameBytes)
        return false;
    for (QChar c : name) {
        if (isInvalidInDirectoryName(c))
            return false;
    }
    return true;
}

} // namespace parcelo
