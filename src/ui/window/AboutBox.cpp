// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/window/AboutBox.h"

#include "platform/ProductInfo.h"
#include "ui/tree/TreeIcons.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace parcelo::ui {

AboutBox::AboutBox(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("About ") + kProductName);
    auto* picture = new QLabel(this);
    picture->setPixmap(ProgramIcon().pixmap(48, 48));
    picture->setAlignment(Qt::AlignTop);
    auto* texts = new QLabel(this);
    texts->setTextFormat(Qt::PlainText);
    texts->setText(kProductName + QStringLiteral(" ") + kProductVersion + QStringLiteral("\n\n") +
                   kProductDescription + QStringLiteral("\n") + kProductCopyright +
                   QStringLiteral("\n\n") + kProductLicense);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    auto* row = new QHBoxLayout;
    row->addWidget(picture);
    row->addSpacing(12);
    row->addWidget(texts, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(buttons);
}

} // namespace parcelo::ui
