// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace parcelo {

// FolderOption: the sub-folder under the export root, in the order the settings list shows them.
enum FolderOptionCode : int {
    FolderRootOnly = 0,
    FolderTreePath = 1,
    FolderMailboxName = 2,
    FolderSender = 3,
    FolderSubject = 4,
    FolderSentDate = 5,
};

// FileOption: the pieces of a file name, joined with "-".
enum FileOptionCode : int {
    FileGeneric = 0,
    FileSender = 1,
    FileSubject = 2,
    FileSentDate = 3,
    FileSenderSubjectDate = 4,
    FileSenderDateSubject = 5,
    FileSubjectSenderDate = 6,
    FileSubjectDateSender = 7,
    FileDateSubjectSender = 8,
    FileDateSenderSubject = 9,
};

// MessageOption: what happens when a message's file name is taken.
enum MessageOptionCode : int {
    MessageNewUniqueName = 0,
    MessageOverwriteIfNewer = 1,
    MessageSkip = 2,
};

// ExportHeaders and ExportAttachments: which names of the two name lists are exported.
enum NameSelection : int {
    NamesNone = 0,
    NamesSome = 1,
    NamesAll = 2,
};

} // namespace parcelo
