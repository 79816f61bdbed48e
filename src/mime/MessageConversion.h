// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "mime/CMimeMessage.h"

#include <QString>
#include <memory>
#include <string>

namespace parcelo {

// Parses a message source (CR LF line ends) into a message that starts with the fields
// "MIME-Version: 1.0" and "Content-Type: text/plain; charset="utf-8"", followed by the source's
// own fields. Each of those two leading fields is left out of the stored form when the source
// has a field of the same name, so a stored message never carries two Content-Type fields.
std::unique_ptr<CMimeMessage> ParseMessageSource(const std::string& source);

// Puts the bytes of a message file for a parsed message in bytes, using its room again: the
// message's stored form and CR LF CR LF. False, with bytes empty, when the message cannot be
// stored.
bool MessageFileBytes(const CMimeMessage& message, std::string& bytes);

struct HeaderValues {
    QString From;
    QString Date;
    QString To;
    QString CC;
    QString BCC;
};

// The From, Date, To, CC and BCC values of the message's leaf parts (the last field of a name
// wins), as text (see FieldValueToText).
HeaderValues ExtractHeaderValues(const CMimeMessage& message);

// A field value's bytes as text: through iconv from `charset` when it is given and known, else
// as raw header text (UTF-8, or windows-1252 when not valid UTF-8), as the store reads it.
QString FieldValueToText(const std::string& value, const std::string& charset);

} // namespace parcelo
