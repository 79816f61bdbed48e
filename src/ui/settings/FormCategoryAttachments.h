// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/settings/FormCategoryNameList.h"

namespace parcelo {

class CParceloApp;

// "Export Attachments": which attachments the message files keep.
class FormCategoryAttachments : public FormCategoryNameList {
    Q_OBJECT
public:
    FormCategoryAttachments(CParceloApp& app, int category, QWidget* parent);
};

} // namespace parcelo
