// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/window/FormParcelo.h"

#include "app/CParceloApp.h"
#include "app/SettingKey.h"
#include "app/WindowPlacement.h"
#include "export/ExportSession.h"
#include "platform/MailClientWindow.h"
#include "platform/ProductInfo.h"
#include "platform/ShellOpen.h"
#include "ui/controls/CRichEditCtrlEx.h"
#include "ui/controls/CStatusBarACT.h"
#include "ui/controls/MessageBox.h"
#include "ui/controls/ProblemListDialog.h"
#include "ui/controls/UserManual.h"
#include "ui/filters/FilterEditor.h"
#include "ui/filters/FilterSetCommands.h"
#include "ui/picker/CSelectFolderDialog.h"
#include "ui/tree/FolderTreeWidget.h"
#include "ui/tree/TreeIcons.h"
#include "ui/window/AboutBox.h"
#include "ui/window/ScreenPlacement.h"
#include "ui/window/WindowExportObserver.h"
#include "ui/window/WindowLayout.h"
#include "ui/window/WindowMetrics.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>

namespace parcelo::ui {

namespace {

std::unique_ptr<IStoreNamespace> openStore(const QString& folder, QString* error) {
    std::unique_ptr<IStoreNamespace> store = CreateStoreNamespace(folder, error);
    if (store && !Succeeded(store->Initialize())) {
        store.reset();
        *error = QStringLiteral("the store cannot be initialised");
    }
    return store;
}

QPushButton* pushButton(const QString& text, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    button->setAutoDefault(false);
    return button;
}

const QString kReadyText = QStringLiteral("Ready. For Help press F1.");

} // namespace

FormParcelo::FormParcelo(CParceloApp& app, const QString& storePath, QWidget* parent)
    : QMainWindow(parent), app_(app), shellOpen_(&ShellOpen) {
    setWindowIcon(ProgramIcon());
    setWindowTitle(app_.ProductName + QStringLiteral(" :: ") + app_.ProductVersion);
    setMaximumSize(2000, 2000);
    menu_ = MainMenu::Build(menuBar(), this);
    createControls();
    connectMenu();

    if (!storePath.isEmpty()) {
        QString error;
        store_ = openStore(storePath, &error);
        if (store_)
            model_.PopulateFolderTree(*store_);
        else
            status_->SetPaneText(
                kPaneInfo,
                QStringLiteral("The store '%1' cannot be opened: %2").arg(storePath, error));
    }
    tree_->Rebuild();

    // Without a store the rest is still set up, so that Close stores what the user had.
    app_.ReadWindowSettings();
    menu_.markRead->setChecked(app_.ActionMarkRead == 1);
    menu_.deleteSource->setChecked(app_.ActionDelete == 1);
    (app_.Filters.matchAll() ? menu_.matchAll : menu_.matchAny)->setChecked(true);
    menu_.suspend->setChecked(app_.Filters.suspended());
    editor_->RefreshList();
    editor_->UpdateFilterButtons();
    destinationBox_->SetText(app_.FolderPath);
    ApplyPlacement(WindowPlacement::Read(), *this);

    SetMailClientWindow(MailClientWindow::Create(
        QGuiApplication::platformName() == QLatin1String("xcb"), MailClientWindow::kClientClass));
}

FormParcelo::~FormParcelo() = default;

void FormParcelo::createControls() {
    client_ = new QWidget(this);
    setCentralWidget(client_);
    client_->installEventFilter(this);

    sourceGroup_ = new QGroupBox(QStringLiteral("Source"), client_);
    tree_ = new FolderTreeWidget(model_, client_);
    tree_->SetContextMenu(menu_.Mailfolders());
    infoIcon_ = new QLabel(client_);
    infoIcon_->setAlignment(Qt::AlignCenter);
    infoText_ = new QLabel(client_);
    infoText_->setTextFormat(Qt::PlainText);
    infoText_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    infoText_->setWordWrap(true);

    editor_ = new FilterEditor(app_.Filters, client_);
    filterCommands_ = new FilterSetCommands(
        app_, *editor_, [this] { return model_.ExportRunning(); }, this);

    destinationGroup_ = new QGroupBox(QStringLiteral("Destination"), client_);
    selectButton_ = pushButton(QStringLiteral("Select..."), client_);
    exportButton_ = pushButton(QStringLiteral("E&xport Messages"), client_);
    progress_ = new QProgressBar(client_);
    progress_->setRange(0, 100);
    progress_->setValue(0);
    progress_->setTextVisible(false);
    destinationBox_ = new CRichEditCtrlEx(client_);
    destinationBox_->setReadOnly(true);
    QPalette palette = destinationBox_->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Window));
    destinationBox_->setPalette(palette);

    // The group boxes are frames only: they stay behind the controls placed on them.
    for (QGroupBox* group : {sourceGroup_, editor_->Widgets().filtersGroup,
                             editor_->Widgets().composeGroup, destinationGroup_})
        group->lower();
    // Tab order as the controls are read: source, filter editor, destination.
    const FilterEditor::Controls& c = editor_->Widgets();
    QWidget* order[] = {tree_,       c.field,    c.op,     c.text,        c.caseSensitive, c.size,
                        c.valueList, c.date,     c.add,    c.update,      c.list,          c.edit,
                        c.remove,    c.moveDown, c.moveUp, selectButton_, exportButton_};
    for (size_t i = 0; i + 1 < std::size(order); ++i)
        setTabOrder(order[i], order[i + 1]);

    // The checked count's pane holds its longest text.
    const int checkedWidth =
        fontMetrics().horizontalAdvance(QStringLiteral("0000 mailboxes checked.")) +
        2 * fontMetrics().averageCharWidth();
    status_ = new CStatusBarACT({{kPaneChecked, checkedWidth}, {kPaneInfo, 0}}, this);
    setStatusBar(status_);
    status_->SetPaneText(kPaneChecked, QStringLiteral("No checked mailboxes."));
    status_->SetPaneTipText(kPaneChecked, QStringLiteral("Checked Mailboxes"));
    status_->SetPaneText(kPaneInfo, kReadyText);
    status_->SetPaneTipText(kPaneInfo, QStringLiteral("General Information"));

    connect(tree_, &FolderTreeWidget::CheckedCountChanged, this,
            [this](const QString& text) { status_->SetPaneText(kPaneChecked, text); });
    connect(tree_, &FolderTreeWidget::InformationChanged, this, &FormParcelo::showInformation);
    connect(tree_, &FolderTreeWidget::InformationIconChanged, this,
            [this](int image) { infoIcon_->setPixmap(TreeIconPixmap(image, 32)); });
    connect(selectButton_, &QPushButton::clicked, this, &FormParcelo::onSelectFolder);
    connect(exportButton_, &QPushButton::clicked, this, &FormParcelo::OnExportMessages);
    fitMinimumSize();
}

