// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <initializer_list>
#include <vector>

namespace parcelo {

// The fields of a message header, unfolded, in their order. Values are raw bytes with the
// folding line ends removed and surrounding white space trimmed.
class MessageHeader {
public:
    struct Field {
        QByteArray name;
        QByteArray value;
    };

    MessageHeader() = default;
    // header: the header's lines (any line ends), up to the empty line or the end.
    explicit MessageHeader(const QByteArray& header);
    // Only the first field of each of these names (at most 64, any letter case), for a reader
    // that looks up no others: the rest is never copied.
    MessageHeader(const QByteArray& header, std::initializer_list<QByteArrayView> only);

    const std::vector<Field>& fields() const { return fields_; }
    // The first field of that name (any letter case); null when absent.
    const QByteArray* find(const char* name) const;
    QByteArray value(const char* name) const;

private:
    std::vector<Field> fields_;
};

} // namespace parcelo
