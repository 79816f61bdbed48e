// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/StoreTestSupport.h"

#include <gtest/gtest.h>

namespace parcelo::test {

namespace {

void Walk(IStoreNamespace& store, StoreFolderId parent, const QString& prefix,
          std::vector<FolderLine>* lines) {
    FOLDERPROPS props;
    HENUMSTORE handle = 0;
    for (HRESULT hr = store.GetFirstSubFolder(parent, &props, &handle); hr == S_OK;
         hr = store.GetNextSubFolder(handle, &props)) {
        const QString path = prefix + QString::fromLocal8Bit(props.szName);
        lines->push_back({props.dwFolderId, path, props});
        Walk(store, props.dwFolderId, path + QLatin1Char('/'), lines);
    }
    if (handle != 0)
        store.GetSubFolderClose(handle);
}

} // namespace

std::vector<FolderLine> WalkFolders(IStoreNamespace& store) {
    std::vector<FolderLine> lines;
    Walk(store, kRootFolderId, QString(), &lines);
    return lines;
}

std::unique_ptr<IStoreFolder> OpenFolderByPath(IStoreNamespace& store, const QString& path) {
    for (const FolderLine& line : WalkFolders(store)) {
        if (line.path == path) {
            std::unique_ptr<IStoreFolder> folder;
            if (store.OpenFolder(line.id, &folder) == S_OK)
                return folder;
        }
    }
    return nullptr;
}

std::vector<MESSAGEPROPS> EnumerateMessages(IStoreFolder& folder) {
    std::vector<MESSAGEPROPS> messages;
    MESSAGEPROPS props;
    HENUMSTORE handle = 0;
    for (HRESULT hr = folder.GetFirstMessage(&props, &handle); hr == S_OK;
         hr = folder.GetNextMessage(handle, &props))
        messages.push_back(props);
    if (handle != 0)
        folder.GetMessageClose(handle);
    return messages;
}

QByteArray ReadSource(IStoreFolder& folder, StoreMessageId id, bool* ok) {
    *ok = false;
    std::unique_ptr<IStoreStream> stream;
    if (folder.OpenMessage(id, &stream) != S_OK)
        return {};
    QByteArray source;
    char buffer[4095];
    for (;;) {
        std::uint32_t got = 0;
        if (stream->Read(buffer, sizeof buffer, &got) < 0)
            return source;
        if (got == 0)
            break;
        source.append(buffer, got);
    }
    *ok = true;
    return source;
}

QByteArray ToCrlf(const QByteArray& bytes) {
    QByteArray out;
    out.reserve(bytes.size() + bytes.size() / 20);
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\n' && (i == 0 || bytes[i - 1] != '\r'))
            out.append('\r');
        out.append(bytes[i]);
    }
    return out;
}

std::unique_ptr<IStoreNamespace> OpenStore(const QString& path) {
    QString error;
    auto store = CreateStoreNamespace(path, &error);
    EXPECT_TRUE(store) << error.toStdString();
    if (store) {
        EXPECT_EQ(store->Initialize(), S_OK);
    }
    return store;
}

} // namespace parcelo::test
