// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/naming/MessageDestination.h"

#include "export/naming/NameLimits.h"
#include "export/naming/NamingOptions.h"
#include "export/naming/SanitizeName.h"
#include "export/output/EnsureDirectoryPath.h"

namespace parcelo {

namespace {

QString trimDots(const QString& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin) == u'.')
        ++begin;
    while (end > begin && text.at(end - 1) == u'.')
        --end;
    return text.mid(begin, end - begin);
}

QString trimSubFolder(const QString& text) {
    return trimDots(text.trimmed()).trimmed();
}

QString subFolderText(const DestinationRequest& r) {
    switch (r.folderOption) {
    case FolderTreePath:
        return r.treePath;
    case FolderMailboxName:
        return SanitizeName(r.folderName);
    case FolderSender:
        return SanitizeName(r.sender);
    case FolderSubject:
        return SanitizeName(r.subject);
    case FolderSentDate:
        return SanitizeName(r.sentDateText);
    default:
        return {};
    }
}

QString joinPieces(std::initializer_list<QString> pieces) {
    return QStringList(pieces).join(u'-');
}

QString fileNameText(const DestinationRequest& r) {
    const QString& s = r.sender;
    const QString& t = r.subject;
    const QString& d = r.sentDateText;
    switch (r.fileOption) {
    case FileSender:
        return s;
    case FileSubject:
        return t;
    case FileSentDate:
        return d;
    case FileSenderSubjectDate:
        return joinPieces({s, t, d});
    case FileSenderDateSubject:
        return joinPieces({s, d, t});
    case FileSubjectSenderDate:
        return joinPieces({t, s, d});
    case FileSubjectDateSender:
        return joinPieces({t, d, s});
    case FileDateSubjectSender:
        return joinPieces({d, t, s});
    case FileDateSenderSubject:
        return joinPieces({d, s, t});
    default:
        return QStringLiteral("message");
    }
}

} // namespace

MessageDestination DestinationOfMessage(const DestinationRequest& request) {
    MessageDestination dest;
    dest.root = CleanRootPath(request.root);
    dest.name = SanitizeName(fileNameText(request));
    dest.extension = request.extension;
    dest.valid = !dest.root.isEmpty();

    if (request.folderOption > FolderRootOnly) {
        const QString sub = trimSubFolder(subFolderText(request));
        if (request.folderOption == FolderTreePath) {
            // A tree path names folders, not files: each backslash-separated name is one
            // directory, and each must be a plain name.
            for (const QString& component : sub.split(u'\\', Qt::SkipEmptyParts))
                dest.subFolder.append(WithoutHiddenCharacters(component));
        } else if (!sub.isEmpty()) {
            dest.subFolder.append(CutToUtf8Bytes(sub, kMaxNameBytes));
        }
        for (const QString& component : dest.subFolder)
            dest.valid = dest.valid && IsValidPathComponent(component);
    }
    dest.directory = JoinDirectory(dest.root, dest.subFolder);
    return dest;
}

} // namespace parcelo
