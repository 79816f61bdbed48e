// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>
#include <cstddef>

namespace parcelo {

// Reads exactly size bytes at offset, going on after short reads and interruptions. A file that
// ends first fails with errno EIO: what was read from it is shorter than what was written.
bool ReadAt(int fd, void* data, std::size_t size, qint64 offset);

} // namespace parcelo
