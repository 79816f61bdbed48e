// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/picker/CSelectFolderDialog.h"

#include <QDialogButtonBox>
#include <QFileSystemModel>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QLocale>
#include <QPushButton>
#include <QSplitter>
#include <QTimer>
#include <QTreeView>

namespace parcelo {

namespace {

const QString kNone = QStringLiteral("[None]");
// The file model's column of modification times.
constexpr int kTimeColumn = 3;

void hideChild(QWidget* dialog, const char* name) {
    if (QWidget* child = dialog->findChild<QWidget*>(QLatin1String(name)))
        child->hide();
}

} // namespace

CSelectFolderDialog::CSelectFolderDialog(QWidget* parent) : QFileDialog(parent) {
    setOption(QFileDialog::DontUseNativeDialog);
    setOption(QFileDialog::ShowDirsOnly);
    setFileMode(QFileDialog::Directory);
    setAcceptMode(QFileDialog::AcceptOpen);
    setWindowTitle(QStringLiteral("Select Folder"));
    setLabelText(QFileDialog::Accept, QStringLiteral("&Select"));
    setLabelText(QFileDialog::Reject, QStringLiteral("&No"));

    // The file name entry and the file type list mean nothing here; the read-only box takes
    // the place of the name entry.
    for (const char* name : {"fileNameEdit", "fileNameLabel", "fileTypeCombo", "fileTypeLabel"})
        hideChild(this, name);
    // Select left of No on one line, whatever order the desktop's style would give them.
    if (auto* buttons = findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"))) {
        buttons->setOrientation(Qt::Horizontal);
        buttons->setStyleSheet(QStringLiteral("QDialogButtonBox { button-layout: 0; }"));
    }
    auto* label = new QLabel(QStringLiteral("Current Selection:"), this);
    selection_ = new QLineEdit(this);
    selection_->setReadOnly(true);
    label->setBuddy(selection_);
    if (auto* grid = qobject_cast<QGridLayout*>(layout())) {
        const int row = grid->rowCount();
        grid->addWidget(label, row, 0, 1, grid->columnCount());
        grid->addWidget(selection_, row + 1, 0, 1, grid->columnCount());
    }
    // The detail view's columns start as wide as their titles, the one of the times as wide as
    // a time in the system's short format; the dialog as large as its controls need and 44 by
    // 31 lines of text at least.
    if (auto* details = findChild<QTreeView*>(QStringLiteral("treeView"))) {
        QHeaderView* header = details->header();
        for (int section = 0; section < header->count(); ++section)
            header->resizeSection(
                section, std::max(header->sectionSize(section), header->sectionSizeHint(section)));
        const QString time = QLocale::system().toString(
            QDateTime(QDate(2000, 12, 28), QTime(23, 59, 59)), QLocale::ShortFormat);
        const int timeWidth = details->fontMetrics().horizontalAdvance(time) +
                              2 * details->fontMetrics().averageCharWidth();
        if (header->count() > kTimeColumn)
            header->resizeSection(kTimeColumn,
                                  std::max(header->sectionSize(kTimeColumn), timeWidth));
    }
    resize(sizeHint().expandedTo(QSize(44, 31) * fontMetrics().height()));

    // Qt's own dialog signals only some moves between folders (not back and forward), but each
    // one sets the root of its file model: the place shown, empty for one without a path.
    if (auto* model = findChild<QFileSystemModel*>())
        connect(model, &QFileSystemModel::rootPathChanged, this, [this](const QString& path) {
            showFolder(path.isEmpty() ? QUrl() : QUrl::fromLocalFile(path));
        });
    // The file dialog sets the button's state itself whenever its list changes; ours wins.
    connect(this, &QFileDialog::currentChanged, this,
            [this] { QTimer::singleShot(0, this, &CSelectFolderDialog::updateSelectButton); });
    showFolder(directoryUrl());
}

QString CSelectFolderDialog::ChooseExportFolder(QWidget* parent, const QString& startFolder) {
    CSelectFolderDialog dialog(parent);
    dialog.SetTitle(QStringLiteral("Export messages to folder:"));
    dialog.SetStartFolder(startFolder);
    return dialog.exec() == QDialog::Accepted ? dialog.CurrentFolder() : QString();
}

QPushButton* CSelectFolderDialog::SelectButton() const {
    const auto* buttons = findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
    return buttons ? buttons->button(QDialogButtonBox::Open) : nullptr;
}

void CSelectFolderDialog::SetTitle(const QString& title) {
    setWindowTitle(title);
}

void CSelectFolderDialog::SetStartFolder(const QString& folder) {
    if (folder.isEmpty())
        return;
    setDirectory(folder);
    showFolder(directoryUrl());
}

QString CSelectFolderDialog::WithOneSeparator(const QString& path) {
    QString folder = path;
    while (!folder.isEmpty() && folder.back().isSpace())
        folder.chop(1);
    if (folder.isEmpty())
        return {};
    while (folder.endsWith(QLatin1Char('/')))
        folder.chop(1);
    return folder + QLatin1Char('/');
}

void CSelectFolderDialog::showFolder(const QUrl& url) {
    current_ = url.isLocalFile() ? WithOneSeparator(url.toLocalFile()) : QString();
    selection_->setText(current_.isEmpty() ? kNone : current_);
    updateSelectButton();
}

void CSelectFolderDialog::updateSelectButton() {
    if (QPushButton* select = SelectButton())
        select->setEnabled(!current_.isEmpty());
}

void CSelectFolderDialog::showEvent(QShowEvent* event) {
    QFileDialog::showEvent(event);
    // The list of places on the left gets the width its names need, once the dialog is laid out.
    auto* places = findChild<QListView*>(QStringLiteral("sidebar"));
    auto* splitter = findChild<QSplitter*>(QStringLiteral("splitter"));
    if (!places || !splitter || splitter->count() != 2)
        return;
    QList<int> sizes = splitter->sizes();
    const int wanted = places->sizeHintForColumn(0) + places->width() - places->viewport()->width();
    const int total = sizes[0] + sizes[1];
    if (sizes[0] >= wanted || wanted > total / 2)
        return;
    splitter->setSizes({wanted, total - wanted});
}

void CSelectFolderDialog::accept() {
    if (!current_.isEmpty())
        QDialog::accept();
}

} // namespace parcelo
