#include "store/mbox/MboxLayout.h"

#include "store/mbox/MboxScanner.h"

#include <QDir>
#include <QFileInfo>
#include <map>

namespace parcelo {

namespace {

constexpr int kMaxDepth = 64; // guards against directory loops through links

const QString kSbd = QStringLiteral(".sbd");

bool Ignored(const QString& name) {
    return name.startsWith(QLatin1Char('.')) || name.endsWith(QLatin1String(".msf")) ||
           name.endsWith(QLatin1String(".lock"));
}

std::vector<MailFolderDraft> Folders(const QString& directory, int depth) {
    std::vector<MailFolderDraft> folders;
    if (depth > kMaxDepth)
        return folders;
    const QDir dir(directory);
    std::map<QString, MailFolderDraft> byName;
    for (const QFileInfo& info : dir.entryInfoList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot |
                                                   QDir::Hidden | QDir::System)) {
        const QString name = info.fileName();
        if (Ignored(name))
            continue;
        if (info.isDir()) {
            if (name.endsWith(kSbd) && name.size() > kSbd.size()) {
                MailFolderDraft& draft = byName[name.chopped(kSbd.size())];
                draft.name = name.chopped(kSbd.size());
                draft.children = Folders(info.absoluteFilePath(), depth + 1);
            }
        } else if (info.isFile() && LooksLikeMbox(info.absoluteFilePath())) {
            MailFolderDraft& draft = byName[name];
            draft.name = name;
            draft.kind = MailFolderNode::Kind::Mbox;
            draft.mailPath = info.absoluteFilePath();
        }
    }
    for (auto& [name, draft] : byName)
        folders.push_back(std::move(draft));
    return folders;
}

} // namespace

std::vector<MailFolderDraft> MboxFolders(const QString& directory) {
    return Folders(directory, 0);
}

std::vector<MailFolderDraft> MboxFileFolders(const QString& file) {
    const QFileInfo info(file);
    MailFolderDraft draft;
    draft.name = info.fileName();
    draft.kind = MailFolderNode::Kind::Mbox;
    draft.mailPath = info.absoluteFilePath();
    const QFileInfo sbd(info.absoluteFilePath() + kSbd);
    if (sbd.isDir())
        draft.children = Folders(sbd.absoluteFilePath(), 1);
    return {draft};
}

} // namespace parcelo
