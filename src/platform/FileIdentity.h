// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHashFunctions>
#include <compare>
#include <sys/stat.h>
#include <sys/types.h>

namespace parcelo {

// Which file a name stands for: a file keeps it through renames and links, and a file put
// under the same name later has another one.
struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;

    static FileIdentity of(const struct stat& info) { return {info.st_dev, info.st_ino}; }
    bool known() const { return inode != 0; }
    auto operator<=>(const FileIdentity&) const = default;
};

inline size_t qHash(const FileIdentity& identity, size_t seed = 0) {
    return qHashMulti(seed, identity.device, identity.inode);
}

} // namespace parcelo
