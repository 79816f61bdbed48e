// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/controls/MessageBox.h"

#include "platform/ProductInfo.h"

#include <QMessageBox>

namespace parcelo::ui {

namespace {

MessageSink& sink() {
    static MessageSink instance;
    return instance;
}

} // namespace

void ShowMessage(QWidget* parent, const QString& text) {
    if (sink()) {
        sink()(text);
        return;
    }
    QMessageBox::warning(parent, kProductName, text, QMessageBox::Ok);
}

bool AskYesNo(QWidget* parent, const QString& text) {
    return QMessageBox::question(parent, kProductName, text, QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::Yes) == QMessageBox::Yes;
}

bool HasMessageSink() {
    return bool(sink());
}

void SetMessageSink(MessageSink sink_) {
    sink() = std::move(sink_);
}

} // namespace parcelo::ui
