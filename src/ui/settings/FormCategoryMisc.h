// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/settings/FormCategoryPage.h"

class QCheckBox;

namespace parcelo {

class CParceloApp;

// "Misc": what happens to the mail folders after the export.
class FormCategoryMisc : public FormCategoryPage {
    Q_OBJECT
public:
    FormCategoryMisc(CParceloApp& app, int category, QWidget* parent);

    QCheckBox* CompactBox() const { return compact_; }

protected:
    void ApplyPage() override;
    void ResetPage() override;

private:
    CParceloApp& app_;
    QCheckBox* compact_;
};

} // namespace parcelo
