// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/settings/FormCategoryMisc.h"

#include "app/CParceloApp.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QVBoxLayout>

namespace parcelo {

FormCategoryMisc::FormCategoryMisc(CParceloApp& app, int category, QWidget* parent)
    : FormCategoryPage(category, parent), app_(app) {
    auto* group = new QGroupBox(QStringLiteral("Misc"), this);
    compact_ = new QCheckBox(QStringLiteral("Compact mailboxes"), group);
    compact_->setChecked(app.CompactMailboxes == 1);
    auto* layout = new QVBoxLayout(group);
    layout->addWidget(new QLabel(QStringLiteral("Perform action after the export:"), group));
    layout->addWidget(compact_);
    layout->addStretch();
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(group);
    TrackInput();
}

void FormCategoryMisc::ApplyPage() {
    app_.CompactMailboxes = compact_->isChecked() ? 1 : 0;
    app_.WriteSettings(SettingWrite::MiscPage);
}

void FormCategoryMisc::ResetPage() {
    compact_->setChecked(false);
}

} // namespace parcelo
