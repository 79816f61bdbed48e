// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <cstdint>
#include <vector>

namespace parcelo {

// Results of store calls: S_OK, S_FALSE (an enumeration has nothing more), failures below 0.
using HRESULT = std::int32_t;
inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_FAIL = -1;
inline constexpr HRESULT E_INVALIDARG = -2;
inline constexpr HRESULT E_NOTFOUND = -3;
inline constexpr HRESULT E_IO = -4;

inline bool Succeeded(HRESULT hr) {
    return hr >= 0;
}

using StoreFolderId = std::uint32_t;
using StoreMessageId = std::uint32_t;
using HENUMSTORE = std::uintptr_t; // enumeration handle; 0 means none

inline constexpr StoreFolderId kRootFolderId = 0;
inline constexpr StoreMessageId kFirstMessageId = 0xFFFFFFFFu;

inline constexpr std::uint32_t MSG_UNREAD = 0x0002;
inline constexpr std::uint32_t MSG_FLAGGED = 0x0800;

enum StorePriority : int { IMSG_PRI_HIGH = 1, IMSG_PRI_NORMAL = 3, IMSG_PRI_LOW = 5 };

struct FOLDERPROPS {
    std::uint32_t cbSize = 280;
    StoreFolderId dwFolderId = 0;
    std::int32_t cSubFolders = 0;
    std::int32_t cUnread = 0;
    std::int32_t cMessage = 0;
    QByteArray szName; // narrow text in the locale's 8-bit encoding
};

struct MESSAGEPROPS {
    std::uint32_t cbSize = 68;
    StoreMessageId dwMessageId = 0;
    std::uint32_t dwState = 0;   // MSG_UNREAD, MSG_FLAGGED
    std::uint64_t cbMessage = 0; // exact size of the source as OpenMessage streams it
    int priority = IMSG_PRI_NORMAL;
    QDateTime ftSent;          // UTC; invalid when the message has no usable Date
    QDateTime ftReceived;      // UTC
    QByteArray pszDisplayFrom; // narrow texts in the locale's 8-bit encoding
    QByteArray pszDisplayTo;
    QByteArray pszNormalSubject;
};

struct MESSAGEIDLIST {
    std::uint32_t cbSize = 12;
    std::vector<StoreMessageId> ids;
};

} // namespace parcelo
