#include "mainform.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QDialog>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QStyle>
#include <QMenuBar>
#include <QMimeData>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QWindow>

#include "aboutwin.h"
#include "compileoptions.h"
#include "editor.h"
#include "productname.h"
#include "prompts.h"
#include "qtprompts.h"

namespace orrery {

using namespace shell;
using namespace settings;

namespace {

const QString kNotYetImplemented = QStringLiteral("Not yet implemented");
const QString kPortError = QStringLiteral("Error opening COM port. Select CommPort | Port setup...");
const QString kNoActivePort = QStringLiteral("No active Com Port");
const char* const kOpenFilter =
    "Quobol programs (*.qob);;Quobol list files (*.lst);;Quobol symbol tables (*.sym);;"
    "Any Quobol file type (*.qob *.lst *.sym);;Any file (*)";
const char* const kSaveFilter = "Quobol program (*.qob);;All files (*)";
constexpr int kCarriageReturn = 13;

QString escapeAmpersands(QString text) {
    return text.replace(QLatin1Char('&'), QStringLiteral("&&"));
}

}  // namespace

TMainForm::TMainForm(Prompts& prompts, PortDialogs& portDialogs, QWidget* parent)
    : QMainWindow(parent), m_prompts(prompts), m_portDialogs(portDialogs) {
    m_programDir = QDir(QCoreApplication::applicationDirPath()).absolutePath() + QLatin1Char('/');
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(kProductName);
    m_mdi = new QMdiArea(this);
    m_mdi->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_mdi->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setCentralWidget(m_mdi);
    statusBar()->setSizeGripEnabled(true);
    setAcceptDrops(true);
    buildMenus();
    connectOwnCommands();
    connect(m_mdi, &QMdiArea::subWindowActivated, this, [this] { updateCommandState(); });
    connect(&m_port, &serial::TApdComPort::portLost, this, &TMainForm::onPortLost);
    setUpLineHold();
    updateCommandState();
    qApp->installEventFilter(this);
}

TMainForm::~TMainForm() {
    m_mdi->disconnect(this);
    m_port.close();
}

// --- menus -------------------------------------------------------------------------------------------

QAction* TMainForm::makeAction(const MenuEntry& entry, QMenu* menu) {
    QAction* action = nullptr;
    if (*entry.caption == '\0') {
        action = menu->addSeparator();
    } else {
        action = menu->addAction(QString::fromLatin1(entry.caption));
        action->setStatusTip(QString::fromLatin1(entry.hint));
        action->setShortcut(QKeySequence(QString::fromLatin1(entry.shortcut)));
        action->setCheckable(entry.checkable);
        action->setShortcutContext(Qt::WindowShortcut);
    }
    action->setObjectName(QString::fromLatin1(entry.name));
    m_items.*entry.item = action;
    m_captions.insert(action, QString::fromLatin1(entry.caption));
    // Connected before any command's handler, so the line's holder can be named when the command claims it.
    connect(action, &QAction::triggered, this, [this, action] { noteTriggeredItem(action); });
    return action;
}

void TMainForm::buildMenus() {
    for (const MenuDef& def : menuBarTable()) {
        QMenu* menu = menuBar()->addMenu(QString::fromLatin1(def.caption));
        menu->setObjectName(QString::fromLatin1(def.name));
        menu->menuAction()->setStatusTip(QString::fromLatin1(def.hint));
        m_menus.insert(QString::fromLatin1(def.name), menu);
        for (const MenuEntry& entry : def.entries) {
            if (entry.name == nullptr) {
                menu->addSeparator();
                continue;
            }
            if (entry.item == &MenuActions::tile) {
                QMenu* tile = menu->addMenu(QString::fromLatin1(entry.caption));
                tile->setObjectName(QStringLiteral("TileMenu"));
                QAction* tileAction = tile->menuAction();
                tileAction->setObjectName(QString::fromLatin1(entry.name));
                m_items.tile = tileAction;
                m_captions.insert(tileAction, QString::fromLatin1(entry.caption));
                for (const MenuEntry& sub : tileSubmenuTable()) {
                    makeAction(sub, tile);
                }
                continue;
            }
            makeAction(entry, menu);
        }
        connect(menu, &QMenu::aboutToShow, this, [this, menu] {
            if (menu->objectName() == QLatin1String("File1")) {
                rebuildRecentItems();
            } else {
                updateCommandState();
            }
            if (menu->objectName() == QLatin1String("Window1")) {
                rebuildWindowList();
            }
        });
    }
    // Items that start disabled until an editor or an unlock enables them.
    for (QAction* item :
         {m_items.save, m_items.saveAs, m_items.saveAll, m_items.cut, m_items.copy, m_items.paste}) {
        item->setEnabled(false);
    }
    for (QAction* recent : m_items.recentItems()) {
        recent->setVisible(false);
    }
    m_items.recentSeparator->setVisible(false);
    routeSharedShortcuts();
}

void TMainForm::notYetImplemented() {
    m_prompts.showMessage(kNotYetImplemented, PromptIcon::Information);
}

// The commands of the main window itself; the other parts connect theirs when they are attached.
void TMainForm::connectOwnCommands() {
    const MenuActions& a = m_items;
    connect(a.newFile, &QAction::triggered, this, &TMainForm::New1Click);
    connect(a.open, &QAction::triggered, this, &TMainForm::Open1Click);
    connect(a.close, &QAction::triggered, this, &TMainForm::Close1Click);
    connect(a.save, &QAction::triggered, this, &TMainForm::Save1Click);
    connect(a.saveAs, &QAction::triggered, this, &TMainForm::SaveAs1Click);
    connect(a.saveAll, &QAction::triggered, this, &TMainForm::Saveall1Click);
    connect(a.exit, &QAction::triggered, this, &TMainForm::close);
    // Undo, Cut, Copy and Paste act on the active editor; the terminal takes Copy and Paste while it
    // is the active child (it connects its own commands to them).
    auto onEditor = [this](void (EditorControl::*op)()) {
        return [this, op] {
            if (TEditor* e = activeEditor()) {
                (e->control().*op)();
            }
        };
    };
    connect(a.undo, &QAction::triggered, this, onEditor(&EditorControl::undo));
    connect(a.cut, &QAction::triggered, this, onEditor(&EditorControl::cut));
    connect(a.copy, &QAction::triggered, this, onEditor(&EditorControl::copy));
    connect(a.paste, &QAction::triggered, this, onEditor(&EditorControl::paste));
    connect(a.horizontal, &QAction::triggered, this, [this] { tile(Qt::Horizontal); });
    connect(a.vertical, &QAction::triggered, this, [this] { tile(Qt::Vertical); });
    connect(a.cascade, &QAction::triggered, this, &TMainForm::cascade);
    connect(a.next, &QAction::triggered, m_mdi, &QMdiArea::activateNextSubWindow);
    connect(a.previous, &QAction::triggered, m_mdi, &QMdiArea::activatePreviousSubWindow);
    connect(a.portSetup, &QAction::triggered, this, &TMainForm::PortSetup1Click);
    connect(a.about, &QAction::triggered, this, [this] {
        TAboutBox box(this);
        box.exec();
    });
    connect(a.quobolSummary, &QAction::triggered, this, &TMainForm::notYetImplemented);
    connect(a.keyboardEquivalents, &QAction::triggered, this, &TMainForm::notYetImplemented);
    const auto recent = a.recentItems();
    for (int k = 1; k <= kMaxRecentFiles; ++k) {
        connect(recent[std::size_t(k - 1)], &QAction::triggered, this, [this, k] {
            openRecentItem(k, QApplication::keyboardModifiers().testFlag(Qt::ControlModifier));
        });
    }
}

// --- command state -----------------------------------------------------------------------------------

void TMainForm::updateCommandState() {
    CommandInputs in;
    const auto children = m_mdi->subWindowList();
    QMdiSubWindow* current = m_mdi->currentSubWindow();
    if (children.isEmpty()) {
        in.active = ActiveChild::NoChildren;
    } else if (current == nullptr) {
        in.active = ActiveChild::NoneActive;
    } else if (auto* editor = qobject_cast<TEditor*>(current->widget())) {
        in.active = ActiveChild::Editor;
        in.hasSelection = editor->control().hasSelection();
        in.canUndo = editor->control().canUndo();
    } else {
        in.active = ActiveChild::OtherChild;
    }
    const QMimeData* clip = QGuiApplication::clipboard()->mimeData();
    in.clipboardHasText = clip != nullptr && clip->hasText() && !clip->text().isEmpty();
    applyCommandState(computeCommandState(in));
}

void TMainForm::applyCommandState(const CommandState& state) {
    for (const auto& [item, on] : state.enabled) {
        (m_items.*item)->setEnabled(on);
    }
    applyEditShortcuts(state.shortcuts);
    applyLineHold();
    routeSharedShortcuts();
}

void TMainForm::applyEditShortcuts(EditShortcuts mode) {
    if (mode == EditShortcuts::Unchanged) {
        return;
    }
    const struct {
        QAction* action;
        QKeySequence::StandardKey key;
    } items[] = {{m_items.copy, QKeySequence::Copy},
                 {m_items.cut, QKeySequence::Cut},
                 {m_items.paste, QKeySequence::Paste},
                 {m_items.undo, QKeySequence::Undo}};
    for (const auto& item : items) {
        item.action->setShortcut(mode == EditShortcuts::Editor ? QKeySequence(item.key) : QKeySequence());
    }
}

// Alt+P belongs to "&Print..." while it is enabled and to "&Port setup..." otherwise; two enabled items
// with one key would make the key do nothing at all.
void TMainForm::routeSharedShortcuts() {
    QAction* print = m_items.print;
    QAction* portSetup = m_items.portSetup;
    const QString caption = m_captions.value(portSetup);
    if (print->isEnabled()) {
        portSetup->setShortcut(QKeySequence());
        portSetup->setText(caption + QStringLiteral("\tAlt+P"));
    } else {
        portSetup->setText(caption);
        portSetup->setShortcut(QKeySequence(QStringLiteral("Alt+P")));
    }
}

QList<QAction*> TMainForm::menuItemsInOrder() const {
    QList<QAction*> items;
    std::function<void(const QMenu*)> walk = [&](const QMenu* menu) {
        for (QAction* a : menu->actions()) {
            if (a->menu() != nullptr) {
                walk(a->menu());
            } else if (!a->isSeparator()) {
                items << a;
            }
        }
    };
    for (QAction* top : menuBar()->actions()) {
        if (top->menu() != nullptr) {
            walk(top->menu());
        }
    }
    return items;
}

QAction* TMainForm::contestedKeyTarget(const QKeySequence& key) const {
    int bindings = 0;
    for (QAction* top : menuBar()->actions()) {
        if (top->isVisible() && top->isEnabled() && QKeySequence::mnemonic(top->text()) == key) {
            ++bindings;
        }
    }
    QAction* first = nullptr;
    for (QAction* a : menuItemsInOrder()) {
        if (a->isEnabled() && a->shortcuts().contains(key)) {
            ++bindings;
            if (first == nullptr) {
                first = a;
            }
        }
    }
    return bindings > 1 ? first : nullptr;
}

bool TMainForm::belongsToThisWindow(QObject* watched) const {
    if (auto* widget = qobject_cast<QWidget*>(watched)) {
        return widget->window() == this;
    }
    return watched == static_cast<QObject*>(windowHandle());
}

// A key bound twice (a command's shortcut and a menu's mnemonic, Alt+B and "&Brackwater") would do
// nothing at all: the shortcut system refuses ambiguous keys. Such a key runs the first enabled command
// that has it, in menu order; with none enabled it is left to the menu bar, which opens its menu.
bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Show) {
        if (auto* dialog = qobject_cast<QDialog*>(watched); dialog != nullptr && dialog->isWindow()) {
            widenToTitle(*dialog);
        }
        return false;
    }
    if (event->type() != QEvent::ShortcutOverride && event->type() != QEvent::KeyPress) {
        return false;
    }
    auto* keyEvent = static_cast<QKeyEvent*>(event);
    if (!belongsToThisWindow(watched) || keyEvent->modifiers() == Qt::NoModifier) {
        return false;
    }
    const QKeySequence key(keyEvent->keyCombination());
    if (event->type() == QEvent::ShortcutOverride) {
        m_routedKeyTarget = contestedKeyTarget(key);
        if (m_routedKeyTarget != nullptr) {
            event->accept();  // the key comes back as a key press instead of a shortcut
            return true;
        }
        return false;
    }
    if (m_routedKeyTarget != nullptr && m_routedKeyTarget->shortcuts().contains(key)) {
        QAction* target = m_routedKeyTarget;
        m_routedKeyTarget = nullptr;
        if (target->isEnabled()) {
            target->trigger();
        }
        return true;
    }
    return false;
}

