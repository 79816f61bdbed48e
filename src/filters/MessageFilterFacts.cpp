// SPDX-License-Identifier: GPL-3.0-or-later
#include "filters/MessageFilterFacts.h"

#include "platform/LocaleFormats.h"

namespace parcelo {

MessageFilterFacts DeriveMessageFilterFacts(const MESSAGEPROPS& props, bool withDates) {
    MessageFilterFacts facts;
    facts.sender = QString::fromLocal8Bit(props.pszDisplayFrom);
    facts.subject = QString::fromLocal8Bit(props.pszNormalSubject);
    facts.recipient = QString::fromLocal8Bit(props.pszDisplayTo);
    if (withDates) {
        const LocaleFormats& formats = LocaleFormats::current();
        facts.sentText = formats.formatDateTime(props.ftSent.isValid() ? props.ftSent.toLocalTime()
                                                                       : QDateTime());
        facts.receivedText = formats.formatDateTime(
            props.ftReceived.isValid() ? props.ftReceived.toLocalTime() : QDateTime());
    }
    facts.size = props.cbMessage;
    facts.priorityCode = props.priority == IMSG_PRI_HIGH  ? 2
                         : props.priority == IMSG_PRI_LOW ? 0
                                                          : 1;
    facts.statusCode = (props.dwState & MSG_UNREAD) ? 0 : 1;
    facts.flagCode = (props.dwState & MSG_FLAGGED) ? 1 : 0;
    return facts;
}

} // namespace parcelo
