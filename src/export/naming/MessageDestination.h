// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

namespace parcelo {

// What the destination of one message is derived from (settings and message values).
struct DestinationRequest {
    int folderOption = 1; // FolderOption
    int fileOption = 2;   // FileOption
    QString extension;    // ExtensionMessages, used verbatim
    QString root;         // FolderPath
    QString folderName;   // the store's name of the mail folder
    QString treePath;     // backslash-separated tree path of the mail folder
    QString sender;
    QString subject;
    QString sentDateText; // SentDateText
};

// Where the file of one message goes, before collisions are looked at.
struct MessageDestination {
    QString root;          // cleaned, absolute
    QStringList subFolder; // directory names under the root, possibly none
    QString directory;     // root joined with the sub-folder
    QString name;          // cleaned file name without extension
    QString extension;
    bool valid = false; // false when a sub-folder name is not allowed or the root is empty
};

// The sub-folder of FolderOption (tree path as directories for 1, a cleaned name for 2 to 5,
// white space and dots trimmed at both ends) and the name of FileOption (pieces joined by "-",
// then SanitizeName). Creates nothing.
MessageDestination DestinationOfMessage(const DestinationRequest& request);

} // namespace parcelo
