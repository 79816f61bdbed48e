// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace parcelo {

// A directory that the walk of a store's tree did not enter, so that folders below it are
// missing from the tree.
struct SkippedFolder {
    QString path;
    QString reason; // in words for the user, e.g. "it lies more than 1000 folders deep"
};

} // namespace parcelo