void TMainForm::lockMenu(const QStringList& keep) {
    m_locked = true;
    for (const MenuDef& def : menuBarTable()) {
        QMenu* menu = m_menus.value(QString::fromLatin1(def.name));
        for (QAction* a : menu->actions()) {
            if (a->isSeparator() || m_windowListActions.contains(a)) {
                continue;
            }
            if (!keep.contains(m_captions.value(a))) {
                a->setEnabled(false);
            }
        }
    }
    routeSharedShortcuts();
}

void TMainForm::unlockMenu() {
    m_locked = false;
    for (const MenuDef& def : menuBarTable()) {
        for (QAction* a : m_menus.value(QString::fromLatin1(def.name))->actions()) {
            a->setEnabled(true);
        }
    }
    applyLineHold();
    routeSharedShortcuts();
}

// --- children ----------------------------------------------------------------------------------------

TEditor* TMainForm::activeEditor() const {
    QMdiSubWindow* current = m_mdi->currentSubWindow();
    return current ? qobject_cast<TEditor*>(current->widget()) : nullptr;
}

QList<TEditor*> TMainForm::editors() const {
    QList<TEditor*> list;
    for (QMdiSubWindow* sub : m_mdi->subWindowList()) {
        if (auto* e = qobject_cast<TEditor*>(sub->widget())) {
            list << e;
        }
    }
    return list;
}

