// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/charset/CharsetConversion.h"

#include <cerrno>
#include <iconv.h>
#include <string>
#include <vector>

namespace parcelo {

namespace {

constexpr char kReplacement[] = "\xEF\xBF\xBD";

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

} // namespace

namespace {

// Length of the valid UTF-8 sequence at i, or 0 when there is none.
std::size_t SequenceLength(std::string_view text, std::size_t i) {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size();
    const unsigned char c = p[i];
    if (c < 0x80)
        return 1;
    std::size_t extra;
    char32_t min;
    if ((c & 0xE0) == 0xC0) {
        extra = 1;
        min = 0x80;
    } else if ((c & 0xF0) == 0xE0) {
        extra = 2;
        min = 0x800;
    } else if ((c & 0xF8) == 0xF0) {
        extra = 3;
        min = 0x10000;
    } else {
        return 0;
    }
    char32_t value = c & (0x3F >> extra);
    for (std::size_t k = 1; k <= extra; ++k) {
        if (i + k >= n || (p[i + k] & 0xC0) != 0x80)
            return 0;
        value = (value << 6) | (p[i + k] & 0x3F);
    }
    if (value < min || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return 0;
    return extra + 1;
}

// The text with U+FFFD for every byte that starts no valid sequence.
std::string ReplaceInvalidUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = SequenceLength(text, i);
        if (length == 0) {
            out.append(kReplacement);
            ++i;
        } else {
            out.append(text.substr(i, length));
            i += length;
        }
    }
    return out;
}

// Opening a converter loads its tables: each thread keeps the few it was asked for open.
class ConverterCache {
public:
    ~ConverterCache() {
        for (const Entry& entry : entries_)
            if (entry.cd != kNone)
                iconv_close(entry.cd);
    }

    // The converter from charset to UTF-8, or kNone when iconv does not know it.
    iconv_t from(std::string_view charset) {
        for (const Entry& entry : entries_)
            if (entry.charset == charset)
                return entry.cd;
        if (entries_.size() == kKept) {
            if (entries_.front().cd != kNone)
                iconv_close(entries_.front().cd);
            entries_.erase(entries_.begin());
        }
        std::string name(charset);
        const iconv_t cd = iconv_open("UTF-8", name.c_str());
        entries_.push_back({std::move(name), cd});
        return cd;
    }

    static inline const iconv_t kNone = reinterpret_cast<iconv_t>(-1);

private:
    struct Entry {
        std::string charset;
        iconv_t cd;
    };
    static constexpr std::size_t kKept = 16;
    std::vector<Entry> entries_;
};

iconv_t ConverterFrom(std::string_view charset) {
    thread_local ConverterCache cache;
    return cache.from(charset);
}

} // namespace

bool IsValidUtf8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        if (static_cast<unsigned char>(text[i]) < 0x80) {
            ++i; // plain ASCII, the usual case, needs no sequence decoding
            continue;
        }
        const std::size_t length = SequenceLength(text, i);
        if (length == 0)
            return false;
        i += length;
    }
    return true;
}

bool ConvertToUtf8(std::string_view charset, std::string_view text, std::string& utf8) {
    std::size_t begin = 0;
    std::size_t end = charset.find('*');
    if (end == std::string_view::npos)
        end = charset.size();
    while (begin < end && IsBlank(charset[begin]))
        ++begin;
    while (end > begin && IsBlank(charset[end - 1]))
        --end;
    if (begin == end)
        return false;
    const std::size_t start = utf8.size();
    iconv_t cd = ConverterFrom(charset.substr(begin, end - begin));
    if (cd == reinterpret_cast<iconv_t>(-1))
        return false;
    iconv(cd, nullptr, nullptr, nullptr, nullptr); // from the initial state

    char buffer[4096];
    char* in = const_cast<char*>(text.data());
    std::size_t inLeft = text.size();
    bool flushed = false;
    while (!flushed) {
        char* out = buffer;
        std::size_t outLeft = sizeof buffer;
        std::size_t rc;
        if (inLeft > 0) {
            rc = iconv(cd, &in, &inLeft, &out, &outLeft);
        } else {
            // Stateful charsets (ISO-2022-JP) may owe a shift back to the initial state.
            rc = iconv(cd, nullptr, nullptr, &out, &outLeft);
            flushed = rc != static_cast<std::size_t>(-1) || errno != E2BIG;
        }
        utf8.append(buffer, static_cast<std::size_t>(out - buffer));
        if (rc == static_cast<std::size_t>(-1) && (errno == EILSEQ || errno == EINVAL) &&
            inLeft > 0) {
            utf8.append(kReplacement);
            ++in;
            --inLeft;
        }
    }
    // iconv passes some sequences that are no UTF-8 (past U+10FFFF, five-byte forms) when the
    // charset is UTF-8 itself: the text must be valid whatever the input.
    const std::string_view added = std::string_view(utf8).substr(start);
    if (!IsValidUtf8(added))
        utf8.replace(start, std::string::npos, ReplaceInvalidUtf8(added));
    return true;
}

std::string RawTextToUtf8(std::string_view text) {
    if (IsValidUtf8(text))
        return std::string(text);
    std::string utf8;
    if (ConvertToUtf8("WINDOWS-1252", text, utf8))
        return utf8;
    // No iconv table at all: Latin-1 maps every byte.
    for (unsigned char c : text) {
        if (c < 0x80) {
            utf8.push_back(static_cast<char>(c));
        } else {
            utf8.push_back(static_cast<char>(0xC0 | (c >> 6)));
            utf8.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return utf8;
}

} // namespace parcelo
