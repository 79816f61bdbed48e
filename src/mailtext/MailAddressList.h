// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>

namespace parcelo {

// The display texts of an address list field (From, To): for each address its display name,
// or its address when it has none. Encoded words in names are decoded; the texts are UTF-8.
// Group names are dropped, their members kept.
QList<QByteArray> AddressDisplayNames(const QByteArray& rawValue);

struct MailAddress {
    QByteArray name;    // the display name, encoded words decoded (UTF-8); may be empty
    QByteArray address; // the address as written, without angle brackets
};

// The mailboxes of an address list field, group members included, in their order. A bare
// address takes a comment after it ("ann@example.com (Ann)") as its name; words after an
// address in angle brackets are the next mailbox, as if a comma stood between them.
QList<MailAddress> MailAddresses(const QByteArray& rawValue);

} // namespace parcelo