QMdiSubWindow* TMainForm::addChildWindow(QWidget* child) {
    QMdiSubWindow* sub = m_mdi->addSubWindow(child);
    sub->show();
    return sub;
}

TEditor* TMainForm::createEditor(const QString& caption) {
    auto* editor = new TEditor(m_prompts);
    editor->setCaption(caption);
    editor->control().setAutoIndent(m_settings.window.autoIndent);
    editor->control().setTabSize(m_settings.window.tabSize);
    editor->setLiveCheck(m_settings.window.liveCheck, [this] { return m_settings.compile; });
    editor->setSaveHandler([this](TEditor& e) { return saveEditor(e); });
    connect(editor, &TEditor::closeCancelled, this, [this] { m_closing = false; });
    // Cut, Copy and Undo follow the editor as it changes, not only when a menu opens.
    connect(&editor->control(), &QPlainTextEdit::copyAvailable, this, [this] { updateCommandState(); });
    connect(&editor->control(), &QPlainTextEdit::undoAvailable, this, [this] { updateCommandState(); });
    QMdiSubWindow* sub = m_mdi->addSubWindow(editor);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    // Big enough to work in; the frame's default size for a child is a small box.
    const QSize area = m_mdi->viewport()->size();
    if (area.width() > 200 && area.height() > 150) {
        // Cascaded from the top left so that every new window lies inside the frame.
        const int offset = 24 * int((m_mdi->subWindowList().size() - 1) % 8);
        sub->setGeometry(offset, offset, area.width() * 3 / 4, area.height() * 3 / 4);
    }
    sub->show();
    m_mdi->setActiveSubWindow(sub);
    editor->setFocus();
    updateCommandState();
    return editor;
}

