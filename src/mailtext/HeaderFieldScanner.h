// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <string_view>

namespace parcelo {

// One field of a header as its bytes stand, as offsets into the scanned text.
struct HeaderFieldSpan {
    std::size_t begin = 0;      // the field's first byte
    std::size_t nameEnd = 0;    // the name is [begin, nameEnd): empty for a line that names none
    std::size_t valueBegin = 0; // after the colon and the blanks after it
    std::size_t valueEnd = 0;   // before the line end of the field's last line
    std::size_t end = 0;        // after that line end; valueEnd when the text ends without one

    bool hasName() const { return nameEnd > begin; }
    bool hasLineEnd() const { return end > valueEnd; }
};

// Splits a message header into its fields: the one reading of a header for every caller.
// Lines end at LF, a CR before it belonging to the line end; a CR elsewhere is part of the
// line. A field is a name of printable ASCII other than the colon, optional blanks (RFC 5322's
// obsolete syntax), a colon and the value, continued by every following line that starts with
// a space or a tab. An empty line ends the header, and so does any other line that is no field:
// the body begins there. Three kinds of line stay in the header without naming a field: one
// that starts with white space and continues no field, one that starts with the colon, and an
// envelope line ("From " and the sender).
class HeaderFieldScanner {
public:
    explicit HeaderFieldScanner(std::string_view text) : text_(text) {}

    // The next field; false once the header ended.
    bool next(HeaderFieldSpan& field);
    // Once next gave false: where the body begins (after the empty line that ended the
    // header, at the line that ended it, or at the end of the text).
    std::size_t bodyBegin() const { return bodyBegin_; }
    // Whether an empty line ended the header.
    bool endedByEmptyLine() const { return emptyLine_; }

private:
    // The end of the line that starts at pos (before its line end) and the start of the next.
    void lineAt(std::size_t pos, std::size_t& contentEnd, std::size_t& next) const;
    bool finish(std::size_t bodyBegin, bool emptyLine);

    std::string_view text_;
    std::size_t pos_ = 0;
    std::size_t bodyBegin_ = 0;
    bool emptyLine_ = false;
    bool done_ = false;
};

} // namespace parcelo
