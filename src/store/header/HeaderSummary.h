// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "store/header/MessageHeader.h"
#include "store/StoreTypes.h"

#include <QByteArray>
#include <QDateTime>

namespace parcelo {

// The store's message properties that come from the message's own header. Texts are UTF-8.
struct HeaderSummary {
    QByteArray displayFrom;
    QByteArray displayTo;
    QByteArray normalSubject;
    QDateTime sent;          // UTC; invalid when the Date field is missing or unreadable
    QDateTime firstReceived; // date of the first Received field; invalid when none
    int priority = IMSG_PRI_NORMAL;
};

// The first Received date is read only with needReceived: a store's own time comes first.
HeaderSummary SummarizeHeader(const MessageHeader& header, bool needReceived = true);
// Of a header's lines, the fields SummarizeHeader reads, for it to read them alone.
MessageHeader SummaryFieldsOf(const QByteArray& header, bool needReceived = true);

// Copies the summary into a message's properties. The received time is the store's own
// (mbox separator date, Maildir file time) when valid, else the first Received date, else sent.
void ApplyHeaderSummary(const HeaderSummary& summary, const QDateTime& storeReceived,
                        MESSAGEPROPS* props);

// The subject without leading reply and forward prefixes (Re:, Fw:, Fwd:, any letter case,
// an optional [n] counter), removed repeatedly.
QByteArray NormalizeSubject(const QByteArray& subject);

// X-Priority 1/2 high, 4/5 low; else Importance or Priority; else normal.
int HeaderPriority(const MessageHeader& header);

} // namespace parcelo
