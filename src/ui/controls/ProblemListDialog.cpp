// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/controls/ProblemListDialog.h"

#include "platform/ProductInfo.h"
#include "platform/SaveWholeFile.h"
#include "ui/controls/MessageBox.h"

#include <QApplication>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QVBoxLayout>

namespace parcelo::ui {

namespace {

QString ListText(const QStringList& problems) {
    return problems.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

} // namespace

ProblemListDialog::ProblemListDialog(QWidget* parent, const QString& summary,
                                     const QStringList& problems)
    : QDialog(parent), problems_(problems), details_(new QPlainTextEdit(this)) {
    setWindowTitle(kProductName);
    auto* icon = new QLabel(this);
    const int iconSize = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning, nullptr, this)
                        .pixmap(iconSize, iconSize));
    icon->setAlignment(Qt::AlignTop);
    auto* text = new QLabel(summary, this);
    text->setWordWrap(true);
    text->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* top = new QHBoxLayout;
    top->addWidget(icon);
    top->addWidget(text, 1);

    details_->setReadOnly(true);
    details_->setLineWrapMode(QPlainTextEdit::NoWrap);
    details_->setPlainText(ListText(problems));
    // Room for a dozen lines of about 80 characters: more scrolls.
    const QFontMetrics metrics(details_->font());
    details_->setMinimumSize(metrics.averageCharWidth() * 40, metrics.lineSpacing() * 5);
    details_->resize(metrics.averageCharWidth() * 80, metrics.lineSpacing() * 12);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    QPushButton* copy = buttons->addButton(QStringLiteral("&Copy"), QDialogButtonBox::ActionRole);
    QPushButton* save =
        buttons->addButton(QStringLiteral("&Save..."), QDialogButtonBox::ActionRole);
    connect(copy, &QPushButton::clicked, this, &ProblemListDialog::copyList);
    connect(save, &QPushButton::clicked, this, &ProblemListDialog::saveList);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(details_, 1);
    layout->addWidget(buttons);

    QSize size(metrics.averageCharWidth() * 90, sizeHint().height() + metrics.lineSpacing() * 8);
    if (const QScreen* screen = parent ? parent->screen() : QApplication::primaryScreen()) {
        const QSize room = screen->availableGeometry().size() * 9 / 10;
        size = size.boundedTo(room);
        setMaximumSize(screen->availableGeometry().size());
    }
    resize(size.expandedTo(minimumSizeHint()));
}

void ProblemListDialog::copyList() {
    QApplication::clipboard()->setText(ListText(problems_));
}

void ProblemListDialog::saveList() {
    const QString path =
        QFileDialog::getSaveFileName(this, QStringLiteral("Save Problems"),
                                     QDir::home().filePath(QStringLiteral("Parcelo problems.txt")),
                                     QStringLiteral("Text files (*.txt);;All files (*)"));
    if (path.isEmpty())
        return;
    QString error;
    if (!SaveWholeFile(path, ListText(problems_).toUtf8(), &error))
        ShowMessage(this, QStringLiteral("The list could not be saved to '%1': %2").arg(path, error));
}

void ShowProblems(QWidget* parent, const QString& summary, const QStringList& problems) {
    if (HasMessageSink()) {
        ShowMessage(parent, summary + QLatin1Char('\n') + problems.join(QLatin1Char('\n')));
        return;
    }
    ProblemListDialog dialog(parent, summary, problems);
    dialog.exec();
}

} // namespace parcelo::ui
