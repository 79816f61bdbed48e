// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>
#include <functional>

class QWidget;

namespace parcelo {
class CParceloApp;
}

namespace parcelo::ui {

class FilterEditor;

// The Load, Append and Save commands of the Filters menu. None of them acts while an export
// runs, since the filters are then the run's input.
class FilterSetCommands : public QObject {
    Q_OBJECT
public:
    FilterSetCommands(CParceloApp& app, FilterEditor& editor, std::function<bool()> exportRunning,
                      QWidget* window);

    void OnLoad();
    void OnAppend();
    void OnSave();

    // The commands after their dialogs. A file that is no filter set leaves the list as it was
    // and says why; a failed save says why.
    void LoadFrom(const QString& path, bool append);
    void SaveTo(const QString& path);

    // "set" becomes "set.xml", "set.XML" stays, "my.sets" becomes "my.sets.xml".
    static QString WithXmlExtension(const QString& path);

private:
    QString askOpen(const QString& title);

    CParceloApp& app_;
    FilterEditor& editor_;
    std::function<bool()> exportRunning_;
    QWidget* window_;
};

} // namespace parcelo::ui
