// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/settings/FormCategoryPage.h"

class QCheckBox;
class QComboBox;
class QLineEdit;

namespace parcelo {

class CParceloApp;

// "Files Naming Convention": sub-folder and file-name rules, extension, back-dating and the
// rule for names already taken.
class FormCategoryFNC : public FormCategoryPage {
    Q_OBJECT
public:
    FormCategoryFNC(CParceloApp& app, int category, QWidget* parent);

    QComboBox* FolderList() const { return folderList_; }
    QComboBox* FileList() const { return fileList_; }
    QLineEdit* ExtensionBox() const { return extension_; }
    QCheckBox* AntiDateBox() const { return antiDate_; }
    QComboBox* CollisionList() const { return collisionList_; }

protected:
    void ApplyPage() override;
    void ResetPage() override;

private:
    CParceloApp& app_;
    QComboBox* folderList_;
    QComboBox* fileList_;
    QLineEdit* extension_;
    QCheckBox* antiDate_;
    QComboBox* collisionList_;
};

} // namespace parcelo
