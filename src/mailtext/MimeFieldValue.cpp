// SPDX-License-Identifier: GPL-3.0-or-later
#include "mailtext/MimeFieldValue.h"

#include "mailtext/EncodedWords.h"
#include "platform/HexDigitValue.h"
#include "platform/charset/CharsetConversion.h"

#include <algorithm>
#include <vector>

namespace parcelo {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Past white space and comments, which may nest and hold quoted pairs.
std::size_t SkipBlank(std::string_view v, std::size_t at) {
    while (at < v.size()) {
        if (IsBlank(v[at])) {
            ++at;
        } else if (v[at] == '(') {
            int depth = 0;
            for (; at < v.size(); ++at) {
                if (v[at] == '\\') {
                    ++at;
                } else if (v[at] == '(') {
                    ++depth;
                } else if (v[at] == ')' && --depth == 0) {
                    ++at;
                    break;
                }
            }
        } else {
            break;
        }
    }
    return at;
}

// A quoted string from its opening quote: its text unquoted, and `at` past its closing quote
// (or at the end, when it has none).
std::string Unquote(std::string_view v, std::size_t& at) {
    std::string text;
    for (++at; at < v.size() && v[at] != '"'; ++at) {
        if (v[at] == '\\' && at + 1 < v.size())
            ++at;
        text += v[at];
    }
    if (at < v.size())
        ++at;
    return text;
}

std::string PercentDecoded(std::string_view text) {
    std::string bytes;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool escape = text[i] == '%' && i + 2 < text.size();
        const int high = escape ? HexDigitValue(text[i + 1]) : -1;
        const int low = escape ? HexDigitValue(text[i + 2]) : -1;
        if (high >= 0 && low >= 0) {
            bytes += static_cast<char>(high * 16 + low);
            i += 2;
        } else {
            bytes += text[i];
        }
    }
    return bytes;
}

struct Piece {
    int number = 0;
    bool encoded = false;
    std::string text;
};

// RFC 2231 pieces in their order: the first encoded one names the charset ("utf-8'en'...").
std::string JoinPieces(std::vector<Piece> pieces) {
    std::stable_sort(pieces.begin(), pieces.end(),
                     [](const Piece& a, const Piece& b) { return a.number < b.number; });
    std::string charset;
    std::string bytes;
    bool first = true;
    for (const Piece& piece : pieces) {
        std::string_view text = piece.text;
        if (piece.encoded && first) {
            const std::size_t q1 = text.find('\'');
            const std::size_t q2 = q1 == std::string_view::npos ? q1 : text.find('\'', q1 + 1);
            if (q2 != std::string_view::npos) {
                charset = std::string(text.substr(0, q1));
                text.remove_prefix(q2 + 1);
            }
        }
        first = false;
        bytes += piece.encoded ? PercentDecoded(text) : std::string(text);
    }
    std::string utf8;
    if (charset.empty() || !ConvertToUtf8(charset, bytes, utf8))
        utf8 = RawTextToUtf8(bytes);
    return utf8;
}

} // namespace

MimeFieldValue::MimeFieldValue(std::string_view raw) {
    // Unfolded: a line break in a quoted boundary is no part of it.
    std::string unfolded(raw);
    std::erase_if(unfolded, [](char c) { return c == '\r' || c == '\n'; });
    const std::string_view v = unfolded;
    std::size_t at = 0;
    while (at < v.size() && v[at] != ';') {
        const std::size_t next = SkipBlank(v, at);
        if (next != at) {
            at = next;
            continue;
        }
        token_ += Lower(v[at++]);
    }
    std::map<std::string, std::vector<Piece>, std::less<>> pieces;
    while (at < v.size()) {
        at = SkipBlank(v, at + 1); // past the ';'
        std::string name;
        while (at < v.size() && v[at] != '=' && v[at] != ';') {
            if (!IsBlank(v[at]))
                name += Lower(v[at]);
            ++at;
        }
        if (at >= v.size() || v[at] == ';')
            continue;
        at = SkipBlank(v, at + 1); // past the '='
        std::string value;
        if (at < v.size() && v[at] == '"') {
            value = Unquote(v, at);
        } else {
            const std::size_t start = at;
            while (at < v.size() && v[at] != ';')
                ++at;
            std::size_t stop = at;
            while (stop > start && IsBlank(v[stop - 1]))
                --stop;
            value = std::string(v.substr(start, stop - start));
        }
        while (at < v.size() && v[at] != ';')
            ++at;

        const std::size_t star = name.find('*');
        if (star == std::string::npos) {
            if (!raw_.contains(name)) {
                parameters_.emplace(name, DecodeHeaderText(value).utf8);
                raw_.emplace(name, std::move(value));
            }
            continue;
        }
        Piece piece;
        piece.encoded = name.back() == '*';
        const std::string_view number = std::string_view(name).substr(
            star + 1, name.size() - star - 1 - (piece.encoded ? 1 : 0));
        for (const char c : number.substr(0, 6)) {
            if (c < '0' || c > '9')
                break;
            piece.number = piece.number * 10 + (c - '0');
        }
        piece.text = std::move(value);
        pieces[name.substr(0, star)].push_back(std::move(piece));
    }
    // RFC 2231 pieces carry the full name; they win over a plain parameter of the same name.
    for (auto& [name, list] : pieces)
        parameters_[name] = JoinPieces(std::move(list));
}

std::string MimeFieldValue::parameter(std::string_view name) const {
    std::string key;
    for (const char c : name)
        key += Lower(c);
    const auto found = parameters_.find(key);
    return found == parameters_.end() ? std::string() : found->second;
}

std::string MimeFieldValue::rawParameter(std::string_view name) const {
    std::string key;
    for (const char c : name)
        key += Lower(c);
    const auto found = raw_.find(key);
    return found == raw_.end() ? std::string() : found->second;
}

} // namespace parcelo
