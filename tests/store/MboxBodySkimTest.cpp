// SPDX-License-Identifier: GPL-3.0-or-later
// Skimming a body at once finds what reading it line by line finds: the same stop, sizes and
// trailing empty line, for any mix of line kinds, line ends and starting points.
#include "store/mbox/MboxBodySkim.h"

#include <gtest/gtest.h>
#include <random>
#include <string>

using namespace parcelo;

namespace {

// Line by line, as a reader takes lines: the reference the skim must match.
MboxBodySkim SkimLineByLine(const std::string& data, qsizetype pos, bool previousEmpty) {
    MboxBodySkim skim;
    skim.stop = pos;
    bool pending = false;
    for (;;) {
        const size_t newline = data.find('\n', size_t(pos));
        if (newline == std::string::npos)
            break;
        const std::string line = data.substr(size_t(pos), newline + 1 - size_t(pos));
        if (previousEmpty && line.rfind("From ", 0) == 0)
            break;
        const bool empty = line == "\n" || line == "\r\n";
        if (pending)
            skim.canonicalSize += 2;
        pending = empty;
        if (empty) {
            skim.lastEmptyStart = pos;
        } else {
            quint64 size = line.size();
            if (line.size() < 2 || line[line.size() - 2] != '\r')
                ++size;
            const size_t quotes = line.find_first_not_of('>');
            if (quotes > 0 && quotes != std::string::npos && line.compare(quotes, 5, "From ") == 0)
                --size;
            skim.canonicalSize += size;
        }
        previousEmpty = empty;
        pos += qsizetype(line.size());
        ++skim.lines;
        skim.stop = pos;
    }
    skim.lastEmpty = pending;
    if (!pending)
        skim.lastEmptyStart = 0;
    return skim;
}

void ExpectSame(const std::string& data, qsizetype pos, bool previousEmpty) {
    const MboxBodySkim want = SkimLineByLine(data, pos, previousEmpty);
    const MboxBodySkim got = SkimMboxBody(data.data(), pos, qsizetype(data.size()), previousEmpty);
    const std::string where = "at " + std::to_string(pos) + " previousEmpty " +
                              std::to_string(previousEmpty) + " in\n" + data;
    EXPECT_EQ(got.stop, want.stop) << where;
    EXPECT_EQ(got.lines, want.lines) << where;
    EXPECT_EQ(got.canonicalSize, want.canonicalSize) << where;
    EXPECT_EQ(got.lastEmpty, want.lastEmpty) << where;
    EXPECT_EQ(got.lastEmptyStart, want.lastEmptyStart) << where;
}

} // namespace

TEST(MboxBodySkim, MatchesLineByLineReading) {
    const struct {
        const char* data;
        qsizetype pos;
        bool previousEmpty;
    } cases[] = {
        {"", 0, true},
        {"partial", 0, false},
        {"From x\n", 0, true},          // a separator at once
        {"From x\n", 0, false},         // a body line
        {"a\n\nFrom x\nb\n", 0, false}, // stops at the separator
        {"a\nFrom x\n", 0, false},      // no empty line before it
        {"a\r\n\r\nFrom x\r\n", 0, false},
        {"\nFrom x\n", 0, false}, // the empty line is the first one
        {"\r\nFrom x\n", 0, false},
        {"a\n\n", 0, false}, // trailing empty line kept apart
        {"a\r\n\r\n", 0, false},
        {">From a\n>>From b\n>From\n>x From\n", 0, false},
        {"a\rb\n\r\r\n\n\rFrom x\n", 0, false},
        {"x\n\nFro", 0, false}, // a partial separator is a partial line
        {"x\nab\n\nFrom y\n", 2, true},
    };
    for (const auto& c : cases)
        ExpectSame(c.data, c.pos, c.previousEmpty);
    // Longer than the skim's counting blocks, with the separator past several of them.
    std::string body;
    for (int i = 0; i < 700; ++i)
        body += i % 50 == 0 ? ">From q\r\n" : "a line of ordinary body text\n";
    ExpectSame(body + "\nFrom x\n", 0, false);
    ExpectSame(body + "\n\n", 0, false);
}

TEST(MboxBodySkim, MatchesLineByLineReadingOnRandomBodies) {
    const char* pieces[] = {"\n",   "\r\n",     "\r",      "From ",  "From",
                            ">",    ">>",       "From x",  "a",      "text line",
                            "\n\n", "\r\n\r\n", "\nFrom ", ">From y"};
    std::mt19937 random(7);
    for (int round = 0; round < 3000; ++round) {
        std::string data;
        const int count = int(random() % 40);
        for (int i = 0; i < count; ++i)
            data += pieces[random() % std::size(pieces)];
        if (random() % 2)
            data += std::string(size_t(random() % 100), 'x') + "\n"; // longer than one block
        // Start at a line start, as the reader does.
        qsizetype pos = 0;
        if (!data.empty()) {
            const size_t at = random() % data.size();
            const size_t newline = data.rfind('\n', at);
            pos = newline == std::string::npos ? 0 : qsizetype(newline + 1);
        }
        ExpectSame(data, pos, random() % 2);
    }
}
