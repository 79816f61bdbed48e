// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "store/IStoreNamespace.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

namespace parcelo::test {

struct FolderLine {
    StoreFolderId id;
    QString path; // names joined by '/'
    FOLDERPROPS props;
};

// Every folder below the root, depth first, as the tree walk sees them.
std::vector<FolderLine> WalkFolders(IStoreNamespace& store);

// Opens the folder with that '/'-joined path; null when there is none.
std::unique_ptr<IStoreFolder> OpenFolderByPath(IStoreNamespace& store, const QString& path);

std::vector<MESSAGEPROPS> EnumerateMessages(IStoreFolder& folder);

// The whole source through the stream in small chunks; ok is false when a read failed.
QByteArray ReadSource(IStoreFolder& folder, StoreMessageId id, bool* ok);

// Reference conversion: every LF not preceded by CR becomes CR LF.
QByteArray ToCrlf(const QByteArray& bytes);

std::unique_ptr<IStoreNamespace> OpenStore(const QString& path);

} // namespace parcelo::test
