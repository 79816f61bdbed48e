// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/settings/FormSettings.h"

#include "app/CParceloApp.h"
#include "app/SettingKey.h"
#include "app/SettingsStore.h"
#include "platform/ShellOpen.h"
#include "ui/controls/UserManual.h"
#include "ui/settings/CListBoxST.h"
#include "ui/settings/CategoryIcons.h"
#include "ui/settings/FormCategoryAttachments.h"
#include "ui/settings/FormCategoryFNC.h"
#include "ui/settings/FormCategoryHeaders.h"
#include "ui/settings/FormCategoryMisc.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

namespace parcelo {

namespace {

const char* const kCategoryTexts[] = {"Files Naming Convention", "Export Headers",
                                      "Export Attachments", "Misc"};
const char* const kCategorySections[] = {ui::ManualSection::kNaming, ui::ManualSection::kHeaders,
                                         ui::ManualSection::kAttachments, ui::ManualSection::kMisc};

const SettingKey& lastCategoryKey() {
    static const SettingKey* key =
        FindSettingKey(QStringLiteral("Settings"), QStringLiteral("LastCategory"));
    return *key;
}

QPushButton* makeButton(const QString& text, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

} // namespace

FormSettings::FormSettings(CParceloApp& app, int category, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint), app_(app),
      shellOpen_(&ShellOpen) {
    setWindowTitle(QStringLiteral("Settings"));

    auto* categoryLabel = new QLabel(QStringLiteral("Category:"), this);
    categories_ = new CListBoxST(this);
    const QList<QIcon> icons = CategoryIcons();
    categories_->SetImageList(icons, QSize(kCategoryIconSize, kCategoryIconSize));
    int longest = 0;
    for (int i = 0; i < 4; ++i) {
        categories_->AddString(QString::fromLatin1(kCategoryTexts[i]), i);
        longest = std::max(longest, categories_->fontMetrics().horizontalAdvance(
                                        QString::fromLatin1(kCategoryTexts[i])));
    }
    // The list's delegate puts the icon in a column of its own, 6 pixels wider than the icon.
    categories_->setFixedWidth(longest + kCategoryIconSize + 6 + 2 * categories_->frameWidth() +
                               2 * categories_->fontMetrics().averageCharWidth());
    categoryLabel->setBuddy(categories_);

    // Created right after the list, so Tab moves from the list into the shown page.
    auto* frame = new QWidget(this);
    auto* frameLayout = new QGridLayout(frame);
    frameLayout->setContentsMargins(0, 0, 0, 0);
    pages_ = {new FormCategoryFNC(app, FilesNamingConvention, frame),
              new FormCategoryHeaders(app, ExportHeaders, frame),
              new FormCategoryAttachments(app, ExportAttachments, frame),
              new FormCategoryMisc(app, Misc, frame)};
    for (FormCategoryPage* page : pages_) {
        page->hide();
        frameLayout->addWidget(page, 0, 0);
        connect(page, &FormCategoryPage::ApplyButtonUpdate, this, &FormSettings::updateApplyButton);
    }
    // Room for the largest page, so that no page's text is cut off and the dialog keeps its
    // size from page to page, and for a list of a dozen names.
    QSize pageSize(0, 25 * fontMetrics().height());
    for (const FormCategoryPage* page : pages_)
        pageSize = pageSize.expandedTo(page->sizeHint());
    frame->setMinimumSize(pageSize);

    apply_ = makeButton(QStringLiteral("&Apply"), this);
    reset_ = makeButton(QStringLiteral("&Reset"), this);
    ok_ = makeButton(QStringLiteral("&OK"), this);
    cancel_ = makeButton(QStringLiteral("&Cancel"), this);
    help_ = makeButton(QStringLiteral("Help"), this);
    apply_->setEnabled(false);

    auto* left = new QVBoxLayout;
    left->addWidget(categoryLabel);
    left->addWidget(categories_, 1);
    auto* top = new QHBoxLayout;
    top->addLayout(left);
    top->addWidget(frame, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(help_);
    buttons->addStretch();
    for (QPushButton* button : {apply_, reset_, ok_, cancel_})
        buttons->addWidget(button);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addLayout(buttons);

    connect(apply_, &QPushButton::clicked, this, &FormSettings::OnApply);
    connect(reset_, &QPushButton::clicked, this, &FormSettings::OnReset);
    connect(ok_, &QPushButton::clicked, this, &FormSettings::OnOK);
    connect(cancel_, &QPushButton::clicked, this, &FormSettings::reject);
    connect(help_, &QPushButton::clicked, this, &FormSettings::OnHelp);
    connect(new QShortcut(QKeySequence::HelpContents, this), &QShortcut::activated, this,
            &FormSettings::OnHelp);
    connect(categories_, &QListWidget::currentRowChanged, this, &FormSettings::showCategory);

    if (category < 0)
        category = ReadSetting(lastCategoryKey());
    // The stored position is 16-bit; one outside the list selects nothing and shows no page.
    category = static_cast<qint16>(category);
    if (category >= 0 && category < 4)
        categories_->setCurrentRow(category);
    else
        showCategory(-1);
}

int FormSettings::Open(CParceloApp& app, int category, QWidget* parent) {
    FormSettings dialog(app, category, parent);
    return dialog.exec();
}

FormCategoryPage* FormSettings::Page(int category) const {
    return category >= 0 && category < 4 ? pages_[static_cast<size_t>(category)] : nullptr;
}

FormCategoryPage* FormSettings::ShownPage() const {
    return Page(categories_->currentRow());
}

void FormSettings::showCategory(int category) {
    const QString text =
        category >= 0 && category < 4 ? QString::fromLatin1(kCategoryTexts[category]) : QString();
    setWindowTitle(QStringLiteral("Settings - ") + text);
    for (FormCategoryPage* page : pages_)
        if (page->Category() != category)
            page->hide();
    if (FormCategoryPage* page = Page(category))
        page->show();
    else
        updateApplyButton(0);
}

void FormSettings::updateApplyButton(int dirty) {
    // Only the shown page speaks for the button.
    if (auto* page = qobject_cast<FormCategoryPage*>(sender()); page && page != ShownPage())
        return;
    apply_->setEnabled(static_cast<qint16>(dirty) == 1);
}

void FormSettings::OnApply() {
    if (FormCategoryPage* page = ShownPage())
        page->Apply();
}

void FormSettings::OnReset() {
    if (FormCategoryPage* page = ShownPage())
        page->Reset();
}

void FormSettings::OnOK() {
    for (FormCategoryPage* page : pages_)
        page->Apply();
    WriteSetting(lastCategoryKey(), categories_->currentRow());
    accept();
}

void FormSettings::OnHelp() {
    const int category = categories_->currentRow();
    const char* section =
        category >= 0 && category < 4 ? kCategorySections[category] : ui::ManualSection::kSettings;
    ui::OpenUserManual(this, app_.Paths.HelpFiles, QLatin1String(section), shellOpen_);
}

void FormSettings::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Escape:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        event->accept();
        return;
    default:
        QDialog::keyPressEvent(event);
    }
}

void FormSettings::closeEvent(QCloseEvent* event) {
    event->ignore();
}

} // namespace parcelo
