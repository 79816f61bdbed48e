// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace parcelo {

// The name of a Maildir message file: a unique part and an optional info part that starts at
// the last ":2,", "!2," or ";2," and holds the flags.
struct MaildirFileName {
    QString unique;
    QString separator; // ":2,", "!2," or ";2,"; empty when the name has no info part
    QString flags;

    static MaildirFileName parse(const QString& name);
    bool hasFlag(QChar flag) const { return flags.contains(flag); }
    // The name with the flag added, flags sorted; ":2," when the name had no info part.
    QString withFlag(QChar flag) const;
};

} // namespace parcelo
