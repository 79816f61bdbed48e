// SPDX-License-Identifier: GPL-3.0-or-later
// Loads arbitrary bytes as a filter-set file, then saves, reloads, describes and matches the
// set: whatever was read must survive its own save unchanged.
#include "filters/DescribeFilters.h"
#include "filters/FilterSetFile.h"
#include "filters/MatchFilters.h"
#include "platform/LocaleFormats.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <cstdint>
#include <cstdlib>
#include <unistd.h>

using namespace parcelo;

namespace {

bool hasLoneSurrogate(const QString& text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
        else if (text[i].isSurrogate())
            return true;
    }
    return false;
}

QString scratch(const char* name) {
    return QDir::tempPath() + QStringLiteral("/parcelo-fuzz-%1-").arg(getpid()) +
           QLatin1String(name);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool once = [] {
        LocaleFormats::setCurrent(QLocale(QLocale::English, QLocale::UnitedStates));
        return true;
    }();
    (void)once;
    const QString input = scratch("in.xml");
    const QString output = scratch("out.xml");
    {
        QFile file(input);
        if (!file.open(QIODevice::WriteOnly))
            std::abort();
        file.write(reinterpret_cast<const char*>(data), qint64(size));
    }
    FilterState state;
    const FilterSetLoadResult result = LoadFilterSet(input, state.items);
    if (result.status == FilterSetLoadResult::Unreadable)
        std::abort();

    bool comparable = true;
    for (const STR_FILTER_ITEM& filter : state.items)
        comparable =
            comparable && !hasLoneSurrogate(filter.TextField) && !hasLoneSurrogate(filter.Date);
    if (!SaveFilterSet(output, state.items))
        std::abort();
    QList<STR_FILTER_ITEM> again;
    if (!LoadFilterSet(output, again).ok())
        std::abort();
    if (comparable && again != state.items)
        std::abort();

    DescribeFilters(state);
    MessageFilterFacts facts;
    facts.sender = QStringLiteral("Anna Smith <anna@example.org>");
    facts.subject = QStringLiteral("Paid INV42 today ") + QString(200, QLatin1Char('a'));
    facts.recipient = QStringLiteral("bob");
    facts.sentText = QStringLiteral("8/28/2012 10:00 AM");
    facts.receivedText = QStringLiteral("Invalid DateTime");
    facts.size = size;
    for (int mode = 0; mode < 2; ++mode) {
        state.MatchAllFilters = mode;
        MatchFilters(state, facts);
    }
    QFile::remove(input);
    QFile::remove(output);
    return 0;
}
