// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>

namespace parcelo {

// The display texts of an address list field (From, To): for each address its display name,
// or its address when it has none. Encoded words in names are decoded; the texts are UTF-8.
// Group names are dropped, their members kept.
QList<QByteArray> AddressDisplayNames(const QByteArray& rawValue);

} // namespace parcelo