void FormParcelo::connectMenu() {
    const MainMenu& m = menu_;
    connect(m.openStore, &QAction::triggered, this, &FormParcelo::onOpenStore);
    connect(m.end, &QAction::triggered, this, &QWidget::close);
    connect(m.viewIndex, &QAction::triggered, this,
            [this] { openIfExists(app_.Paths.IndexPage, false); });
    connect(m.viewLog, &QAction::triggered, this,
            [this] { openIfExists(app_.Paths.LogFile, false); });
    connect(m.checkAll, &QAction::triggered, tree_, &FolderTreeWidget::CheckAll);
    connect(m.clearAll, &QAction::triggered, tree_, &FolderTreeWidget::ClearAll);
    connect(m.matchAny, &QAction::triggered, this, [this] { editor_->SetMatchAll(false); });
    connect(m.matchAll, &QAction::triggered, this, [this] { editor_->SetMatchAll(true); });
    connect(m.loadFilters, &QAction::triggered, filterCommands_, &FilterSetCommands::OnLoad);
    connect(m.appendFilters, &QAction::triggered, filterCommands_, &FilterSetCommands::OnAppend);
    connect(m.saveFilters, &QAction::triggered, filterCommands_, &FilterSetCommands::OnSave);
    connect(m.suspend, &QAction::triggered, this, [this] {
        editor_->OnSuspend();
        menu_.suspend->setChecked(app_.Filters.suspended());
    });
    connect(m.clearFilters, &QAction::triggered, editor_, &FilterEditor::OnClear);
    connect(m.markRead, &QAction::triggered, this,
            [this](bool on) { app_.ActionMarkRead = on ? 1 : 0; });
    connect(m.deleteSource, &QAction::triggered, this,
            [this](bool on) { app_.ActionDelete = on ? 1 : 0; });
    connect(m.exportMessages, &QAction::triggered, this, &FormParcelo::OnExportMessages);
    connect(m.browseExported, &QAction::triggered, this,
            [this] { openIfExists(app_.FolderPath, true); });
    for (int category = 0; category < m.settingsCategories.size(); ++category)
        connect(m.settingsCategories[category], &QAction::triggered, this,
                [this, category] { Q_EMIT SettingsRequested(category); });
    connect(m.settingsLast, &QAction::triggered, this, [this] { Q_EMIT SettingsRequested(-1); });
    connect(m.helpTopics, &QAction::triggered, this, [this] {
        OpenUserManual(this, app_.Paths.HelpFiles, QLatin1String(ManualSection::kWindow),
                       shellOpen_);
    });
    connect(m.homePage, &QAction::triggered, this, [this] { shellOpen_(kProductHomePage); });
    connect(m.feedback, &QAction::triggered, this, [this] { Q_EMIT FeedbackRequested(false); });
    connect(m.bugReport, &QAction::triggered, this, [this] { Q_EMIT FeedbackRequested(true); });
    connect(m.about, &QAction::triggered, this, [this] { AboutBox(this).exec(); });
}

