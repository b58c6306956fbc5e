#pragma once
// TMainForm: the workbench's one top-level window. An MDI frame whose children are the editor windows
// and the terminal window; it owns the menu bar and its command states, the status bar, the one serial
// port object ApdComPort1, the in-memory settings between the load at first show and the save at
// shut-down, and the recent-files list.
//
// Every part of the workbench connects its commands to the items of actions() itself:
// connect(form.actions().offloadDataFile, &QAction::triggered, ...). A disabled item does not trigger.

#include <QHash>
#include <QMainWindow>
#include <QUrl>
#include <functional>

#include "apdcomport.h"
#include "commsettingsform.h"
#include "loggerlink.h"
#include "mainformmenu.h"
#include "settings.h"

class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QMenu;

namespace orrery {

class Prompts;
class TEditor;
using settings::AllSettings;
using settings::SettingsContext;

class TMainForm : public QMainWindow {
    Q_OBJECT
public:
    TMainForm(Prompts& prompts, PortDialogs& portDialogs, QWidget* parent = nullptr);
    ~TMainForm() override;

    // --- for the other parts of the workbench -------------------------------------------------------
    const MenuActions& actions() const { return m_items; }
    QMenu* menu(const QString& name) const { return m_menus.value(name); }
    serial::TApdComPort& ApdComPort1 = m_port;
    // The one logger link on that port; every logger command goes through it (and its claim).
    link::LoggerLink& loggerLink() { return m_link; }
    Prompts& prompts() { return m_prompts; }
    QMdiArea* mdiArea() const { return m_mdi; }
    TEditor* activeEditor() const;
    QList<TEditor*> editors() const;
    // Adds a non-editor child (the terminal window).
    QMdiSubWindow* addChildWindow(QWidget* child);
    // Says in the status bar how a finished command ended ("Syntax check: no errors", "Offloaded 5 632
    // bytes into ..."), so that a success is visible as well as a failure. Every command reports here.
    void showCommandResult(const QString& message);
    QString lastCommandResult() const { return m_lastCommandResult; }

    // --- operations of the main window --------------------------------------------------------------
    bool openFileByName(const QString& name);
    void addToRecentFiles(const QString& name);
    void removeFromRecentFiles(const QString& name);
    const QStringList& recentFiles() const { return m_settings.program.recentFiles; }
    void lockMenu(const QStringList& keep);
    void unlockMenu();
    void updateCommandState();
    // The start-up sequence of the first show: lock, probe, load settings, first-run port choice,
    // apply and open the port, unlock and greet the logger, open the command-line files.
    void FormShow();
    void setCommandLineFiles(const QStringList& files) { m_commandLineFiles = files; }
    // Files dropped from the desktop, in the order given.
    void openDroppedFiles(const QList<QUrl>& urls);
    bool isMenuLocked() const { return m_locked; }
    // The command that holds the line right now, as its menu item reads without '&' and dots ("Offload
    // datafile"); empty when the line is free. The status bar shows it while the command runs.
    QString lineHolder() const { return m_lineHolder; }
    // Builds the recent-file items as opening the File menu does.
    void rebuildRecentItems();
    // Opens recent item k (1-based) as a click does; ctrl removes it instead.
    void openRecentItem(int k, bool ctrl);
    // The port setup command (menu "&Port setup...", and the terminal status bar).
    void PortSetup1Click();
    // The commands that are offered but not built: they say "Not yet implemented".
    void notYetImplemented();

    // --- state --------------------------------------------------------------------------------------
    AllSettings& settings() { return m_settings; }
    const QStringList& availablePorts() const { return m_availablePorts; }
    CommSettings commSettings() const;
    void setCommSettings(const CommSettings& s);
    bool isClosing() const { return m_closing; }
    bool mayOpenPort() const { return m_mayOpenPort; }
    void setMayOpenPort(bool may) { m_mayOpenPort = may; }
    // What the defaults of the settings depend on; tests fix it, the application measures it.
    void setSettingsContext(const SettingsContext& context) { m_context = context; m_contextFixed = true; }
    // The folder a file dialog starts in: the remembered one if the user has chosen one, else the active
    // editor's file's folder, else the home folder.
    QString startFolder(const QString& remembered) const;
    // Saves every setting to the store (shut-down, and right after the first-run port choice).
    void saveSettingsNow();

