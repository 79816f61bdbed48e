// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/window/MainMenu.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QMenuBar>

namespace parcelo::ui {

namespace {

QAction* add(QMenu* menu, const QString& text, const QKeySequence& keys = {}) {
    QAction* action = menu->addAction(text);
    if (!keys.isEmpty()) {
        action->setShortcut(keys);
        action->setShortcutContext(Qt::WindowShortcut);
    }
    return action;
}

// Ctrl with a keypad key. Under X11 the shortcut map drops the keypad flag of a key, so the
// same key without it is bound too.
QList<QKeySequence> keypadKeys(Qt::Key key) {
    return {QKeySequence(QKeyCombination(Qt::ControlModifier | Qt::KeypadModifier, key)),
            QKeySequence(QKeyCombination(Qt::ControlModifier, key))};
}

QAction* checkable(QMenu* menu, const QString& text) {
    QAction* action = menu->addAction(text);
    action->setCheckable(true);
    return action;
}

} // namespace

MainMenu MainMenu::Build(QMenuBar* bar, QWidget* window) {
    MainMenu m;
    // A tab in an entry's text shows the key as written here, whatever the key sequence.
    QMenu* session = bar->addMenu(QStringLiteral("&Session"));
    m.openStore = add(session, QStringLiteral("&Open Store..."));
    session->addSeparator();
    m.end = add(session, QStringLiteral("&End\tCtrl+W"), QKeySequence(Qt::CTRL | Qt::Key_W));

    QMenu* view = bar->addMenu(QStringLiteral("&View"));
    m.viewIndex = add(view, QStringLiteral("&Index"));
    m.viewLog = add(view, QStringLiteral("&Log"));

    QMenu* folders = bar->addMenu(QStringLiteral("&Mailfolders"));
    m.checkAll = add(folders, QStringLiteral("Check All\tCtrl+[Num +]"));
    m.checkAll->setShortcuts(keypadKeys(Qt::Key_Plus));
    m.clearAll = add(folders, QStringLiteral("Clear All\tCtrl+[Num -]"));
    m.clearAll->setShortcuts(keypadKeys(Qt::Key_Minus));

    QMenu* filters = bar->addMenu(QStringLiteral("&Filters"));
    QMenu* match = filters->addMenu(QStringLiteral("Match"));
    m.matchAny = checkable(match, QStringLiteral("Any"));
    m.matchAll = checkable(match, QStringLiteral("All"));
    auto* matchGroup = new QActionGroup(match);
    matchGroup->addAction(m.matchAny);
    matchGroup->addAction(m.matchAll);
    filters->addSeparator();
    m.loadFilters = add(filters, QStringLiteral("&Load..."));
    m.appendFilters = add(filters, QStringLiteral("&Append..."));
    m.saveFilters = add(filters, QStringLiteral("&Save..."));
    filters->addSeparator();
    m.suspend = checkable(filters, QStringLiteral("S&uspend"));
    m.clearFilters = add(filters, QStringLiteral("&Clear"));

    QMenu* action = bar->addMenu(QStringLiteral("&Action"));
    QMenu* onSource = action->addMenu(QStringLiteral("On Source Messages"));
    m.markRead = checkable(onSource, QStringLiteral("Mark Read"));
    m.deleteSource = checkable(onSource, QStringLiteral("Delete"));
    action->addSeparator();
    m.exportMessages = add(action, QStringLiteral("E&xport Messages"));
    action->addSeparator();
    m.browseExported = add(action, QStringLiteral("Browse Exported Messages"));

    QMenu* settings = bar->addMenu(QStringLiteral("Se&ttings"));
    for (const char* name :
         {"Files Naming Convention", "Export Headers", "Export Attachments", "Misc"})
        m.settingsCategories.append(add(settings, QString::fromLatin1(name)));
    settings->addSeparator();
    m.settingsLast = add(settings, QStringLiteral("&Category..."));

    QMenu* help = bar->addMenu(QStringLiteral("&Help"));
    m.helpTopics = add(help, QStringLiteral("&Topics\tF1"), QKeySequence(Qt::Key_F1));
    help->addSeparator();
    m.homePage = add(help, QStringLiteral("&Visit Home Page"));
    m.feedback = add(help, QStringLiteral("Send &Feedback"));
    m.bugReport = add(help, QStringLiteral("&Report a Bug"));
    help->addSeparator();
    m.about = add(help, QStringLiteral("About\tShift+F1"), QKeySequence(Qt::SHIFT | Qt::Key_F1));

    m.menus = {session, view, folders, filters, action, settings, help};
    for (QMenu* menu : m.menus)
        window->addActions(menu->actions());
    return m;
}

void MainMenu::SetEnabled(bool enabled) {
    // The entries go with their menus, so that no key reaches a command while an export runs.
    for (QMenu* menu : menus) {
        menu->menuAction()->setEnabled(enabled);
        for (QAction* action : menu->actions())
            action->setEnabled(enabled);
    }
}

} // namespace parcelo::ui
