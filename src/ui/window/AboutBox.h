// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

namespace parcelo::ui {

// The About box: the program's picture, product name and version, description, copyright and
// licence.
class AboutBox : public QDialog {
    Q_OBJECT
public:
    explicit AboutBox(QWidget* parent = nullptr);
};

} // namespace parcelo::ui