QString TMainForm::canonicalLongPath(const QString& path) {
    if (path.isEmpty()) {
        return path;
    }
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : canonical;
}

bool TMainForm::openFileByName(const QString& givenName) {
    const QString name = canonicalLongPath(givenName);
    if (name.isEmpty()) {
        return false;
    }
    bool found = false;
    for (QMdiSubWindow* sub : m_mdi->subWindowList()) {
        if (sub->widget() && sub->widget()->windowTitle() == name) {
            sub->raise();
            m_mdi->setActiveSubWindow(sub);
            sub->widget()->setFocus();
            found = true;
        }
    }
    if (found) {
        return true;
    }
    if (!QFileInfo(name).isFile()) {
        return false;
    }
    TEditor* editor = createEditor(name);
    QString error;
    if (!editor->loadFromFile(name, error)) {
        editor->parentWidget()->close();
        m_prompts.showMessage(QStringLiteral("Cannot open %1\r\n%2").arg(name, error), PromptIcon::Error);
        return true;  // reported here; the caller must not report it again as missing
    }
    editor->setFileName(name);
    addToRecentFiles(name);
    updateCommandState();
    return true;
}

void TMainForm::addToRecentFiles(const QString& givenName) {
    if (givenName.isEmpty()) {
        return;
    }
    const QString name = canonicalLongPath(givenName);
    QStringList& list = m_settings.program.recentFiles;
    const auto pos = std::find_if(list.begin(), list.end(), [&name](const QString& entry) {
        return entry.compare(name, Qt::CaseInsensitive) == 0;
    });
    if (pos == list.end()) {
        if (list.size() > kMaxRecentFiles - 1) {
            list.removeLast();
        }
        list.prepend(name);
    } else if (pos != list.begin()) {
        list.erase(pos);
        list.prepend(name);
    }
}

void TMainForm::removeFromRecentFiles(const QString& name) {
    if (name.isEmpty()) {
        return;
    }
    QStringList& list = m_settings.program.recentFiles;
    list.removeIf([&name](const QString& entry) { return entry.compare(name, Qt::CaseInsensitive) == 0; });
}

