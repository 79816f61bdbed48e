// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace parcelo {

// The desktop mail client's profile folder that holds a store: the store's folder or one of
// the three above it, whichever first holds prefs.js. Empty when the store lies in none.
QString FindMailClientProfile(const QString& storeDirectory);

// How the profile shows that the client runs on it, in words naming the lock: a `lock` link to
// "HOST:+PID" of a live process on this host (HOST its name or address), or an fcntl lock that another process holds on
// `.parentlock`. Empty when the client does not run (no lock, or a stale one).
QString RunningMailClientLock(const QString& profile);

} // namespace parcelo
