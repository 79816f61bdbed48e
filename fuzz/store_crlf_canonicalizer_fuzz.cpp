// SPDX-License-Identifier: GPL-3.0-or-later
// Canonicalises arbitrary bytes given in random pieces and compares the result with a plain
// byte-by-byte conversion of the whole input: through feed, through feedTo into buffers of
// exactly the promised size (an overrun shows under the address sanitizer) and counting only.
// The first byte chooses whether ">From " escapes are undone, whether each byte of the rest
// stands for one of a few pieces of text that matter (line ends, '>', "From " and filler of
// several lengths), and whether the input is two sources handed one after the other; the next
// four seed the piece sizes.
#include "store/CrlfCanonicalizer.h"

#include <QByteArray>
#include <QList>
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string_view>

namespace {

using parcelo::CrlfCanonicalizer;

void Check(bool ok) {
    if (!ok)
        std::abort();
}

// One byte at a time over the whole source: a LF without a CR before it gets one, and a '>'
// that starts a line of '>'s followed by "From " is left out when unescaping.
QByteArray Reference(const QByteArray& in, bool unescape) {
    QByteArray out;
    for (qsizetype i = 0; i < in.size(); ++i) {
        const bool lineStart = i == 0 || in[i - 1] == '\n';
        if (unescape && lineStart && in[i] == '>') {
            qsizetype next = i;
            while (next < in.size() && in[next] == '>')
                ++next;
            if (in.mid(next, 5) == "From ")
                continue;
        }
        if (in[i] == '\n' && (i == 0 || in[i - 1] != '\r'))
            out += '\r';
        out += in[i];
    }
    return out;
}

class Pieces {
public:
    explicit Pieces(std::uint32_t seed) : state_(seed | 1) {}
    // Mostly short pieces, so splits fall everywhere, now and then long ones.
    qsizetype next(qsizetype left) {
        const std::uint32_t r = step();
        const qsizetype size = (r & 7) == 0 ? qsizetype(r >> 8) % 300 : qsizetype(r >> 8) % 20;
        return std::min(left, size);
    }

private:
    std::uint32_t step() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return state_;
    }
    std::uint32_t state_;
};

// Each function hands the sources to one canonicalizer, each source finished before the next.
QByteArray ThroughFeed(const QList<QByteArray>& sources, bool unescape, Pieces& pieces) {
    CrlfCanonicalizer canonicalizer(unescape);
    QByteArray out;
    for (const QByteArray& in : sources) {
        for (qsizetype at = 0; at < in.size();) {
            const qsizetype piece = pieces.next(in.size() - at);
            canonicalizer.feed(in.constData() + at, piece, &out);
            at += piece;
        }
        canonicalizer.finish(&out);
    }
    Check(canonicalizer.produced() == quint64(out.size()));
    return out;
}

QByteArray ThroughFeedTo(const QList<QByteArray>& sources, bool unescape, Pieces& pieces) {
    CrlfCanonicalizer canonicalizer(unescape);
    QByteArray out;
    const auto append = [&out](qsizetype room, const auto& write) {
        const auto buffer = std::make_unique<char[]>(size_t(room));
        char* end = buffer.get();
        write(end);
        Check(end >= buffer.get() && end - buffer.get() <= room);
        out.append(buffer.get(), end - buffer.get());
    };
    for (const QByteArray& in : sources) {
        for (qsizetype at = 0; at < in.size();) {
            const qsizetype piece = pieces.next(in.size() - at);
            append(CrlfCanonicalizer::MaxOutput(piece),
                   [&](char*& end) { canonicalizer.feedTo(in.constData() + at, piece, end); });
            at += piece;
        }
        append(CrlfCanonicalizer::kMaxHeld, [&](char*& end) { canonicalizer.finishTo(end); });
    }
    Check(canonicalizer.produced() == quint64(out.size()));
    return out;
}

quint64 Counted(const QList<QByteArray>& sources, bool unescape, Pieces& pieces) {
    CrlfCanonicalizer counter(unescape);
    for (const QByteArray& in : sources) {
        for (qsizetype at = 0; at < in.size();) {
            const qsizetype piece = pieces.next(in.size() - at);
            counter.feed(in.constData() + at, piece, nullptr);
            at += piece;
        }
        counter.finish(nullptr);
    }
    return counter.produced();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 5)
        return 0;
    const bool unescape = data[0] & 1;
    const bool tokens = data[0] & 2;
    const bool twoSources = data[0] & 4;
    Pieces pieces(std::uint32_t(data[1]) | std::uint32_t(data[2]) << 8 |
                  std::uint32_t(data[3]) << 16 | std::uint32_t(data[4]) << 24);
    QByteArray input(reinterpret_cast<const char*>(data + 5), qsizetype(size - 5));
    if (tokens) {
        using namespace std::string_view_literals;
        static constexpr std::string_view kTokens[16] = {
            "\n"sv, "\r"sv,   "\r\n"sv, ">"sv, ">>"sv,  "From "sv,    "From"sv, "F"sv,
            "Fr"sv, "\n\n"sv, "\0"sv,   "x"sv, "x y"sv, "\n>From "sv, ">F"sv,   "abcdefghijklm"sv};
        QByteArray text;
        for (char c : input)
            text.append(kTokens[std::uint8_t(c) & 15]);
        input = text;
    }
    // The second source starts where the first one's LF count says, so a CR ending one
    // source and a LF starting the next come up.
    const qsizetype cut = twoSources ? input.count('\n') % (input.size() + 1) : input.size();
    const QList<QByteArray> sources{input.first(cut), input.sliced(cut)};
    QByteArray expected;
    for (const QByteArray& source : sources) {
        expected += Reference(source, unescape);
        Check(parcelo::CanonicalSize(source.constData(), source.size(), unescape) ==
              quint64(Reference(source, unescape).size()));
    }
    Check(ThroughFeed(sources, unescape, pieces) == expected);
    Check(ThroughFeedTo(sources, unescape, pieces) == expected);
    Check(Counted(sources, unescape, pieces) == quint64(expected.size()));
    return 0;
}
