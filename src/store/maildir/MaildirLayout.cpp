#include "store/maildir/MaildirLayout.h"

#include "store/mbox/MboxLayout.h"
#include "store/maildir/ModifiedUtf7.h"

#include <QDir>
#include <QFileInfo>

namespace parcelo {

namespace {

constexpr int kMaxDepth = 8; // nested Maildirs are shallow; this bounds the walk of a large folder

bool IsMaildir(const QString& directory) {
    return QFileInfo(directory + QStringLiteral("/cur")).isDir();
}

QFileInfoList SubDirectories(const QString& directory) {
    return QDir(directory).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden,
                                         QDir::Name);
}

bool IsPlainSubDirectory(const QString& name) {
    return !name.startsWith(QLatin1Char('.')) && name != QLatin1String("cur") &&
           name != QLatin1String("new") && name != QLatin1String("tmp");
}

std::vector<MailFolderDraft> Nested(const QString& directory, int depth) {
    std::vector<MailFolderDraft> folders;
    if (depth > kMaxDepth)
        return folders;
    for (const QFileInfo& info : SubDirectories(directory)) {
        if (!IsPlainSubDirectory(info.fileName()))
            continue;
        MailFolderDraft draft;
        draft.name = info.fileName();
        draft.children = Nested(info.absoluteFilePath(), depth + 1);
        if (IsMaildir(info.absoluteFilePath())) {
            draft.kind = MailFolderNode::Kind::Maildir;
            draft.mailPath = info.absoluteFilePath();
        } else if (draft.children.empty()) {
            continue;
        }
        folders.push_back(std::move(draft));
    }
    return folders;
}

MailFolderDraft* FindOrAdd(std::vector<MailFolderDraft>* folders, const QString& name) {
    for (MailFolderDraft& folder : *folders)
        if (folder.name == name)
            return &folder;
    folders->push_back(MailFolderDraft{name, MailFolderNode::Kind::None, QString(), {}});
    return &folders->back();
}

std::vector<MailFolderDraft> MaildirPlusPlus(const QString& directory) {
    std::vector<MailFolderDraft> folders;
    for (const QFileInfo& info : SubDirectories(directory)) {
        const QString name = info.fileName();
        if (!name.startsWith(QLatin1Char('.')) || name.size() < 2 ||
            !IsMaildir(info.absoluteFilePath()))
            continue;
        const QStringList parts = name.mid(1).split(QLatin1Char('.'));
        if (parts.contains(QString()))
            continue;
        std::vector<MailFolderDraft>* level = &folders;
        MailFolderDraft* folder = nullptr;
        for (const QString& part : parts) {
            folder = FindOrAdd(level, DecodeModifiedUtf7(part));
            level = &folder->children;
        }
        folder->kind = MailFolderNode::Kind::Maildir;
        folder->mailPath = info.absoluteFilePath();
    }
    return folders;
}

} // namespace

bool LooksLikeMaildir(const QString& directory) {
    if (IsMaildir(directory))
        return true;
    for (const QFileInfo& info : SubDirectories(directory))
        if (info.fileName().startsWith(QLatin1Char('.')) && IsMaildir(info.absoluteFilePath()))
            return true;
    return MboxFolders(directory).empty() && !Nested(directory, 0).empty();
}

std::vector<MailFolderDraft> MaildirFolders(const QString& directory) {
    std::vector<MailFolderDraft> folders;
    if (IsMaildir(directory))
        folders.push_back(
            MailFolderDraft{QStringLiteral("Inbox"), MailFolderNode::Kind::Maildir, directory, {}});
    for (MailFolderDraft& folder : MaildirPlusPlus(directory))
        folders.push_back(std::move(folder));
    for (MailFolderDraft& folder : Nested(directory, 0))
        folders.push_back(std::move(folder));
    return folders;
}

} // namespace parcelo
