// SPDX-License-Identifier: GPL-3.0-or-later
#include "mime/MessageBody.h"

#include <algorithm>

namespace parcelo {

namespace {

bool IsBodyText(const MimeEntitySpan& entity) {
    return entity.type.starts_with("text/") &&
           (entity.type == "text/plain" || entity.type == "text/html" || entity.fileName().empty());
}

bool AreTwoForms(const MimeEntitySpan& a, const MimeEntitySpan& b) {
    const auto isForm = [](const MimeEntitySpan& e) {
        return !e.isAttachment() && e.fileName().empty() &&
               (e.type == "text/plain" || e.type == "text/html");
    };
    return isForm(a) && isForm(b) && a.type != b.type;
}

MessageBody FindBody(const MimeEntitySpan& entity, bool top) {
    if (top && (entity.isWhole() || entity.type.starts_with("message/")))
        return {&entity};
    if (entity.isSealed())
        return entity.isAttachment() ? MessageBody() : MessageBody{&entity};
    // A multipart whose parts cannot be found holds no text to show.
    if (entity.isWhole() || entity.isAttachment())
        return {};
    if (IsBodyText(entity) ||
        ((entity.type == "multipart/alternative" || entity.type == "multipart/related") &&
         HoldsBodyText(entity)))
        return {&entity};
    const auto& parts = entity.parts;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        MessageBody body = FindBody(parts[i], false);
        if (!body.first)
            continue;
        if (body.first == &parts[i] && i + 1 < parts.size() && AreTwoForms(parts[i], parts[i + 1]))
            body.otherForm = &parts[i + 1];
        return body;
    }
    return {};
}

} // namespace

MessageBody FindMessageBody(const MimeEntitySpan& message) {
    return FindBody(message, true);
}

bool HoldsBodyText(const MimeEntitySpan& entity) {
    if (entity.isAttachment())
        return false;
    return IsBodyText(entity) ||
           std::any_of(entity.parts.begin(), entity.parts.end(), HoldsBodyText);
}

} // namespace parcelo