    static QString canonicalLongPath(const QString& path);

signals:
    // The port was opened, closed or reconfigured: the terminal refreshes its status bar.
    void portStatusChanged();
    // Settings were loaded (the terminal and the find dialog take their sections from settings()).
    void settingsLoaded();
    // Settings are about to be saved (the terminal and the find dialog put their sections into settings()).
    void settingsAboutToSave();
    // The compiler options were changed by their dialog (the link follows "Confirm connection").
    void compileSettingsChanged();
    // The start-up sequence ended on the very first start (the store held no settings of this program).
    void firstStartFinished();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void buildMenus();
    QAction* makeAction(const MenuEntry& entry, QMenu* menu);
    void connectOwnCommands();
    void applyCommandState(const CommandState& state);
    void setUpLineHold();
    void noteTriggeredItem(const QAction* item);
    void forgetTriggeredItemWhenIdle();
    // While a command holds the line, every item that would use the line or the progress dialog stays
    // disabled, whatever the active window.
    void applyLineHold();
    void onLinkBusy(bool busy);
    // Asked when the window is closed while a command holds the line: true when the user chose to
    // cancel the command and quit.
    bool cancelRunningCommandToQuit();
    void applyEditShortcuts(EditShortcuts mode);
    void routeSharedShortcuts();
    // Items of the menu bar in menu order, submenus included.
    QList<QAction*> menuItemsInOrder() const;
    // The item a key runs when the key has more than one binding (two items, or an item and a menu's
    // mnemonic); null when it has at most one, which the shortcut system handles by itself.
    QAction* contestedKeyTarget(const QKeySequence& key) const;
    bool belongsToThisWindow(QObject* watched) const;
    void rebuildWindowList();
    void probePorts(bool resolveMap);
    void loadSettingsNow();
    void openPortAtStart();
    void onPortLost(const QString& message);
    SettingsContext measuredContext() const;
    void applyWindowSettings();
    QMargins frameMargins() const;

    TEditor* createEditor(const QString& caption);
    void New1Click();
    void Open1Click();
    void Close1Click();
    bool saveEditor(TEditor& editor);
    bool saveEditorAs(TEditor& editor);
    void Save1Click();
    void SaveAs1Click();
    void Saveall1Click();
    QList<QMdiSubWindow*> arrangeableWindows() const;
    void tile(Qt::Orientation orientation);
    void cascade();

    Prompts& m_prompts;
    PortDialogs& m_portDialogs;
    serial::TApdComPort m_port;
    link::LoggerLink m_link{m_port, m_prompts};
    QMdiArea* m_mdi = nullptr;
    MenuActions m_items;
    QHash<QString, QMenu*> m_menus;
    QHash<const QAction*, QString> m_captions;  // item -> caption as designed
    QList<QAction*> m_windowListActions;
    AllSettings m_settings;
    SettingsContext m_context;
    QStringList m_availablePorts;
    QStringList m_commandLineFiles;
    QString m_programDir;
    int m_newFileCounter = 0;
    bool m_contextFixed = false;
    bool m_mayOpenPort = true;
    bool m_firstShow = true;
    bool m_closing = false;
    bool m_closeAfterLink = false;
    bool m_askingToQuit = false;
    bool m_locked = false;
    const QAction* m_runningItem = nullptr;  // the item whose command is starting or running
    QString m_lineHolder;
    QLabel* m_lineHolderLabel = nullptr;
    QAction* m_routedKeyTarget = nullptr;  // the item whose contested key is on its way as a key press
    QString m_lastCommandResult;
};

}  // namespace orrery
