// SPDX-License-Identifier: GPL-3.0-or-later
#include "filters/FilterRegExp.h"

#include <QHash>
#include <QRegularExpression>

namespace parcelo {

namespace {

// Start-of-pattern settings can only lower the engine's limits, so a pattern cannot lift them.
QRegularExpression compile(const QString& pattern) {
    return QRegularExpression(QStringLiteral("(*LIMIT_MATCH=1000000)(*LIMIT_DEPTH=100000)") +
                                  pattern,
                              QRegularExpression::CaseInsensitiveOption);
}

} // namespace

bool FilterRegExpSearch(const QString& pattern, const QString& text) {
    // Every message of an export is tested against the same few patterns: compile each once.
    thread_local QHash<QString, QRegularExpression> compiled;
    auto found = compiled.constFind(pattern);
    if (found == compiled.constEnd()) {
        if (compiled.size() >= 64)
            compiled.clear();
        found = compiled.insert(pattern, compile(pattern));
    }
    const QRegularExpression& expression = *found;
    if (!expression.isValid())
        return false;
    return expression.match(text).hasMatch();
}

bool IsValidFilterRegExp(const QString& pattern) {
    return compile(pattern).isValid();
}

} // namespace parcelo