void TMainForm::rebuildRecentItems() {
    const QStringList& list = m_settings.program.recentFiles;
    const auto items = m_items.recentItems();
    for (QAction* a : items) {
        a->setVisible(false);
        a->setText(QString());
        a->setStatusTip(QString());
    }
    m_items.recentSeparator->setVisible(!list.isEmpty());
    for (int k = 1; k <= kMaxRecentFiles && k <= list.size(); ++k) {
        QAction* a = items[std::size_t(k - 1)];
        a->setText(escapeAmpersands(QFileInfo(list.at(k - 1)).fileName()));
        a->setStatusTip(list.at(k - 1));
        a->setVisible(true);
    }
    updateCommandState();
}

void TMainForm::openRecentItem(int k, bool ctrl) {
    const QStringList& list = m_settings.program.recentFiles;
    if (k < 1 || k > list.size()) {
        return;
    }
    const QString path = list.at(k - 1);
    if (ctrl) {
        removeFromRecentFiles(path);
    } else if (openFileByName(path)) {
        addToRecentFiles(path);
    } else {
        m_prompts.showMessage(QStringLiteral("%1\r\nFile no longer exists").arg(path), PromptIcon::Warning);
        removeFromRecentFiles(path);
    }
    rebuildRecentItems();
}

// --- File commands -----------------------------------------------------------------------------------

QString TMainForm::startFolder(const QString& remembered) const {
    // The home folder is the store's default and the program's own folder an older one: a user who
    // has an editor's file at hand rather starts beside it.
    const QFileInfo folder(remembered);
    const QDir rememberedDir(folder.absoluteFilePath());
    if (!remembered.isEmpty() && folder.isDir() && rememberedDir != QDir(m_programDir) &&
        rememberedDir != QDir(defaultDataFolder())) {
        return folder.absoluteFilePath();
    }
    if (const TEditor* editor = activeEditor(); editor != nullptr && !editor->fileName().isEmpty()) {
        return QFileInfo(editor->fileName()).absolutePath();
    }
    return QDir::homePath();
}

void TMainForm::New1Click() {
    TEditor* editor = createEditor(QStringLiteral("NONAME%1").arg(m_newFileCounter++));
    editor->setFileName(QString());
}

void TMainForm::Open1Click() {
    const QString name = m_prompts.openFileName(QStringLiteral("Open"), startFolder(m_settings.program.openDir),
                                                QString::fromLatin1(kOpenFilter));
    if (name.isEmpty()) {
        return;
    }
    if (!openFileByName(name)) {
        m_prompts.showMessage(QStringLiteral("%1\r\nFile not found").arg(name), PromptIcon::Warning);
        return;
    }
    m_settings.program.openDir = QFileInfo(name).absolutePath();
}

void TMainForm::Close1Click() {
    if (TEditor* e = activeEditor()) {
        e->parentWidget()->close();
    }
}

bool TMainForm::saveEditor(TEditor& editor) {
    if (editor.fileName().isEmpty()) {
        return saveEditorAs(editor);
    }
    QString error;
    if (!editor.saveToFile(editor.fileName(), error)) {
        m_prompts.showMessage(QStringLiteral("Cannot save %1\r\n%2").arg(editor.fileName(), error),
                              PromptIcon::Error);
        return false;
    }
    return true;
}

bool TMainForm::saveEditorAs(TEditor& editor) {
    const QString suggested =
        editor.fileName().isEmpty() ? editor.caption() : QFileInfo(editor.fileName()).fileName();
    const QString title = QStringLiteral("Save %1 As").arg(QFileInfo(editor.caption()).fileName());
    QString chosen = m_prompts.saveFileName(title, QDir(startFolder(m_settings.program.saveAsDir)).filePath(suggested),
                                            QString::fromLatin1(kSaveFilter));
    if (chosen.isEmpty()) {
        return false;
    }
    if (QFileInfo(chosen).suffix().isEmpty() && !QFileInfo::exists(chosen)) {
        chosen += QStringLiteral(".qob");
    }
    chosen = canonicalLongPath(chosen);
    const QFileInfo target(chosen);
    if (target.exists() && !target.isWritable()) {
        m_prompts.showMessage(QStringLiteral("File is write protected"), PromptIcon::Error);
        return false;
    }
    addToRecentFiles(chosen);
    QString error;
    if (!editor.saveToFile(chosen, error)) {
        m_prompts.showMessage(QStringLiteral("Cannot save %1\r\n%2").arg(chosen, error), PromptIcon::Error);
        return false;
    }
    editor.setFileName(chosen);
    editor.setCaption(chosen);
    m_settings.program.saveAsDir = target.absolutePath();
    return true;
}

void TMainForm::Save1Click() {
    if (TEditor* e = activeEditor()) {
        saveEditor(*e);
    }
}

