// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArrayView>
#include <QtGlobal>

namespace parcelo {

// A mail server writes body lines starting "From " as they are and gives each message's body
// length in a Content-Length field instead: the body's bytes as stored, from after the empty
// line that ends the header up to its last line end, without the empty line the server puts
// after every message. Such a length ends the message only where the file says so too: these
// decide it.

// The length a Content-Length field's value gives (the bytes after the colon, line end
// included or not), or -1 when it is no length.
qint64 ContentLengthValue(QByteArrayView value);

// How many bytes from where a length ends are needed to decide whether the message ends there.
inline constexpr qsizetype kContentLengthEndWindow = 7;

// Whether a body that a Content-Length says ends at an offset of the file ends there: the file
// ends there, or there starts a line (atLineStart) that is empty and is followed by the end of
// the file or a separator line. after: the file's bytes from the offset, up to
// kContentLengthEndWindow of them (fewer only where the file ends).
bool ContentLengthEndsBody(QByteArrayView after, bool atLineStart);

} // namespace parcelo
