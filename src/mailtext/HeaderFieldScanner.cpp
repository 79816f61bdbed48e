// SPDX-License-Identifier: GPL-3.0-or-later
#include "mailtext/HeaderFieldScanner.h"

#include <cstring>

namespace parcelo {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// RFC 5322 ftext: printable ASCII but the colon.
bool IsNameChar(char c) {
    return c >= '!' && c <= '~' && c != ':';
}

} // namespace

void HeaderFieldScanner::lineAt(std::size_t pos, std::size_t& contentEnd, std::size_t& next) const {
    const char* data = text_.data();
    const auto* lf = static_cast<const char*>(std::memchr(data + pos, '\n', text_.size() - pos));
    const std::size_t eol = lf ? static_cast<std::size_t>(lf - data) : text_.size();
    next = lf ? eol + 1 : eol;
    contentEnd = lf && eol > pos && data[eol - 1] == '\r' ? eol - 1 : eol;
}

bool HeaderFieldScanner::finish(std::size_t bodyBegin, bool emptyLine) {
    done_ = true;
    bodyBegin_ = bodyBegin;
    emptyLine_ = emptyLine;
    pos_ = text_.size();
    return false;
}

bool HeaderFieldScanner::next(HeaderFieldSpan& field) {
    if (done_)
        return false;
    if (pos_ >= text_.size())
        return finish(text_.size(), false);
    const char* data = text_.data();
    std::size_t contentEnd = 0;
    std::size_t next = 0;
    lineAt(pos_, contentEnd, next);
    if (contentEnd == pos_)
        return finish(next, true);
    field.begin = pos_;
    field.nameEnd = pos_;
    field.valueBegin = pos_;
    if (!IsBlank(data[pos_]) && text_.compare(pos_, 5, "From ") != 0) {
        std::size_t i = pos_;
        while (i < contentEnd && IsNameChar(data[i]))
            ++i;
        field.nameEnd = i;
        while (i < contentEnd && IsBlank(data[i]))
            ++i;
        if (i == contentEnd || data[i] != ':')
            return finish(pos_, false);
        ++i;
        while (i < contentEnd && IsBlank(data[i]))
            ++i;
        field.valueBegin = i;
        // Continuation lines belong to a field, never to a nameless line.
        while (next < text_.size() && IsBlank(data[next]))
            lineAt(next, contentEnd, next);
    }
    field.valueEnd = contentEnd;
    field.end = next;
    pos_ = next;
    return true;
}

} // namespace parcelo
