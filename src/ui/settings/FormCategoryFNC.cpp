// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/settings/FormCategoryFNC.h"

#include "app/CParceloApp.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace parcelo {

namespace {

QComboBox* makeList(const QStringList& entries, int selected, QWidget* parent) {
    auto* list = new QComboBox(parent);
    list->addItems(entries);
    list->setCurrentIndex(selected >= 0 && selected < entries.size() ? selected : -1);
    return list;
}

} // namespace

FormCategoryFNC::FormCategoryFNC(CParceloApp& app, int category, QWidget* parent)
    : FormCategoryPage(category, parent), app_(app) {
    auto* group = new QGroupBox(QStringLiteral("Files Naming Convention"), this);
    auto* layout = new QVBoxLayout(group);

    folderList_ = makeList({QStringLiteral("<No Sub-Folders - Use Root Folder>"),
                            QStringLiteral("Mailfolder Name (With Sub-Folders)"),
                            QStringLiteral("Mailfolder Name (No Sub-Folders)"),
                            QStringLiteral("Sender's Name"), QStringLiteral("Subject"),
                            QStringLiteral("Date")},
                           app.FolderOption, group);
    fileList_ = makeList({QStringLiteral("<Generic>"), QStringLiteral("Sender's Name"),
                          QStringLiteral("Subject"), QStringLiteral("Date"),
                          QStringLiteral("Sender's Name + Subject + Date"),
                          QStringLiteral("Sender's Name + Date + Subject"),
                          QStringLiteral("Subject + Sender's Name + Date"),
                          QStringLiteral("Subject + Date + Sender's Name"),
                          QStringLiteral("Date + Subject + Sender's Name"),
                          QStringLiteral("Date + Sender's Name + Subject")},
                         app.FileOption, group);
    extension_ = new QLineEdit(app.ExtensionMessages, group);
    antiDate_ = new QCheckBox(QStringLiteral("Anti-date message files with the Sent-date"), group);
    antiDate_->setChecked(app.AntiDateFiles == 1);
    collisionList_ = makeList({QStringLiteral("Create new-unique file name"),
                               QStringLiteral("Overwrite existing file, if current is newer"),
                               QStringLiteral("Skip (do not export) current message")},
                              app.MessageOption, group);

    layout->addWidget(new QLabel(QStringLiteral("Derive folder names from:"), group));
    layout->addWidget(folderList_);
    layout->addWidget(new QLabel(QStringLiteral("Derive file names from:"), group));
    layout->addWidget(fileList_);
    layout->addWidget(new QLabel(QStringLiteral("Message-files extension:"), group));
    layout->addWidget(extension_);
    layout->addWidget(antiDate_);
    layout->addWidget(
        new QLabel(QStringLiteral("If the message-file with the same name already exist:"), group));
    layout->addWidget(collisionList_);
    layout->addStretch();

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(group);
    TrackInput();
}

void FormCategoryFNC::ApplyPage() {
    app_.FolderOption = folderList_->currentIndex();
    app_.FileOption = fileList_->currentIndex();
    app_.ExtensionMessages = extension_->text();
    app_.AntiDateFiles = antiDate_->isChecked() ? 1 : 0;
    app_.MessageOption = collisionList_->currentIndex();
    app_.WriteSettings(SettingWrite::NamingPage);
}

void FormCategoryFNC::ResetPage() {
    folderList_->setCurrentIndex(1);
    fileList_->setCurrentIndex(2);
    extension_->setText(QStringLiteral("eml"));
    collisionList_->setCurrentIndex(0);
    antiDate_->setChecked(true);
}

} // namespace parcelo