void TMainForm::SaveAs1Click() {
    if (TEditor* e = activeEditor()) {
        saveEditorAs(*e);
    }
}

void TMainForm::Saveall1Click() {
    for (TEditor* e : editors()) {
        saveEditor(*e);
    }
}

// --- Window commands ---------------------------------------------------------------------------------

// Tile and cascade arrange the children a user can see; minimised ones stay where they are.
QList<QMdiSubWindow*> TMainForm::arrangeableWindows() const {
    QList<QMdiSubWindow*> windows;
    for (QMdiSubWindow* sub : m_mdi->subWindowList()) {
        if (sub->isVisible() && !sub->isMinimized()) {
            windows << sub;
        }
    }
    return windows;
}

void TMainForm::tile(Qt::Orientation orientation) {
    const QList<QMdiSubWindow*> windows = arrangeableWindows();
    if (windows.isEmpty()) {
        return;
    }
    const QRect area = m_mdi->viewport()->rect();
    const int n = int(windows.size());
    for (int i = 0; i < n; ++i) {
        windows.at(i)->showNormal();
        if (orientation == Qt::Horizontal) {
            // Horizontal tiling stacks full-width windows one above the other.
            const int h = area.height() / n;
            windows.at(i)->setGeometry(0, i * h, area.width(), h);
        } else {
            const int w = area.width() / n;
            windows.at(i)->setGeometry(i * w, 0, w, area.height());
        }
    }
}

void TMainForm::cascade() {
    const QList<QMdiSubWindow*> windows = arrangeableWindows();
    if (windows.isEmpty()) {
        return;
    }
    // The frame's own cascade shrinks every child to its smallest useful size, which leaves an editor
    // a few lines high; here each keeps most of the area and steps down by one title bar, so every
    // caption stays visible for a click.
    const QRect area = m_mdi->viewport()->rect();
    const int step = qMax(m_mdi->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, windows.first()), 16);
    const int n = int(windows.size());
    const int w = qMax(area.width() - (n - 1) * step, area.width() * 2 / 3);
    const int h = qMax(area.height() - (n - 1) * step, area.height() * 2 / 3);
    for (int i = 0; i < n; ++i) {
        QMdiSubWindow* sub = windows.at(i);
        sub->showNormal();
        const int x = qMin(i * step, area.width() - w);
        const int y = qMin(i * step, area.height() - h);
        sub->setGeometry(qMax(x, 0), qMax(y, 0), w, h);
        sub->raise();
    }
    m_mdi->setActiveSubWindow(windows.last());
}

void TMainForm::rebuildWindowList() {
    QMenu* menu = m_menus.value(QStringLiteral("Window1"));
    for (QAction* a : m_windowListActions) {
        menu->removeAction(a);
        delete a;
    }
    m_windowListActions.clear();
    const auto children = m_mdi->subWindowList();
    if (children.isEmpty()) {
        return;
    }
    m_windowListActions << menu->addSeparator();
    int number = 1;
    for (QMdiSubWindow* sub : children) {
        if (sub->isHidden()) {
            continue;  // the closed live plotter waits hidden for its next opening
        }
        QAction* a = menu->addAction(QStringLiteral("&%1 %2").arg(number++).arg(escapeAmpersands(sub->windowTitle())));
        a->setCheckable(true);
        a->setChecked(sub == m_mdi->currentSubWindow());
        connect(a, &QAction::triggered, this, [this, sub] {
            m_mdi->setActiveSubWindow(sub);
        });
        m_windowListActions << a;
    }
}

// --- drag and drop -----------------------------------------------------------------------------------

void TMainForm::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) {
        event->acceptProposedAction();
    }
}

void TMainForm::dropEvent(QDropEvent* event) {
    openDroppedFiles(event->mimeData()->urls());
    event->acceptProposedAction();
}

void TMainForm::openDroppedFiles(const QList<QUrl>& urls) {
    for (const QUrl& url : urls) {
        if (url.isLocalFile()) {
            openFileByName(url.toLocalFile());  // a name that does not exist is ignored
        }
    }
}

// --- settings ----------------------------------------------------------------------------------------

SettingsContext TMainForm::measuredContext() const {
    if (m_contextFixed) {
        return m_context;
    }
    SettingsContext c;
    c.programDir = m_programDir;
    const QScreen* screen = QGuiApplication::primaryScreen();
    c.workArea = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    c.terminalArea = m_mdi->viewport()->rect();
    return c;
}

