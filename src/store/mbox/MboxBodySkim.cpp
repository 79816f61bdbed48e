// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/mbox/MboxBodySkim.h"

#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace parcelo {

namespace {

// Line ends written as CR LF in [begin, end).
qsizetype CountCrlf(const char* begin, const char* end) {
    qsizetype count = 0;
    for (const char* p = begin; p < end; ++p) {
        p = static_cast<const char*>(std::memchr(p, '\r', size_t(end - p)));
        if (!p)
            break;
        if (p + 1 < end && p[1] == '\n')
            ++count;
    }
    return count;
}

bool StartsWithFrom(const char* line, const char* end) {
    return end - line >= 5 && std::memcmp(line, "From ", 5) == 0;
}

// A line quoted as ">From ", ">>From " and so on loses one '>' when read.
bool IsQuotedFromLine(const char* line, const char* end) {
    while (line < end && *line == '>')
        ++line;
    return StartsWithFrom(line, end);
}

// The line that ends just before line (at line - 1) is empty; it starts at begin or later.
bool FollowsEmptyLine(const char* begin, const char* line) {
    const char* newline = line - 1;
    if (newline == begin || newline[-1] == '\n')
        return true;
    return newline[-1] == '\r' && (newline - 1 == begin || newline[-2] == '\n');
}

struct LineWalk {
    const char* stop;
    qsizetype lines = 0;  // LFs before stop
    qsizetype quoted = 0; // quoted "From " lines after begin's line, before stop
};

// Walks the lines after the first one of [begin, end), which ends right after a LF, to the
// first separator. Only lines starting with 'F' or '>' are looked at; sixteen bytes are
// looked through at a time where the processor can.
LineWalk WalkLines(const char* begin, const char* end) {
    LineWalk walk{end};
    // True at a separator.
    const auto atLineStart = [&walk, begin, end](const char* line) {
        if (*line == '>') {
            walk.quoted += IsQuotedFromLine(line, end);
            return false;
        }
        return StartsWithFrom(line, end) && FollowsEmptyLine(begin, line);
    };
    const char* p = begin;
#ifdef __SSE2__
    const __m128i newline = _mm_set1_epi8('\n');
    const __m128i from = _mm_set1_epi8('F');
    const __m128i quote = _mm_set1_epi8('>');
    const __m128i zero = _mm_setzero_si128();
    const auto sum = [zero](__m128i counters) {
        const __m128i sums = _mm_sad_epu8(counters, zero);
        return qsizetype(_mm_cvtsi128_si32(sums) +
                         _mm_cvtsi128_si32(_mm_unpackhi_epi64(sums, sums)));
    };
    while (end - p >= 17) {
        // Per-byte LF counters, summed before they can overflow.
        __m128i counters = zero;
        for (int round = 0; end - p >= 17 && round < 255; p += 16, ++round) {
            const __m128i here = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
            const __m128i after = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 1));
            const __m128i newlines = _mm_cmpeq_epi8(here, newline);
            const __m128i marked =
                _mm_or_si128(_mm_cmpeq_epi8(after, from), _mm_cmpeq_epi8(after, quote));
            for (unsigned mask = unsigned(_mm_movemask_epi8(_mm_and_si128(newlines, marked)));
                 mask != 0; mask &= mask - 1) {
                const int bit = __builtin_ctz(mask);
                if (atLineStart(p + bit + 1)) {
                    const unsigned upTo = unsigned(_mm_movemask_epi8(newlines)) & ((2u << bit) - 1);
                    walk.lines += sum(counters) + __builtin_popcount(upTo);
                    walk.stop = p + bit + 1;
                    return walk;
                }
            }
            counters = _mm_sub_epi8(counters, newlines);
        }
        walk.lines += sum(counters);
    }
#endif
    for (; p < end; ++p) {
        if (*p != '\n')
            continue;
        ++walk.lines;
        if (p + 1 < end && atLineStart(p + 1)) {
            walk.stop = p + 1;
            return walk;
        }
    }
    return walk;
}

} // namespace

MboxBodySkim SkimMboxBody(const char* data, qsizetype pos, qsizetype length, bool previousEmpty) {
    MboxBodySkim skim;
    skim.stop = pos;
    const char* begin = data + pos;
    const char* end = data + length;
    const auto* lastNewline = static_cast<const char*>(memrchr(begin, '\n', size_t(end - begin)));
    if (!lastNewline)
        return skim;
    const char* stop = lastNewline + 1;
    if (previousEmpty && StartsWithFrom(begin, end)) {
        skim.stop = pos;
        return skim;
    }
    const LineWalk walk = WalkLines(begin, stop);
    stop = walk.stop;
    skim.stop = stop - data;
    skim.lines = walk.lines;
    const qsizetype quoted = walk.quoted + (*begin == '>' && IsQuotedFromLine(begin, stop));
    // Each line's canonical size is its own plus a CR for a bare LF, less a quoting '>'.
    skim.canonicalSize = quint64((stop - begin) + (skim.lines - CountCrlf(begin, stop)) - quoted);
    // stop - 1 is the last line's LF; an empty last line is kept apart, as the separator's.
    const char* lastEnd = stop - 1;
    if (lastEnd == begin || lastEnd[-1] == '\n') {
        skim.lastEmpty = true;
        skim.lastEmptyStart = lastEnd - data;
    } else if (lastEnd[-1] == '\r' && (lastEnd - 1 == begin || lastEnd[-2] == '\n')) {
        skim.lastEmpty = true;
        skim.lastEmptyStart = lastEnd - 1 - data;
    }
    if (skim.lastEmpty)
        skim.canonicalSize -= 2;
    return skim;
}

} // namespace parcelo
