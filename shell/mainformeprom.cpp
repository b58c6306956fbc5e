#include "mainformeprom.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <memory>
#include <optional>

#include "destination.h"
#include "epromexport.h"
#include "linkresult.h"
#include "loggerlink.h"
#include "mainform.h"
#include "qtprompts.h"
#include "viewvarform.h"
#include "viewvarsession.h"

namespace orrery {

namespace {

const QString kFileExists = QStringLiteral("File exists, overwrite?");

// The save dialog must not ask about replacing: the command asks "File exists, overwrite?" itself
// (Yes, No to choose again, Cancel), once.
class NoOverwriteQuestion {
public:
    explicit NoOverwriteQuestion(Prompts& prompts) : m_qt(dynamic_cast<QtPrompts*>(&prompts)) {
        if (m_qt) {
            m_qt->setConfirmOverwrite(false);
        }
    }
    ~NoOverwriteQuestion() {
        if (m_qt) {
            m_qt->setConfirmOverwrite(true);
        }
    }
    NoOverwriteQuestion(const NoOverwriteQuestion&) = delete;
    NoOverwriteQuestion& operator=(const NoOverwriteQuestion&) = delete;

private:
    QtPrompts* m_qt;
};

// Asks for the HEX file until the user takes a name that is free, agrees to overwrite, or cancels. A
// write-protected file is said at once, before any question about replacing it.
std::optional<link::EpromExportRequest> chooseHexFile(Prompts& prompts, const QString& folder,
                                                      const QString& rememberedName) {
    NoOverwriteQuestion plainSaveDialog(prompts);
    for (;;) {
        const QString path = prompts.saveFileName(
            link::kRepriseCaption, QDir(folder).filePath(rememberedName), link::kHexFileFilter);
        if (path.isEmpty()) {
            return std::nullopt;
        }
        if (!QFileInfo::exists(path)) {
            return link::EpromExportRequest{path, false};
        }
        if (link::isWriteProtected(path)) {
            prompts.showMessage(link::kWriteProtected);
            return std::nullopt;
        }
        switch (prompts.askYesNoCancel(kFileExists)) {
            case Answer::Yes:
                return link::EpromExportRequest{path, true};
            case Answer::No:
                continue;
            default:
                return std::nullopt;
        }
    }
}

void RepriseEPROM1Click(TMainForm& form, QString& rememberedName) {
    link::LoggerLink& link = form.loggerLink();
    if (const QString busy = link.refusal(); !busy.isEmpty()) {
        (void)link.claim();  // says why
        return;
    }
    const std::optional<link::EpromExportRequest> request =
        chooseHexFile(link.prompts(), link.ProgramDir, rememberedName);
    if (!request) {
        return;
    }
    rememberedName = QFileInfo(request->destination).fileName();
    const link::LinkResult result = link::exportEprom(link, *request);
    if (result.done()) {
        form.showCommandResult(result.message);
    }
}

void BootEPROM1Click(TMainForm& form) {
    const link::LinkResult result = link::bootEprom(form.loggerLink());
    if (result.done()) {
        form.showCommandResult(result.message);
    }
}

// The viewer dialog inside one memory-access session of the logger.
void ViewVariables1Click(link::LoggerLink& link, TViewVariableDialog& dialog) {
    link::LinkMemory memory(link);
    link::VariableViewer viewer(memory, link.prompts(), link.ProgramDir);
    viewer.chooseSymbolFile = [&link](const QString& folder) {
        return link.prompts().openFileName(QStringLiteral("Open"), folder,
                                           QString::fromLatin1(link::kSymbolFileFilter));
    };
    dialog.setViewer(&viewer);
    link::withMemoryAccess(link, [&dialog] { dialog.run(); });
    dialog.setViewer(nullptr);
}

// Offered in the menu, not built.
void ModifyVariables1Click(TMainForm& form) {
    form.notYetImplemented();
}

}  // namespace

TViewVariableDialog* attachEpromAndViewer(TMainForm& form) {
    link::LoggerLink& link = form.loggerLink();
    auto* dialog = new TViewVariableDialog(&form);
    auto rememberedName = std::make_shared<QString>(link::kDefaultHexName);
    const MenuActions& items = form.actions();
    QObject::connect(items.repriseEprom, &QAction::triggered, &form,
                     [&form, rememberedName] { RepriseEPROM1Click(form, *rememberedName); });
    QObject::connect(items.bootEprom, &QAction::triggered, &form, [&form] { BootEPROM1Click(form); });
    QObject::connect(items.viewVariables, &QAction::triggered, dialog,
                     [&link, dialog] { ViewVariables1Click(link, *dialog); });
    QObject::connect(items.modifyVariables, &QAction::triggered, &form,
                     [&form] { ModifyVariables1Click(form); });
    return dialog;
}

}  // namespace orrery
