// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "mime/MimeEntitySpan.h"

namespace parcelo {

// The entities of a message that a reader shows as its text: the first text that is no
// attachment (a plain or HTML one even when named), or the multipart/alternative or
// multipart/related around it; a signed or encrypted entity standing where that would be; the
// whole content when it is another message or a multipart whose parts cannot be found.
struct MessageBody {
    const MimeEntitySpan* first = nullptr;
    // A plain text right after an HTML one in the same multipart, or the other way round: the
    // body in its other form, from a mailer that left out the multipart/alternative.
    const MimeEntitySpan* otherForm = nullptr;

    bool holds(const MimeEntitySpan& entity) const {
        return &entity == first || &entity == otherForm;
    }
};

MessageBody FindMessageBody(const MimeEntitySpan& message);

// Whether the entity is, or holds outside attachments, a text that could be a body.
bool HoldsBodyText(const MimeEntitySpan& entity);

} // namespace parcelo
