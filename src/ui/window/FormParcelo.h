// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "store/IStoreNamespace.h"
#include "store/tree/FolderTreeModel.h"
#include "ui/window/MainMenu.h"

#include <QMainWindow>
#include <QTimer>
#include <functional>
#include <memory>

class QGroupBox;
class QLabel;
class QProgressBar;
class QPushButton;

namespace parcelo {
class CParceloApp;
class MailClientWindow;
} // namespace parcelo

namespace parcelo::ui {

class CRichEditCtrlEx;
class CStatusBarACT;
class FilterEditor;
class FilterSetCommands;
class FolderTreeWidget;
struct WindowMetrics;

// The main window: the folder tree on the left, the filter editor, the destination and the
// export on the right, and a two-pane status bar.
class FormParcelo : public QMainWindow {
    Q_OBJECT
public:
    static constexpr int kPaneChecked = 130;
    static constexpr int kPaneInfo = 131;

    // Opens the store at storePath (none when empty) and restores the stored placement.
    FormParcelo(CParceloApp& app, const QString& storePath, QWidget* parent = nullptr);
    ~FormParcelo() override;

    void OnExportMessages();
    // Opens another store and stores its folder as the one to open next time.
    bool OpenStore(const QString& folder);
    void SetDestination(const QString& folder);
    // A later copy of the program asked for this window.
    void BringToFront();
    // The shell's "open"; tests record what would be opened.
    void SetShellOpener(std::function<bool(const QString&)> opener) {
        shellOpen_ = std::move(opener);
    }
    void SetMailClientWindow(std::unique_ptr<MailClientWindow> window);

    FolderTreeModel& Model() { return model_; }
    FolderTreeWidget& Tree() { return *tree_; }
    FilterEditor& Editor() { return *editor_; }
    FilterSetCommands& FilterCommands() { return *filterCommands_; }
    CStatusBarACT& Status() { return *status_; }
    QProgressBar& Progress() { return *progress_; }
    const MainMenu& Menu() const { return menu_; }
    QPushButton& ExportButton() { return *exportButton_; }
    QString InformationText() const;

Q_SIGNALS:
    // The settings dialog on a category (0 to 3), or on the last confirmed one (-1).
    void SettingsRequested(int category);
    void FeedbackRequested(bool bugReport);
    // An export run has finished (also after a refused request).
    void ExportFinished(int exported);

protected:
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createControls();
    void connectMenu();
    WindowMetrics measure() const;
    void fitMinimumSize();
    void layoutControls();
    void setExportState(bool running);
    void showInformation(const QString& text, int image);
    void openIfExists(const QString& path, bool folder);
    // While the mail client runs, the run leaves the store alone: the user says whether to
    // export anyway. False: no run.
    bool confirmStoreLeftAlone();
    void onOpenStore();
    void onSelectFolder();
    void watchMailClient();

    CParceloApp& app_;
    FolderTreeModel model_;
    std::unique_ptr<IStoreNamespace> store_;
    std::unique_ptr<MailClientWindow> mailClient_;
    QTimer mailClientWatch_;
    bool mailClientHidden_ = false;
    std::function<bool(const QString&)> shellOpen_;

    QWidget* client_ = nullptr;
    MainMenu menu_{};
    QGroupBox* sourceGroup_ = nullptr;
    FolderTreeWidget* tree_ = nullptr;
    QLabel* infoIcon_ = nullptr;
    QLabel* infoText_ = nullptr;
    FilterEditor* editor_ = nullptr;
    FilterSetCommands* filterCommands_ = nullptr;
    QGroupBox* destinationGroup_ = nullptr;
    CRichEditCtrlEx* destinationBox_ = nullptr;
    QPushButton* selectButton_ = nullptr;
    QPushButton* exportButton_ = nullptr;
    QProgressBar* progress_ = nullptr;
    CStatusBarACT* status_ = nullptr;
};

} // namespace parcelo::ui
