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

void SetMessageSink(MessageSink sink_) {
    sink() = std::move(sink_);
}

} // namespace parcelo::ui
