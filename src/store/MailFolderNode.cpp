// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/MailFolderNode.h"

#include <algorithm>

namespace parcelo {

namespace {

void Add(std::vector<MailFolderNode>* nodes, StoreFolderId parent,
         std::vector<MailFolderDraft>* drafts) {
    std::stable_sort(
        drafts->begin(), drafts->end(),
        [](const MailFolderDraft& a, const MailFolderDraft& b) { return a.name < b.name; });
    for (MailFolderDraft& draft : *drafts) {
        const StoreFolderId id = StoreFolderId(nodes->size());
        nodes->push_back({draft.name, draft.kind, draft.mailPath, draft.pin, {}});
        (*nodes)[parent].children.push_back(id);
        Add(nodes, id, &draft.children);
    }
}

} // namespace

std::vector<MailFolderNode> NumberFolders(const QString& rootName,
                                          std::vector<MailFolderDraft> topLevel) {
    std::vector<MailFolderNode> nodes;
    nodes.push_back({rootName.toUtf8(), MailFolderNode::Kind::None, QString(), nullptr, {}});
    Add(&nodes, kRootFolderId, &topLevel);
    return nodes;
}

} // namespace parcelo
