// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/settings/FormCategoryHeaders.h"

#include "app/CParceloApp.h"

namespace parcelo {

FormCategoryHeaders::FormCategoryHeaders(CParceloApp& app, int category, QWidget* parent)
    : FormCategoryNameList(
          {QStringLiteral("Export Headers"), QStringLiteral("Header Title [example: Subject]"),
           SettingWrite::HeadersPage, true},
          app, app.ExportHeaders, app.HeaderList, app.Paths.HeaderListFile, category, parent) {}

} // namespace parcelo
