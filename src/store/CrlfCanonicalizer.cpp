// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/CrlfCanonicalizer.h"

#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace parcelo {

namespace {

constexpr char kFrom[] = "From ";
constexpr int kFromLength = 5;

} // namespace

void CrlfCanonicalizer::emit(const char* data, qsizetype size, char*& out) {
    if (out) {
        std::memcpy(out, data, size_t(size));
        out += size;
    }
    produced_ += quint64(size);
}

void CrlfCanonicalizer::release(char*& out) {
    emit(">", 1, out);
    if (state_ == State::From)
        emit(kFrom, fromMatched_, out);
    lastWasCr_ = false;
    state_ = State::Body;
}

void CrlfCanonicalizer::feed(const char* data, qsizetype size, QByteArray* out) {
    if (!out) {
        char* none = nullptr;
        feedTo(data, size, none);
        return;
    }
    // Written in place: at most twice the input and the five held bytes.
    const qsizetype before = out->size();
    out->resize(before + MaxOutput(size));
    char* end = out->data() + before;
    feedTo(data, size, end);
    out->resize(end - out->constData());
}

void CrlfCanonicalizer::finish(QByteArray* out) {
    if (!out) {
        char* none = nullptr;
        finishTo(none);
        return;
    }
    const qsizetype before = out->size();
    out->resize(before + kMaxHeld);
    char* end = out->data() + before;
    finishTo(end);
    out->resize(end - out->constData());
}

void CrlfCanonicalizer::feedTo(const char* data, qsizetype size, char*& out) {
    qsizetype i = 0;
    while (i < size) {
        const char c = data[i];
        switch (state_) {
        case State::LineStart:
            if (unescapeFrom_ && c == '>') {
                state_ = State::Quotes; // the first '>' is held until the line shows its kind
                ++i;
            } else {
                state_ = State::Body;
            }
            break;
        case State::Quotes:
            if (c == '>') {
                emit(&c, 1, out);
                ++i;
            } else if (c == 'F') {
                state_ = State::From;
                fromMatched_ = 1;
                ++i;
            } else {
                release(out);
            }
            break;
        case State::From:
            if (c == kFrom[fromMatched_]) {
                ++i;
                if (++fromMatched_ == kFromLength) {
                    emit(kFrom, kFromLength, out); // the held '>' is dropped
                    lastWasCr_ = false;
                    state_ = State::Body;
                }
            } else {
                release(out);
            }
            break;
        case State::Body:
            i = out ? copyLines<true>(data, i, size, out) : copyLines<false>(data, i, size, out);
            break;
        }
    }
}

// Copies whole lines while none starts with '>' (when escapes are undone): the usual bytes of
// a message, 32 or 16 at a time up to the next LF where the processor can. Without kWrite the
// bytes are only counted.
template <bool kWrite>
qsizetype CrlfCanonicalizer::copyLines(const char* data, qsizetype i, qsizetype size, char*& out) {
    const char* const begin = data + i;
    const char* const end = data + size;
    const char* p = begin;
    char* to = out;
    qsizetype addedCr = 0;
    bool quoteLine = false;
    const bool unescape = unescapeFrom_;
    // Takes the LF at p: a CR goes before it unless there is one already.
    const auto newline = [&](bool cr) {
        if constexpr (kWrite) {
            *to = '\r';
            to += !cr;
            *to++ = '\n';
        }
        addedCr += !cr;
        ++p;
        quoteLine = unescape && p < end && *p == '>';
    };
    // A LF first in the piece needs what the last piece ended with; any other has its byte before.
    if (*p == '\n')
        newline(lastWasCr_);
#ifdef __SSE2__
    // Stores of whole blocks fit: the output never runs more than five bytes ahead of twice
    // the input taken, and a whole block is left.
    const __m128i lf = _mm_set1_epi8('\n');
    while (!quoteLine && end - p >= 16) {
        const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        if constexpr (kWrite)
            _mm_storeu_si128(reinterpret_cast<__m128i*>(to), low);
        unsigned lfs = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(low, lf)));
        qsizetype block = 16;
        if (lfs == 0 && end - p >= 32) {
            const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16));
            if constexpr (kWrite)
                _mm_storeu_si128(reinterpret_cast<__m128i*>(to + 16), high);
            lfs = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(high, lf))) << 16;
            block = 32;
        }
        if (lfs == 0) {
            p += block;
            if constexpr (kWrite)
                to += block;
            continue;
        }
        const int at = __builtin_ctz(lfs);
        p += at;
        if constexpr (kWrite)
            to += at;
        newline(p[-1] == '\r');
    }
#endif
    while (!quoteLine && p < end) {
        if (*p == '\n') {
            newline(p[-1] == '\r');
            continue;
        }
        if constexpr (kWrite)
            *to++ = *p;
        ++p;
    }
    lastWasCr_ = p[-1] == '\r';
    produced_ += quint64(p - begin + addedCr);
    out = to;
    if (quoteLine || p[-1] == '\n')
        state_ = State::LineStart;
    return p - data;
}

void CrlfCanonicalizer::finishTo(char*& out) {
    if (state_ == State::Quotes || state_ == State::From)
        release(out);
    state_ = State::LineStart;
    lastWasCr_ = false;
}

quint64 CanonicalSize(const char* data, qsizetype size, bool unescapeFrom) {
    CrlfCanonicalizer counter(unescapeFrom);
    counter.feed(data, size, nullptr);
    counter.finish(nullptr);
    return counter.produced();
}

} // namespace parcelo
