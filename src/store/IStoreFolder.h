// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "store/FolderReadEnd.h"
#include "store/IStoreStream.h"
#include "store/StoreTypes.h"

#include <QString>
#include <memory>
#include <optional>

namespace parcelo {

// One open mail folder. Message ids stay valid until the folder is closed.
// Changes that need a rewrite of the folder's file are collected and applied once,
// by Compact() or Close(); destroying an open folder closes it.
class IStoreFolder {
public:
    virtual ~IStoreFolder() = default;

    virtual HRESULT GetFirstMessage(MESSAGEPROPS* props, HENUMSTORE* handle) = 0;
    virtual HRESULT GetNextMessage(HENUMSTORE handle, MESSAGEPROPS* props) = 0;
    virtual HRESULT GetMessageClose(HENUMSTORE handle) = 0;
    virtual void FreeMessageProps(MESSAGEPROPS* props) { *props = MESSAGEPROPS{}; }

    virtual HRESULT OpenMessage(StoreMessageId id, std::unique_ptr<IStoreStream>* stream) = 0;
    virtual HRESULT MarkMessagesAsRead(bool read, const MESSAGEIDLIST& ids) = 0;
    virtual HRESULT DeleteMessages(const MESSAGEIDLIST& ids) = 0;
    virtual HRESULT Compact() = 0;
    // Applies pending changes and releases the folder; later calls fail.
    virtual HRESULT Close() = 0;

    // Why the last call that failed failed, in words for the user, with the system's reason
    // where there is one (a message that cannot be opened, a change that could not be made).
    // Empty when nothing failed or the folder cannot say.
    virtual QString LastError() const { return {}; }

    // Why the messages read from the folder may not all be as it holds them: its file changed
    // while it was read, by a program that took no lock. Empty while it did not. from: the first
    // message handed out that may be affected; any later one may be too, and messages may have
    // been missed.
    virtual QString ReadDoubt(StoreMessageId* from) const {
        (void)from;
        return {};
    }
    // Another program's lock on the folder that was not let go in time, so that the folder was
    // read without one, in words; empty when there was none.
    virtual QString LockWarning() const { return {}; }

    // Once an enumeration went through to the end without a doubt: where it stopped, for a
    // later read to start from (see ResumeAfter). None when the folder cannot tell.
    virtual std::optional<FolderReadEnd> ReadEnd() const { return std::nullopt; }
    // Before the first message is asked for: has enumeration start where an earlier read
    // ended, when the folder has only grown since, so that only the messages added are handed
    // out. False, the folder as it was, when it cannot.
    virtual bool ResumeAfter(const FolderReadEnd& end) {
        (void)end;
        return false;
    }

    // Where a live message lies, for a person who looks for it: its file, or its folder's file
    // and where in it it starts. Empty when the folder cannot say. Meant for problem reports:
    // it builds a text each time.
    virtual QString MessageLocation(StoreMessageId id) const {
        (void)id;
        return {};
    }
};

} // namespace parcelo
