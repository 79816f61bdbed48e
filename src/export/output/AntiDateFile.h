// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QString>

namespace parcelo {

// Back-dates a message file to the instant the message was sent (its store Sent time), so
// that a file manager shows the sent time in the user's zone. An invalid sent time leaves
// the file alone. Returns whether the file's times were set.
bool AntiDateFile(const QString& path, const QDateTime& sent);

} // namespace parcelo
