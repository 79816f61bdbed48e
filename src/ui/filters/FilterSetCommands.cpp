// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/filters/FilterSetCommands.h"

#include "app/CParceloApp.h"
#include "filters/FilterSetFile.h"
#include "ui/controls/MessageBox.h"
#include "ui/filters/FilterEditor.h"

#include <QFileDialog>

namespace parcelo::ui {

namespace {

const QString kXmlFilter = QStringLiteral("XML Files (*.xml)");

} // namespace

FilterSetCommands::FilterSetCommands(CParceloApp& app, FilterEditor& editor,
                                     std::function<bool()> exportRunning, QWidget* window)
    : QObject(window), app_(app), editor_(editor), exportRunning_(std::move(exportRunning)),
      window_(window) {}

QString FilterSetCommands::askOpen(const QString& title) {
    return QFileDialog::getOpenFileName(window_, title, app_.FiltersFolder, kXmlFilter);
}

void FilterSetCommands::OnLoad() {
    if (exportRunning_())
        return;
    const QString path = askOpen(QStringLiteral("Load Filters Set"));
    if (!path.isEmpty())
        LoadFrom(path, false);
}

void FilterSetCommands::OnAppend() {
    if (exportRunning_())
        return;
    const QString path = askOpen(QStringLiteral("Append Filters Set"));
    if (!path.isEmpty())
        LoadFrom(path, true);
}

void FilterSetCommands::OnSave() {
    if (exportRunning_())
        return;
    const QString path = QFileDialog::getSaveFileName(window_, QStringLiteral("Save Filters Set"),
                                                      app_.FiltersFolder, kXmlFilter);
    if (!path.isEmpty())
        SaveTo(WithXmlExtension(path));
}

void FilterSetCommands::LoadFrom(const QString& path, bool append) {
    if (exportRunning_())
        return;
    // Read into a copy first: a wrong pick must not wipe the user's filters.
    QList<STR_FILTER_ITEM> items = app_.Filters.items;
    const FilterSetLoadResult result = LoadFilterSet(path, items, append);
    if (!result.ok()) {
        ShowMessage(
            window_,
            QStringLiteral("The filter set '%1' cannot be loaded: %2").arg(path, result.errorText));
        return;
    }
    app_.Filters.items = items;
    editor_.RefreshList();
    editor_.UpdateFilterButtons();
}

void FilterSetCommands::SaveTo(const QString& path) {
    if (exportRunning_())
        return;
    QString error;
    if (!SaveFilterSet(path, app_.Filters.items, &error))
        ShowMessage(window_,
                    QStringLiteral("The filter set cannot be saved to '%1': %2").arg(path, error));
}

QString FilterSetCommands::WithXmlExtension(const QString& path) {
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    if (dot > slash && path.mid(dot + 1).compare(QLatin1String("xml"), Qt::CaseInsensitive) == 0)
        return path;
    return path + QStringLiteral(".xml");
}

} // namespace parcelo::ui
