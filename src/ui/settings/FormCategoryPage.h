// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

namespace parcelo {

// One page of the settings dialog. Any key or left click that reaches the page or one of its
// controls marks it dirty; applying writes its settings only when it is dirty.
class FormCategoryPage : public QWidget {
    Q_OBJECT
public:
    FormCategoryPage(int category, QWidget* parent);

    int Category() const { return category_; }
    bool IsDirty() const { return dirty_; }

    // Writes the page's settings when it is dirty, then clears the flag. False when the page
    // was clean and nothing was written.
    bool Apply();
    // Puts the controls back to the defaults; nothing is written until Apply.
    void Reset();

Q_SIGNALS:
    // The page's dirty flag, for the dialog's Apply button.
    void ApplyButtonUpdate(int dirty);

protected:
    virtual void ApplyPage() = 0;
    virtual void ResetPage() = 0;
    // Watches the page and every control on it; call once the controls exist.
    void TrackInput();

    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void setDirty(bool dirty);

    int category_;
    bool dirty_ = false;
};

} // namespace parcelo
