#pragma once

#include <QDialog>

namespace parcelo::ui {

// The About box: the program's picture, product name and version, description and copyright.
class AboutBox : public QDialog {
    Q_OBJECT
public:
    explicit AboutBox(QWidget* parent = nullptr);
};

} // namespace parcelo::ui
