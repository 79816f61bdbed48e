// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/settings/FormCategoryNameList.h"

namespace parcelo {

class CParceloApp;

// "Export Headers": which header fields the message files keep.
class FormCategoryHeaders : public FormCategoryNameList {
    Q_OBJECT
public:
    FormCategoryHeaders(CParceloApp& app, int category, QWidget* parent);
};

} // namespace parcelo
