// SPDX-License-Identifier: GPL-3.0-or-later
#include "mime/MimeEntitySpan.h"

#include "mime/CMimeHeader.h"

#include <algorithm>
#include <utility>

namespace parcelo {

namespace {

constexpr std::size_t npos = std::string_view::npos;
constexpr int kMaxNesting = 64;

std::string Lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t' || text.front() == '\r' ||
                             text.front() == '\n'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' ||
                             text.back() == '\n'))
        text.remove_suffix(1);
    return text;
}

struct Delimiter {
    std::size_t line = 0;    // where "--" stands
    std::size_t lineEnd = 0; // past its CR LF
    bool closing = false;
};

// The delimiter lines of a multipart body, up to and with the closing one.
std::vector<Delimiter> FindDelimiters(std::string_view d, std::size_t from, std::size_t to,
                                      const std::string& boundary) {
    std::vector<Delimiter> found;
    const std::string dash = "--" + boundary;
    d = d.substr(0, to); // a search that finds nothing stops at the end of this body
    for (std::size_t hit = d.find(dash, from); hit != npos; hit = d.find(dash, hit + 1)) {
        if (hit != from && !(hit >= from + 2 && d[hit - 2] == '\r' && d[hit - 1] == '\n'))
            continue;
        std::size_t rest = hit + dash.size();
        const bool closing = rest + 2 <= to && d[rest] == '-' && d[rest + 1] == '-';
        if (closing)
            rest += 2;
        while (rest < to && (d[rest] == ' ' || d[rest] == '\t'))
            ++rest;
        if (rest < to && !(rest + 1 < to && d[rest] == '\r' && d[rest + 1] == '\n'))
            continue;
        found.push_back({hit, rest < to ? rest + 2 : to, closing});
        if (closing)
            break;
    }
    return found;
}

MimeEntitySpan MapEntity(std::string_view d, std::size_t begin, std::size_t end, int depth,
                         bool inDigest) {
    MimeEntitySpan span;
    span.begin = begin;
    span.end = end;
    // A part that is only a header ends at the line end of the next delimiter, which ends its
    // last field too.
    const std::size_t headerLimit =
        end + 2 <= d.size() && d.compare(end, 2, "\r\n") == 0 ? end + 2 : end;
    CMimeHeader header;
    const std::ptrdiff_t headerLength = header.Load(d.data() + begin, headerLimit - begin);
    span.bodyBegin =
        headerLength > 0 ? std::min(begin + static_cast<std::size_t>(headerLength), end) : end;

    span.contentType = MimeFieldValue(header.GetRawFieldValue("Content-Type"));
    span.type = span.contentType.token();
    if (span.type.empty())
        span.type = inDigest ? "message/rfc822" : "text/plain";
    else if (std::count(span.type.begin(), span.type.end(), '/') != 1)
        span.type = "text/plain";
    span.disposition = MimeFieldValue(header.GetRawFieldValue("Content-Disposition"));
    const std::string rawId = header.GetRawFieldValue("Content-ID");
    std::string_view id = Trimmed(rawId);
    if (id.size() >= 2 && id.front() == '<' && id.back() == '>')
        id = id.substr(1, id.size() - 2);
    span.contentId = std::string(id);
    span.contentLocation = std::string(Trimmed(header.GetRawFieldValue("Content-Location")));
    span.transferEncoding = Lower(Trimmed(header.GetRawFieldValue("Content-Transfer-Encoding")));

    if (!span.type.starts_with("multipart/") || depth >= kMaxNesting)
        return span;
    std::string boundary = span.contentType.rawParameter("boundary");
    if (boundary.empty())
        boundary = span.contentType.parameter("boundary");
    if (boundary.empty())
        return span;
    const std::vector<Delimiter> delimiters = FindDelimiters(d, span.bodyBegin, end, boundary);
    const bool digest = span.type == "multipart/digest";
    std::size_t runStart = npos; // the first of delimiter lines that follow each other
    for (std::size_t i = 0; i < delimiters.size() && !delimiters[i].closing; ++i) {
        const Delimiter& delimiter = delimiters[i];
        const bool last = i + 1 == delimiters.size();
        const std::size_t next = last ? end : delimiters[i + 1].line;
        if (runStart == npos)
            runStart = delimiter.line;
        // A delimiter line right before the next one opens no part, as readers take it; a cut
        // takes such lines along, so that no new ones come to follow each other.
        if (delimiter.lineEnd >= next)
            continue;
        const std::size_t partEnd = last ? end : std::max(delimiter.lineEnd, next - 2);
        MimeEntitySpan part = MapEntity(d, delimiter.lineEnd, partEnd, depth + 1, digest);
        part.cutBegin = std::exchange(runStart, npos);
        part.cutEnd = next;
        span.parts.push_back(std::move(part));
    }
    return span;
}

} // namespace

bool MimeEntitySpan::isSealed() const {
    return type == "multipart/signed" || type == "multipart/encrypted" ||
           type == "application/pkcs7-mime" || type == "application/x-pkcs7-mime";
}

std::string MimeEntitySpan::fileName() const {
    std::string name = disposition.parameter("filename");
    return name.empty() ? contentType.parameter("name") : name;
}

MimeEntitySpan MapMimeEntities(std::string_view message) {
    MimeEntitySpan span = MapEntity(message, 0, message.size(), 0, false);
    span.cutEnd = message.size();
    return span;
}

} // namespace parcelo
