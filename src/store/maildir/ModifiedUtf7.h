// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace parcelo {

// Decodes a folder name in IMAP's modified UTF-7 ("Entw&APw-rfe" -> "Entwürfe", "&-" -> "&").
// A malformed name is returned as it stands.
QString DecodeModifiedUtf7(const QString& name);

} // namespace parcelo
