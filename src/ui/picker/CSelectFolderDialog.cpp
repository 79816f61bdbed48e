#include "ui/picker/CSelectFolderDialog.h"

#include <QDialogButtonBox>
#include <QFileSystemModel>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

namespace parcelo {

namespace {

const QString kNone = QStringLiteral("[None]");

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
    auto* label = new QLabel(QStringLiteral("Current Selection:"), this);
    selection_ = new QLineEdit(this);
    selection_->setReadOnly(true);
    label->setBuddy(selection_);
    if (auto* grid = qobject_cast<QGridLayout*>(layout())) {
        const int row = grid->rowCount();
        grid->addWidget(label, row, 0, 1, grid->columnCount());
        grid->addWidget(selection_, row + 1, 0, 1, grid->columnCount());
    }
    resize(620, 440);

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

void CSelectFolderDialog::accept() {
    if (!current_.isEmpty())
        QDialog::accept();
}

} // namespace parcelo
