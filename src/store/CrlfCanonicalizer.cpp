// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/CrlfCanonicalizer.h"

#include <cstring>

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
            i = copyLines(data, i, size, out);
            break;
        }
    }
}

// Copies whole lines while none starts with '>' (when escapes are undone): the usual bytes of
// a message, handled without going through the states byte by byte.
qsizetype CrlfCanonicalizer::copyLines(const char* data, qsizetype i, qsizetype size, char*& out) {
    quint64 produced = produced_;
    while (i < size) {
        const char* newline =
            static_cast<const char*>(std::memchr(data + i, '\n', size_t(size - i)));
        const qsizetype end = newline ? newline - data : size;
        if (end > i) {
            if (out) {
                std::memcpy(out, data + i, size_t(end - i));
                out += end - i;
            }
            produced += quint64(end - i);
            lastWasCr_ = data[end - 1] == '\r';
        }
        if (!newline) {
            i = size;
            break;
        }
        if (out) {
            if (!lastWasCr_)
                *out++ = '\r';
            *out++ = '\n';
        }
        produced += lastWasCr_ ? 1 : 2;
        lastWasCr_ = false;
        i = end + 1;
        if (unescapeFrom_ && i < size && data[i] == '>') {
            state_ = State::LineStart;
            break;
        }
    }
    produced_ = produced;
    if (i == size && state_ == State::Body && size > 0 && data[size - 1] == '\n')
        state_ = State::LineStart;
    return i;
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
