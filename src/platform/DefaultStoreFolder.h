// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace parcelo {

// The store the window opens when none is given or stored: the "Local Folders" of the default
// profile of the usual desktop mail client, else ~/Maildir, else ~/mail; empty when none exists.
QString DefaultStoreFolder(const QString& home);

// The default profile's folder named by a mail client's profiles.ini, or empty.
QString DefaultProfileFolder(const QString& profilesIni);

} // namespace parcelo
