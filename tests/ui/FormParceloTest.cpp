// SPDX-License-Identifier: GPL-3.0-or-later
#include "WindowFixture.h"
#include "filters/FilterCodes.h"
#include "platform/MailClientWindow.h"
#include "support/ClientProfile.h"
#include "ui/controls/CStatusBarACT.h"
#include "ui/controls/ProblemListDialog.h"
#include "ui/filters/FilterEditor.h"
#include "ui/filters/FilterSetCommands.h"
#include "ui/tree/FolderTreeWidget.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDialogButtonBox>
#include <QDirIterator>
#include <QFileDialog>
#include <QLineEdit>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

using namespace parcelo;
using namespace parcelo::ui;
using parcelo::test::WindowFixture;

namespace {

int filesUnder(const QString& folder) {
    int count = 0;
    for (QDirIterator it(folder, QDir::Files, QDirIterator::Subdirectories); it.hasNext();
         it.next())
        ++count;
    return count;
}

class FormParceloTest : public WindowFixture {
protected:
    QTreeWidgetItem* mailbox(const QString& path) {
        return window->Tree().ItemOf("store\\" + path, kTreeMailbox);
    }
};

} // namespace

TEST_F(FormParceloTest, ExportsCheckedMailboxesWithProgressAndOpensTheIndex) {
    open().show();
    mailbox("Inbox")->setCheckState(0, Qt::Checked);
    mailbox("Sent")->setCheckState(0, Qt::Checked);
    std::vector<int> progress;
    QObject::connect(&window->Progress(), &QProgressBar::valueChanged,
                     [&](int value) { progress.push_back(value); });
    bool enabledDuring = true;
    QTimer::singleShot(0, [&] { enabledDuring = window->ExportButton().isEnabled(); });

    QComboBox* op = window->Editor().Widgets().op;
    op->setCurrentIndex(3);

    QTest::mouseClick(&window->ExportButton(), Qt::LeftButton);

    EXPECT_EQ(op->currentIndex(), 0); // the editor's composing controls start afresh
    EXPECT_FALSE(enabledDuring);
    EXPECT_TRUE(window->ExportButton().isEnabled());
    ASSERT_FALSE(progress.empty());
    EXPECT_GT(progress.size(), 3u);
    EXPECT_EQ(progress.back(), 100);
    EXPECT_EQ(window->Status().PaneText(FormParcelo::kPaneInfo),
              "Task completed. 16 messages exported.");
    EXPECT_EQ(filesUnder(work.filePath("out")), 16);
    EXPECT_EQ(opened, QStringList({app.Paths.IndexPage}));
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(FormParceloTest, ValidationMessagesAndADeletingRunRebuildsTheTree) {
    open().show();
    QTest::mouseClick(&window->ExportButton(), Qt::LeftButton);
    EXPECT_EQ(messages, QStringList({"Please check at least one mailfolder."}));

    mailbox("Newsletters")->setCheckState(0, Qt::Checked);
    window->Menu().deleteSource->trigger();
    EXPECT_EQ(app.ActionDelete, 1);
    window->Menu().exportMessages->trigger();
    EXPECT_EQ(window->Status().PaneText(FormParcelo::kPaneInfo),
              "Task completed. 3 messages exported.");
    // The tree shows the store after the deletions, every check mark gone.
    ASSERT_NE(window->Tree().ItemOf("store\\Newsletters", kTreeMailbox), nullptr);
    EXPECT_EQ(window->Tree().ItemOf("store\\Newsletters", kTreeMailbox)->text(0), "Newsletters");
    EXPECT_EQ(window->Status().PaneText(FormParcelo::kPaneChecked), "No checked mailboxes.");
}

TEST_F(FormParceloTest, CloseIsIgnoredWhileAnExportRunsAndSavesAfterwards) {
    open().show();
    mailbox("Inbox")->setCheckState(0, Qt::Checked);
    bool closedDuring = true;
    QTimer::singleShot(0, [&] { closedDuring = window->close(); });
    window->OnExportMessages();
    EXPECT_FALSE(closedDuring);
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(stored("Settings/ActionMarkRead").isValid());

    window->Menu().markRead->trigger();
    window->SetDestination(work.filePath("out"));
    window->Menu().end->trigger();
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(stored("Settings/ActionMarkRead").toInt(), 1);
    EXPECT_EQ(stored("Filters/MatchAllFilters").toInt(), 0);
    EXPECT_EQ(stored("Destination/FolderPath").toString(), work.filePath("out") + "/");
}

TEST_F(FormParceloTest, PlacementIsRestoredAndMaximisedKeepsTheNormalRectangle) {
    open().show();
    window->setGeometry(QRect(40, 50, 900, 600));
    window->move(40, 50);
    ASSERT_TRUE(window->close());
    EXPECT_EQ(stored("ParceloWindow/Width").toInt(), 900);
    EXPECT_EQ(stored("ParceloWindow/State").toInt(), 0);

    open().show();
    EXPECT_EQ(window->size(), QSize(900, 600));
    EXPECT_EQ(window->pos(), QPoint(40, 50));
    window->showMaximized();
    ASSERT_TRUE(window->close());
    EXPECT_EQ(stored("ParceloWindow/State").toInt(), 2);
    EXPECT_EQ(stored("ParceloWindow/Width").toInt(), 900);

    open().show();
    EXPECT_TRUE(window->isMaximized());
    window->showNormal();
    EXPECT_EQ(window->size(), QSize(900, 600));
}

TEST_F(FormParceloTest, EnterAndEscapeNeverCloseTheWindow) {
    open().show();
    window->activateWindow();
    for (Qt::Key key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter}) {
        QTest::keyClick(window.get(), key);
        QTest::keyClick(&window->ExportButton(), key);
    }
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(messages.isEmpty()); // the export button was not pressed either
    EXPECT_EQ(window->minimumSize(), QSize(700, 400));
    EXPECT_EQ(window->maximumSize(), QSize(2000, 2000));
}

