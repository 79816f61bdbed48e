// SPDX-License-Identifier: GPL-3.0-or-later
// Reads arbitrary bytes as an address list field (From, To). Every display text must be
// valid UTF-8, and there can be no more texts than the field has bytes.
#include "mailtext/MailAddressList.h"

#include <QByteArray>
#include <QUtf8StringView>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    const QList<QByteArray> names = parcelo::AddressDisplayNames(input);
    if (names.size() > input.size() + 1)
        std::abort();
    for (const QByteArray& name : names)
        if (!QUtf8StringView(name).isValidUtf8())
            std::abort();
    return 0;
}