void FormParcelo::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (status_ && (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)) {
        fitMinimumSize();
        layoutControls();
    }
}

WindowMetrics FormParcelo::measure() const {
    return WindowMetrics::Measure(editor_->Widgets(), *destinationBox_, *selectButton_,
                                  *exportButton_, *infoText_);
}

// The window never gets smaller than its controls need, whatever the font.
void FormParcelo::fitMinimumSize() {
    client_->setMinimumSize(WindowLayout::MinimumSize(measure()));
    layout()->invalidate();
    setMinimumSize(QSize(700, 400).expandedTo(layout()->minimumSize()));
}

bool FormParcelo::eventFilter(QObject* watched, QEvent* event) {
    if (watched == client_ && event->type() == QEvent::Resize && !isMinimized())
        layoutControls();
    return QMainWindow::eventFilter(watched, event);
}

void FormParcelo::layoutControls() {
    const WindowLayout l = WindowLayout::Compute(client_->width(), client_->height(), measure());
    const FilterEditor::Controls& c = editor_->Widgets();
    c.filtersGroup->setGeometry(l.filters);
    c.composeGroup->setGeometry(l.compose);
    c.field->setGeometry(l.field);
    c.op->setGeometry(l.op);
    c.valueList->setGeometry(l.valueList);
    for (QWidget* value : {static_cast<QWidget*>(c.text), static_cast<QWidget*>(c.size),
                           static_cast<QWidget*>(c.date)})
        value->setGeometry(l.value);
    c.add->setGeometry(l.add);
    c.update->setGeometry(l.update);
    c.caseSensitive->setGeometry(l.caseSensitive);
    c.list->setGeometry(l.list);
    editor_->FitColumns();
    c.moveDown->setGeometry(l.moveDown);
    c.moveUp->setGeometry(l.moveUp);
    c.remove->setGeometry(l.remove);
    c.edit->setGeometry(l.edit);
    destinationGroup_->setGeometry(l.destination);
    destinationBox_->setGeometry(l.destinationBox);
    selectButton_->setGeometry(l.select);
    exportButton_->setGeometry(l.exportButton);
    progress_->setGeometry(l.progress);
    sourceGroup_->setGeometry(l.source);
    tree_->setGeometry(l.tree);
    infoIcon_->setGeometry(l.infoIcon);
    infoText_->setGeometry(l.infoText);
}

void FormParcelo::showInformation(const QString& text, int image) {
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    infoText_->setText(shown);
    infoIcon_->setPixmap(image < 0 ? QPixmap() : TreeIconPixmap(image, 32));
    // The text below the tree takes as many lines as it needs.
    layoutControls();
}

QString FormParcelo::InformationText() const {
    return infoText_->text();
}

void FormParcelo::setExportState(bool running) {
    menu_.SetEnabled(!running);
    for (QWidget* control : {static_cast<QWidget*>(tree_), static_cast<QWidget*>(selectButton_),
                             static_cast<QWidget*>(exportButton_)})
        control->setEnabled(!running);
    editor_->SetExportRunning(running);
}