TEST_F(FormParceloTest, FilterSetsSaveLoadAndAWrongFileKeepsTheList) {
    app.Filters.items = {STR_FILTER_ITEM{CriteriaSubject, TextContains, "invoice", 1, 0, "", 0}};
    open().show();
    FilterSetCommands& commands = window->FilterCommands();
    const QString set = work.filePath("app/set");
    commands.SaveTo(FilterSetCommands::WithXmlExtension(set));
    ASSERT_TRUE(QFile::exists(set + ".xml"));

    window->Menu().clearFilters->trigger();
    commands.LoadFrom(set + ".xml", false);
    EXPECT_EQ(app.Filters.items.size(), 1);
    commands.LoadFrom(set + ".xml", true); // duplicates are dropped
    EXPECT_EQ(app.Filters.items.size(), 1);

    commands.LoadFrom(store() + "/Inbox", false);
    EXPECT_EQ(app.Filters.items.size(), 1);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].startsWith("The filter set '"));

    for (const auto& [path, expected] :
         std::vector<std::pair<QString, QString>>{{"/a/set", "/a/set.xml"},
                                                  {"/a/set.XML", "/a/set.XML"},
                                                  {"/a/my.sets", "/a/my.sets.xml"},
                                                  {"/a.b/set", "/a.b/set.xml"}})
        EXPECT_EQ(FilterSetCommands::WithXmlExtension(path), expected);
}

