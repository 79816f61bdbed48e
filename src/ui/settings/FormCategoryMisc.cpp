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
    onlyNew_ = new QCheckBox(QStringLiteral("Export only messages not exported before"), group);
    onlyNew_->setChecked(app.OnlyNew == 1);
    onlyNew_->setToolTip(QStringLiteral(
        "Messages already exported into the destination folder are skipped, even when their "
        "files were renamed or moved since; a message in two folders is exported once."));
    indexCsv_ =
        new QCheckBox(QStringLiteral("Also write the index as a CSV file (Index.csv)"), group);
    indexCsv_->setChecked(app.IndexCsv == 1);
    auto* layout = new QVBoxLayout(group);
    layout->addWidget(new QLabel(QStringLiteral("Perform action after the export:"), group));
    layout->addWidget(compact_);
    layout->addSpacing(8);
    layout->addWidget(new QLabel(QStringLiteral("Export:"), group));
    layout->addWidget(onlyNew_);
    layout->addWidget(indexCsv_);
    layout->addStretch();
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(group);
    TrackInput();
}

void FormCategoryMisc::ApplyPage() {
    app_.CompactMailboxes = compact_->isChecked() ? 1 : 0;
    app_.OnlyNew = onlyNew_->isChecked() ? 1 : 0;
    app_.IndexCsv = indexCsv_->isChecked() ? 1 : 0;
    app_.WriteSettings(SettingWrite::MiscPage);
}

void FormCategoryMisc::ResetPage() {
    compact_->setChecked(false);
    onlyNew_->setChecked(false);
    indexCsv_->setChecked(false);
}

} // namespace parcelo
