// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "mailtext/MimeFieldValue.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace parcelo {

// One MIME entity of a message as byte offsets into the message's bytes, read as RFC 2045 and
// RFC 2046 write it: a delimiter is a whole line, "--" and the boundary, with "--" after it for
// the last one, and only spaces or tabs up to its CR LF; the CR LF before a delimiter belongs to
// the delimiter. A part of a multipart ends where its parent's next delimiter begins, so a
// delimiter of an enclosing multipart ends every part inside it.
struct MimeEntitySpan {
    std::size_t begin = 0;     // the header's first byte
    std::size_t bodyBegin = 0; // past the blank line after the header; end when there is none
    std::size_t end = 0;       // past the last byte
    // What leaving this part out of its multipart removes: its delimiter line, its bytes and
    // the CR LF of the next delimiter, so that the parts around it stay as they were (a last
    // part without a closing delimiter runs to the end, and the part before it then ends with
    // the CR LF that was its delimiter's, which readers drop at the end as well).
    std::size_t cutBegin = 0;
    std::size_t cutEnd = 0;

    std::string type; // lower case; the default type when the field is missing or invalid
    MimeFieldValue contentType;
    MimeFieldValue disposition;
    std::string contentId; // without its angle brackets
    std::string contentLocation;
    std::string transferEncoding; // lower case
    // The parts of a multipart, when its delimiters were found.
    std::vector<MimeEntitySpan> parts;

    bool isMultipart() const { return !parts.empty(); }
    // Signed or encrypted (multipart/signed, multipart/encrypted, PKCS #7): never cut inside.
    bool isSealed() const;
    // Kept or left out only whole: sealed, or a multipart whose parts were not found.
    bool isWhole() const {
        return isSealed() || (type.starts_with("multipart/") && !isMultipart());
    }
    bool isAttachment() const { return disposition.token() == "attachment"; }
    // The file name, else the name parameter; empty when it has neither.
    std::string fileName() const;
    std::string_view body(std::string_view message) const {
        return message.substr(bodyBegin, end - bodyBegin);
    }
};

// The entity tree of a message. Multiparts nested deeper than a limit are left unread (no
// parts), so that hostile input cannot exhaust the stack.
MimeEntitySpan MapMimeEntities(std::string_view message);

} // namespace parcelo