TEST_F(FormParceloTest, MenusCarryTheirKeysChecksAndTheTreeContextMenu) {
    app.ActionDelete = 0;
    open().show();
    const MainMenu& menu = window->Menu();
    EXPECT_EQ(menu.menus.size(), 7);
    EXPECT_EQ(menu.checkAll->text(), "Check All\tCtrl+[Num +]");
    EXPECT_EQ(menu.end->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_W));
    EXPECT_EQ(menu.about->shortcut(), QKeySequence(Qt::SHIFT | Qt::Key_F1));
    EXPECT_TRUE(menu.matchAny->isChecked());
    EXPECT_FALSE(menu.markRead->isChecked());
    QStringList settingsRequests;
    QObject::connect(window.get(), &FormParcelo::SettingsRequested,
                     [&](int category) { settingsRequests << QString::number(category); });
    menu.settingsCategories[2]->trigger();
    menu.settingsLast->trigger();
    EXPECT_EQ(settingsRequests, QStringList({"2", "-1"}));
    menu.homePage->trigger();
    EXPECT_EQ(opened.size(), 1);
    menu.helpTopics->trigger(); // the manual, at the window's section
    ASSERT_EQ(opened.size(), 2);
    EXPECT_TRUE(opened[1].endsWith("/index.html#window")) << opened[1].toStdString();
}

namespace {

struct FakeMailClient : MailClientWindow {
    bool present = false;
    bool* hidden;
    explicit FakeMailClient(bool* hiddenFlag) : hidden(hiddenFlag) {}
    bool Find() override { return present; }
    void Hide() override { *hidden = true; }
    void Show() override { *hidden = false; }
};

} // namespace

TEST_F(FormParceloTest, TheMailClientWindowIsHiddenOnceFoundAndShownAtClose) {
    open().show();
    bool hidden = false;
    auto client = std::make_unique<FakeMailClient>(&hidden);
    FakeMailClient* fake = client.get();
    window->SetMailClientWindow(std::move(client));
    EXPECT_FALSE(hidden);
    fake->present = true; // the client starts later: the one-second watch finds it
    EXPECT_TRUE(QTest::qWaitFor([&] { return hidden; }, 3000));
    window->close();
    EXPECT_FALSE(hidden);
}

TEST_F(FormParceloTest, TheTreeContextMenuSelectsWhereClickedAndOpensFromTheKeyboard) {
    open().show();
    FolderTreeWidget& tree = window->Tree();
    QMenu* menu = window->Menu().Mailfolders();
    QTreeWidgetItem* sent = mailbox("Sent");
    const QPoint at = tree.visualItemRect(sent).center();
    QContextMenuEvent click(QContextMenuEvent::Mouse, at, tree.viewport()->mapToGlobal(at));
    QApplication::sendEvent(tree.viewport(), &click);
    EXPECT_EQ(tree.currentItem(), sent);
    EXPECT_TRUE(menu->isVisible());
    menu->hide();

    QTreeWidgetItem* inbox = mailbox("Inbox");
    tree.setCurrentItem(inbox);
    tree.setFocus();
    // Where the label starts, as drawn: the first column that changes when its text goes.
    const QRect row = tree.visualItemRect(inbox);
    const QImage drawn = tree.viewport()->grab(row).toImage();
    const QString text = inbox->text(0);
    inbox->setText(0, QString());
    const QImage unlabelled = tree.viewport()->grab(row).toImage();
    inbox->setText(0, text);
    int label = -1;
    for (int x = 0; x < drawn.width() && label < 0; ++x)
        for (int y = 0; y < drawn.height(); ++y)
            if (drawn.pixel(x, y) != unlabelled.pixel(x, y)) {
                label = x;
                break;
            }
    ASSERT_GT(label, 0);

    QTest::keyClick(&tree, Qt::Key_F10, Qt::ShiftModifier);
    EXPECT_EQ(tree.currentItem(), inbox);
    EXPECT_TRUE(menu->isVisible());
    const QPoint menuAt = tree.viewport()->mapFromGlobal(menu->pos());
    EXPECT_NEAR(menuAt.x(), row.left() + label, 4);
    EXPECT_EQ(menuAt.y(), row.top());
    menu->hide();
}

