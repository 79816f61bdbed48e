// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>

class QAction;
class QMenu;
class QMenuBar;
class QWidget;

namespace parcelo::ui {

// The menu bar of the main window: every entry with its separators, check marks and keys.
// The window connects the actions; the seven drop-down menus are kept by position.
struct MainMenu {
    QList<QMenu*> menus; // "&Session" to "&Help"

    QAction* openStore;
    QAction* end;
    QAction* viewIndex;
    QAction* viewLog;
    QAction* checkAll;
    QAction* clearAll;
    QAction* matchAny;
    QAction* matchAll;
    QAction* loadFilters;
    QAction* appendFilters;
    QAction* saveFilters;
    QAction* suspend;
    QAction* clearFilters;
    QAction* markRead;
    QAction* deleteSource;
    QAction* exportMessages;
    QAction* browseExported;
    QList<QAction*> settingsCategories; // naming, headers, attachments, misc
    QAction* settingsLast;
    QAction* helpTopics;
    QAction* homePage;
    QAction* feedback;
    QAction* bugReport;
    QAction* about;

    // Fills the bar; the actions also get the window so their keys work everywhere in it.
    static MainMenu Build(QMenuBar* bar, QWidget* window);

    QMenu* Mailfolders() const { return menus.value(2); }
    void SetEnabled(bool enabled);
};

} // namespace parcelo::ui
