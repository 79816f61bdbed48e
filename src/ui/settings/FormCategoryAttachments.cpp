// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/settings/FormCategoryAttachments.h"

#include "app/CParceloApp.h"

namespace parcelo {

FormCategoryAttachments::FormCategoryAttachments(CParceloApp& app, int category, QWidget* parent)
    : FormCategoryNameList(
          {QStringLiteral("Export Attachments"),
           QStringLiteral("Attachment Name & Extension [example: My Document.doc]"),
           SettingWrite::AttachmentsPage, false},
          app, app.ExportAttachments, app.AttachmentList, app.Paths.AttachmentListFile, category,
          parent) {}

} // namespace parcelo