TEST_F(FormParceloTest, OpenStoreRemembersTheFolderAndRefusesOneThatIsNoStore) {
    window = std::make_unique<FormParcelo>(app, work.filePath("missing"));
    window->show();
    EXPECT_TRUE(window->Status().PaneText(FormParcelo::kPaneInfo).startsWith("The store '"));
    EXPECT_TRUE(window->OpenStore(store()));
    // The store opened: the complaint about the other one is gone.
    EXPECT_EQ(window->Status().PaneText(FormParcelo::kPaneInfo), "Ready. For Help press F1.");
    EXPECT_EQ(stored("Store/Path").toString(), store());

    EXPECT_FALSE(window->OpenStore(work.filePath("missing")));
    EXPECT_EQ(messages.size(), 1);
    EXPECT_EQ(stored("Store/Path").toString(), store());
    ASSERT_TRUE(QDir(work.path()).mkpath("maildir/cur"));
    ASSERT_TRUE(window->OpenStore(work.filePath("maildir")));
    EXPECT_EQ(stored("Store/Path").toString(), work.filePath("maildir"));
    EXPECT_NE(window->Tree().ItemOf("maildir\\Inbox", kTreeMailbox), nullptr);
}

namespace {

// Answers the next question box with a click on the button, once it shows; returns its text.
void AnswerQuestion(QMessageBox::StandardButton answer, QString* text) {
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [poll, answer, text] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible())
            return;
        poll->stop();
        poll->deleteLater();
        *text = box->text();
        QTest::mouseClick(box->button(answer), Qt::LeftButton);
    });
    poll->start(10);
}

} // namespace

TEST_F(FormParceloTest, WhileTheMailClientRunsItAsksAndLeavesTheStoreAlone) {
    test::ClientProfile client;
    ASSERT_TRUE(client.create(work.filePath("client"), "Local Folders"));
    ASSERT_TRUE(
        client.linkLock(test::ClientProfile::hostName(), QCoreApplication::applicationPid()));
    const QByteArray inboxBefore = test::readFile(client.store() + "/Inbox");
    window = std::make_unique<FormParcelo>(app, client.store());
    window->SetShellOpener([](const QString&) { return true; });
    window->show();
    window->Menu().deleteSource->trigger();
    ASSERT_EQ(app.ActionDelete, 1);
    QTreeWidgetItem* inbox = window->Tree().ItemOf("Local Folders\\Inbox", kTreeMailbox);
    ASSERT_NE(inbox, nullptr);
    inbox->setCheckState(0, Qt::Checked);

    QString question;
    AnswerQuestion(QMessageBox::No, &question);
    QTest::mouseClick(&window->ExportButton(), Qt::LeftButton);
    EXPECT_TRUE(question.contains(client.profile() + "/lock")) << question.toStdString();
    EXPECT_TRUE(question.contains("Export anyway?")) << question.toStdString();
    EXPECT_EQ(filesUnder(work.filePath("out")), 0);
    EXPECT_TRUE(window->ExportButton().isEnabled());

    AnswerQuestion(QMessageBox::Yes, &question);
    QTest::mouseClick(&window->ExportButton(), Qt::LeftButton);
    EXPECT_GT(filesUnder(work.filePath("out")), 0);
    EXPECT_EQ(test::readFile(client.store() + "/Inbox"), inboxBefore);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains("the mail client is running")) << messages[0].toStdString();
}