void TMainForm::loadSettingsNow() {
    auto store = openSettingsStore();
    const SettingsContext context = measuredContext();
    loadSettings(*store, context, m_settings);
    const QSize clientBefore = m_mdi->viewport()->size();
    const QSize windowBefore = size();
    applyWindowSettings();
    if (!m_contextFixed) {
        // The terminal is fitted into the frame's client area as it will be with the stored main window,
        // not as it was before: measuring first would shrink the terminal on every start. The window
        // system may resize the frame later, so the area is worked out from the target size.
        const QSize target = isMaximized() || m_settings.window.maximized
                                 ? context.workArea.size() - (frameGeometry().size() - windowBefore)
                                 : m_settings.window.bounds.size();
        const QSize area = clientBefore + (target - windowBefore);
        m_settings.terminal = loadTerminalSection(*store, QRect(QPoint(0, 0), area.expandedTo(QSize(1, 1))));
        mendCaptureFile(m_settings.terminal, context);
    }
    emit settingsLoaded();
}

// The frame the window manager puts around the client area. Before the window manager has framed the
// window its size is estimated from the style's title bar; the offscreen and minimal platforms draw
// none.
QMargins TMainForm::frameMargins() const {
    if (const QWindow* window = windowHandle()) {
        const QMargins known = window->frameMargins();
        if (!known.isNull()) {
            return known;
        }
    }
    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal")) {
        return {};
    }
    const int border = 4;
    return {border, style()->pixelMetric(QStyle::PM_TitleBarHeight) + 2 * border, border, border};
}

void TMainForm::applyWindowSettings() {
    // Position and size are both the client area's, as saved: a frame position taken as a client
    // position moves the window down by its title bar on every start.
    const WindowSection& w = m_settings.window;
    if (w.bounds.isValid()) {
        if (m_contextFixed) {
            setGeometry(w.bounds);
        } else {
            QList<QRect> screens;
            for (const QScreen* screen : QGuiApplication::screens()) {
                screens << screen->availableGeometry();
            }
            setGeometry(placeMainWindow(w, frameMargins(), measuredContext().workArea, screens));
        }
    }
    if (w.maximized) {
        setWindowState(windowState() | Qt::WindowMaximized);
    }
}

void TMainForm::saveSettingsNow() {
    WindowSection& w = m_settings.window;
    w.maximized = isMaximized();
    w.bounds = isMaximized() ? normalGeometry() : geometry();
    emit settingsAboutToSave();
    auto store = openSettingsStore();
    saveSettings(*store, m_settings);
    if (store->status() != QSettings::NoError) {
        m_prompts.showMessage(QStringLiteral("The settings could not be saved to %1").arg(store->fileName()),
                              PromptIcon::Warning);
    }
}

CommSettings TMainForm::commSettings() const {
    const PortSection& p = m_settings.ports;
    return {p.comNum, p.baud, p.dataBits, p.stopBits, p.parity, p.handshake};
}

void TMainForm::setCommSettings(const CommSettings& s) {
    PortSection& p = m_settings.ports;
    p.comNum = s.port;
    p.baud = s.baud;
    p.dataBits = s.dataBits;
    p.stopBits = s.stopBits;
    p.parity = s.parity;
    p.handshake = s.handshake;
}

// --- start-up and the port ---------------------------------------------------------------------------

void TMainForm::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (m_firstShow) {
        // After the window is on screen, so that the questions of the start-up have a parent to sit on.
        QTimer::singleShot(0, this, [this] {
            if (m_firstShow) {
                FormShow();
            }
        });
    }
}

void TMainForm::probePorts(bool resolveMap) {
    if (resolveMap || m_port.portMap().isEmpty()) {
        QMap<int, QString> stored;
        {
            auto store = openSettingsStore();
            stored = loadDeviceMap(*store);
        }
        const QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        serial::PortMap map = serial::PortMap::resolve(env, stored, {});
        if (map.isEmpty()) {
            map = serial::PortMap::resolve(env, stored, serial::discoverSerialDevices());
        }
        m_port.setPortMap(map);
    }
    m_availablePorts.clear();
    for (int n = 1; n <= serial::kAutoMappedPorts; ++n) {
        if (m_port.probe(n)) {
            m_availablePorts << QStringLiteral("COM%1").arg(n);
        }
    }
}

