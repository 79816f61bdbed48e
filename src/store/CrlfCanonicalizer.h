// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>

namespace parcelo {

// Turns a message source, given in pieces of any size, into its canonical form: a lone LF
// becomes CR LF and, for an mbox, a line of one or more '>' followed by "From " loses one '>'.
// Holds back at most the five bytes of a possible escape, so memory stays bounded whatever
// the line length.
class CrlfCanonicalizer {
public:
    explicit CrlfCanonicalizer(bool unescapeFrom) : unescapeFrom_(unescapeFrom) {}

    // Appends the canonical form of the bytes to out; with a null out it is only counted.
    void feed(const char* data, qsizetype size, QByteArray* out);
    // The source ends here: gives what was held back.
    void finish(QByteArray* out);
    // The same, writing at out (advanced past what was written), which must have room for
    // MaxOutput(size) bytes, kMaxHeld for finishTo; a null out only counts.
    void feedTo(const char* data, qsizetype size, char*& out);
    void finishTo(char*& out);
    static constexpr qsizetype kMaxHeld = 5;
    static constexpr qsizetype MaxOutput(qsizetype size) { return 2 * size + kMaxHeld; }
    // Bytes given out so far.
    quint64 produced() const { return produced_; }

private:
    enum class State { LineStart, Quotes, From, Body };

    void emit(const char* data, qsizetype size, char*& out);
    template <bool kWrite>
    qsizetype copyLines(const char* data, qsizetype i, qsizetype size, char*& out);
    // Gives the held '>' and the matched part of "From " unchanged.
    void release(char*& out);

    bool unescapeFrom_;
    State state_ = State::LineStart;
    int fromMatched_ = 0;
    bool lastWasCr_ = false;
    quint64 produced_ = 0;
};

// Byte count of a whole source in canonical form.
quint64 CanonicalSize(const char* data, qsizetype size, bool unescapeFrom);

} // namespace parcelo