TEST_F(FormParceloTest, HundredsOfProblemsShowInABoxThatFitsTheScreen) {
    QByteArray mailbox;
    for (int i = 1; i <= 400; ++i)
        mailbox += "From - Mon Jan  5 10:00:00 2009\nFrom: a@example.com\nSubject: m" +
                   QByteArray::number(i) + "\n\nbody\n\n";
    ASSERT_TRUE(test::writeFile(store() + "/Many", mailbox));
    app.ExtensionMessages = "e/ml"; // no message file can be written
    open().show();
    window->Tree().ItemOf("store\\Many", kTreeMailbox)->setCheckState(0, Qt::Checked);
    SetMessageSink({});

    QString summary;
    QString details;
    const QString saved = QDir::home().filePath("Parcelo problems.txt");
    QRect box;
    QRect okButton;
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [&, poll] {
        auto* shown = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!shown || !shown->isVisible())
            return;
        poll->stop();
        poll->deleteLater();
        box = shown->frameGeometry();
        auto* dialog = qobject_cast<ProblemListDialog*>(shown);
        if (!dialog) {
            shown->reject();
            return;
        }
        for (QLabel* label : dialog->findChildren<QLabel*>())
            summary += label->text();
        auto* buttons = dialog->findChild<QDialogButtonBox*>();
        QPushButton* ok = buttons->button(QDialogButtonBox::Ok);
        okButton = QRect(ok->mapTo(dialog, QPoint(0, 0)), ok->size());
        const auto named = [buttons](const QString& text) {
            for (QAbstractButton* button : buttons->buttons())
                if (button->text() == text)
                    return button;
            return static_cast<QAbstractButton*>(nullptr);
        };
        QTest::mouseClick(named("&Copy"), Qt::LeftButton);
        details = QApplication::clipboard()->text();
        // Save... asks for a file through the file dialog, which offers a name in the home folder.
        // Waits for the file dialog however long a loaded machine takes to show it.
        auto* pressSave = new QTimer;
        QObject::connect(pressSave, &QTimer::timeout, [&, pressSave] {
            auto* files = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (!files || !files->isVisible())
                return;
            pressSave->stop();
            pressSave->deleteLater();
            auto* choices = files->findChild<QDialogButtonBox*>();
            QAbstractButton* accept = nullptr;
            for (QAbstractButton* button : choices ? choices->buttons() : QList<QAbstractButton*>{})
                if (choices->buttonRole(button) == QDialogButtonBox::AcceptRole)
                    accept = button;
            if (!accept) {
                ADD_FAILURE() << "the file dialog has no Save button";
                files->reject();
                return;
            }
            // The offered name in the home folder is kept: typing a whole path into this dialog
            // without a window system's focus leaves the path's folders chosen in its list.
            for (int attempt = 0; attempt < 50 && files->isVisible(); ++attempt) {
                if (accept->isEnabled() && accept->text() == "&Save")
                    QTest::mouseClick(accept, Qt::LeftButton);
                QTest::qWait(20);
            }
            if (files->isVisible()) {
                ADD_FAILURE() << "the file dialog would not save";
                files->reject();
            }
        });
        pressSave->start(20);
        QTest::mouseClick(named("&Save..."), Qt::LeftButton);
        QTest::mouseClick(ok, Qt::LeftButton);
    });
    poll->start(10);
    QTest::mouseClick(&window->ExportButton(), Qt::LeftButton);

    const QRect screen = window->screen()->availableGeometry();
    EXPECT_TRUE(screen.contains(box)) << box.height() << " > " << screen.height();
    EXPECT_TRUE(QRect(QPoint(0, 0), box.size()).contains(okButton));
    EXPECT_TRUE(summary.contains("Message files that could not be written to " + app.FolderPath +
                                 ": 400"))
        << summary.toStdString();
    const QStringList lines = details.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 400);
    EXPECT_TRUE(lines.last().startsWith("the message 400 (\"m400\") of the mail folder"))
        << lines.last().toStdString();
    EXPECT_EQ(QString::fromUtf8(test::readFile(saved)), details);
    // The whole list is in the log as well.
    const QByteArray log = test::readFile(app.Paths.LogFile);
    EXPECT_TRUE(log.contains("Problems: 400\r\n" + lines.first().toUtf8() + "\r\n"));
    EXPECT_TRUE(log.contains(lines.last().toUtf8() + "\r\n"));
}
