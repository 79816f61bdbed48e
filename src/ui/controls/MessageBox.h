// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace parcelo::ui {

// The program's message boxes: a text, an OK button and the product name as caption.
void ShowMessage(QWidget* parent, const QString& text);

// A question with Yes (the default) and No, the product name as caption; true for Yes.
bool AskYesNo(QWidget* parent, const QString& text);

// Widget tests read the texts instead of answering a modal box; an empty sink restores the box.
using MessageSink = std::function<void(const QString&)>;
void SetMessageSink(MessageSink sink);
bool HasMessageSink();

} // namespace parcelo::ui