void TMainForm::FormShow() {
    m_firstShow = false;
    lockMenu(lockKeepCaptions());
    probePorts(true);
    loadSettingsNow();
    const bool storeExisted = m_settings.program.version != 0;
    if (!storeExisted) {
        const std::optional<QString> choice = m_portDialogs.selectPort(m_availablePorts, m_port.portMap());
        if (!choice) {
            m_prompts.showMessage(kNoActivePort, PromptIcon::Warning);
        } else if (m_mayOpenPort) {
            if (choice->isEmpty()) {
                m_prompts.showMessage(kNoActivePort, PromptIcon::Warning);
            } else {
                CommSettings chosen;  // the first-run line settings: 19200 8N1, no flow control
                chosen.port = *choice;
                setCommSettings(chosen);
                m_port.setComNumber(portNumberOf(chosen.port));
                saveSettingsNow();
            }
        }
    }
    for (const QString& problem : applyCommSettings(m_port, commSettings())) {
        m_prompts.showMessage(problem, PromptIcon::Warning);
    }
    openPortAtStart();
    const QStringList files = m_commandLineFiles;
    m_commandLineFiles.clear();
    for (const QString& file : files) {
        openFileByName(canonicalLongPath(file));
    }
    updateCommandState();
    if (!storeExisted) {
        emit firstStartFinished();
    }
}

void TMainForm::openPortAtStart() {
    if (m_mayOpenPort && m_port.comNumber() != 0) {
        m_port.open();
    }
    emit portStatusChanged();
    if (m_port.comNumber() != 0 && m_port.isOpen()) {
        unlockMenu();
        m_port.putChar(kCarriageReturn);
        return;
    }
    // The fixed text, and on a line of its own which device failed and why.
    const QString detail = m_port.comNumber() != 0 ? m_port.lastError() : QString();
    m_prompts.showMessage(detail.isEmpty() ? kPortError : kPortError + QStringLiteral("\r\n") + detail,
                          PromptIcon::Error);
}

void TMainForm::PortSetup1Click() {
    lockMenu(lockKeepCaptions());
    // Which ports open is asked again, so a port freed since start-up is offered too (our own open port
    // counts as available). The names keep their devices: an adapter plugged in meanwhile must not shift
    // COM1 to another device under an open port. Only when nothing was found at start-up is the
    // search for devices repeated.
    probePorts(false);
    // A stored parity or handshake text the port did not take ("none", "Mark") is replaced by what the
    // port really uses, so that a cancelled dialog does not leave the unusable text to be saved again.
    const CommSettings current = commSettingsOf(m_port);
    m_settings.ports.parity = current.parity;
    m_settings.ports.handshake = current.handshake;
    const std::optional<CommSettings> result =
        m_portDialogs.portSettings(current, m_availablePorts, m_port.portMap());
    if (result) {
        setCommSettings(*result);
        for (const QString& problem : applyCommSettings(m_port, *result)) {
            m_prompts.showMessage(problem, PromptIcon::Warning);
        }
        if (m_port.comNumber() != 0) {
            if (!m_port.open()) {
                m_prompts.showMessage(m_port.lastError(), PromptIcon::Error);
            }
        } else {
            m_port.close();  // "no port" means the line is released, not left open unseen
        }
    }
    if (m_port.comNumber() != 0 && m_port.isOpen()) {
        unlockMenu();
        updateCommandState();
    }
    emit portStatusChanged();
}

void TMainForm::showCommandResult(const QString& message) {
    m_lastCommandResult = message;
    statusBar()->showMessage(message);
}

void TMainForm::onPortLost(const QString& message) {
    lockMenu(lockKeepCaptions());
    emit portStatusChanged();
    statusBar()->showMessage(message);
    m_prompts.showMessage(message + QStringLiteral("\r\nSelect CommPort | Port setup... to open it again."),
                          PromptIcon::Error);
}

// --- shut-down ---------------------------------------------------------------------------------------

void TMainForm::closeEvent(QCloseEvent* event) {
    // A command holds the line (a transfer runs in the background, or a command waits inside the event
    // loop): it is ended first, if the user agrees, and the window closes once the line is free.
    if (m_link.isBusy()) {
        event->ignore();
        if (m_askingToQuit || m_closeAfterLink || !cancelRunningCommandToQuit()) {
            return;
        }
        if (m_link.isBusy()) {
            m_closeAfterLink = true;
            connect(
                &m_link, &link::LoggerLink::idle, this,
                [this] {
                    m_closeAfterLink = false;
                    close();
                },
                Qt::ConnectionType(Qt::QueuedConnection | Qt::SingleShotConnection));
            return;
        }
        // It ended while the question was up.
        QTimer::singleShot(0, this, &QWidget::close);
        return;
    }
    const QList<TEditor*> all = editors();
    for (TEditor* e : all) {
        if (!e->closeQuery()) {
            for (TEditor* other : all) {
                other->setCloseApproved(false);
            }
            m_closing = false;
            event->ignore();
            return;
        }
        e->setCloseApproved(true);
    }
    saveSettingsNow();
    m_closing = true;
    event->accept();
}

}  // namespace orrery