void FormParcelo::OnExportMessages() {
    if (model_.ExportRunning())
        return;
    if (!confirmStoreLeftAlone())
        return;
    setExportState(true);
    WindowExportObserver observer(*progress_, *status_, kPaneInfo);
    ExportCommandResult result;
    if (store_) {
        ExportSession session(app_, *store_, observer);
        result = session.OnExportMessages(model_);
        // The items of a rebuilt tree point at freed entries until they are rebuilt too.
        if (result.TreeRebuilt)
            tree_->Rebuild();
    } else {
        result.ValidationMessage = QStringLiteral("Please check at least one mailfolder.");
    }
    if (!result.ValidationMessage.isEmpty())
        ShowMessage(this, result.ValidationMessage);
    setExportState(false);
    if (!result.Problems.isEmpty()) {
        QStringList summary{QStringLiteral("The export finished, but not everything was done:")};
        for (const auto& [kind, count] : result.ProblemCounts)
            summary.append(ExportProblemSummaryLine(kind, count, app_.FolderPath));
        summary.append(QStringLiteral("The list below is also in the log '%1'.")
                           .arg(app_.Paths.LogFile));
        ShowProblems(this, summary.join(QLatin1Char('\n')), result.Problems);
    }
    if (result.OpenIndex)
        shellOpen_(app_.Paths.IndexPage);
    Q_EMIT ExportFinished(result.Exported);
}

bool FormParcelo::confirmStoreLeftAlone() {
    if (!store_ || !ExportSession::ChangesStore(app_))
        return true;
    const QString lock = ExportSession::RunningMailClient(*store_);
    if (lock.isEmpty())
        return true;
    return AskYesNo(this, QStringLiteral("The mail client is running on this store (%1).\n\n"
                                         "Exported messages will not be marked read or deleted, "
                                         "and folders will not be compacted, until the mail "
                                         "client is closed.\n\nExport anyway?")
                              .arg(lock));
}

void FormParcelo::openIfExists(const QString& path, bool folder) {
    const QFileInfo info(path);
    if (folder ? info.isDir() : info.isFile())
        shellOpen_(path);
}

void FormParcelo::onOpenStore() {
    QString start = ReadStorePath();
    if (start.isEmpty())
        start = QDir::homePath();
    const QString folder =
        QFileDialog::getExistingDirectory(this, QStringLiteral("Open Store"), start);
    if (!folder.isEmpty())
        OpenStore(folder);
}

bool FormParcelo::OpenStore(const QString& folder) {
    if (model_.ExportRunning())
        return false;
    QString error;
    std::unique_ptr<IStoreNamespace> store = openStore(folder, &error);
    if (!store) {
        ShowMessage(this, QStringLiteral("The folder '%1' cannot be opened as a mail store: %2")
                              .arg(folder, error));
        return false;
    }
    WriteStorePath(folder);
    status_->SetPaneText(kPaneInfo, kReadyText);
    tree_->clear();
    store_ = std::move(store);
    model_.PopulateFolderTree(*store_);
    tree_->Rebuild();
    return true;
}

void FormParcelo::onSelectFolder() {
    const QString folder = CSelectFolderDialog::ChooseExportFolder(this, app_.FolderPath);
    if (!folder.isEmpty())
        SetDestination(folder);
}

void FormParcelo::SetDestination(const QString& folder) {
    app_.FolderPath = WithTrailingSlash(folder);
    destinationBox_->SetText(app_.FolderPath);
}

void FormParcelo::SetMailClientWindow(std::unique_ptr<MailClientWindow> window) {
    mailClientWatch_.stop();
    mailClient_ = std::move(window);
    mailClientWatch_.setInterval(1000);
    connect(&mailClientWatch_, &QTimer::timeout, this, &FormParcelo::watchMailClient,
            Qt::UniqueConnection);
    if (mailClient_ && !mailClient_->Find())
        mailClientWatch_.start();
    else
        watchMailClient();
}

void FormParcelo::watchMailClient() {
    if (!mailClient_ || !mailClient_->Find())
        return;
    mailClientWatch_.stop();
    if (!mailClientHidden_) {
        mailClient_->Hide();
        mailClientHidden_ = true;
    }
}

void FormParcelo::BringToFront() {
    setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    show();
    raise();
    activateWindow();
}

void FormParcelo::closeEvent(QCloseEvent* event) {
    if (model_.ExportRunning()) {
        event->ignore();
        return;
    }
    app_.WriteSettings(SettingWrite::WindowClose);
    tree_->clear();
    store_.reset();
    model_.Clear();
    mailClientWatch_.stop();
    if (mailClientHidden_ && mailClient_) {
        mailClient_->Show();
        mailClientHidden_ = false;
    }
    PlacementOf(*this).Write();
    event->accept();
}

} // namespace parcelo::ui
