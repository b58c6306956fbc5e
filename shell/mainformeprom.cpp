#include "mainformeprom.h"

#include <memory>

#include "epromexport.h"
#include "loggerlink.h"
#include "mainform.h"
#include "qtprompts.h"
#include "viewvarform.h"
#include "viewvarsession.h"

namespace orrery {

namespace {

// The export asks "File exists, overwrite?" itself (Yes, No to choose again, Cancel), so the save
// dialog must not ask first.
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

}  // namespace

TViewVariableDialog* attachEpromAndViewer(TMainForm& form) {
    link::LoggerLink& link = form.loggerLink();
    auto* dialog = new TViewVariableDialog(&form);
    auto state = std::make_shared<link::EpromExportState>();
    form.setHandler(QStringLiteral("RepriseEPROM1"), [&link, state] {
        NoOverwriteQuestion plainSaveDialog(link.prompts());
        link::RepriseEPROM1Click(link, *state);
    });
    form.setHandler(QStringLiteral("BootEPROM1"), [&link] { link::BootEPROM1Click(link); });
    form.setHandler(QStringLiteral("ViewVariables1"), [&link, dialog] {
        link::LinkMemory memory(link);
        link::VariableViewer viewer(memory, link.prompts(), link.ProgramDir);
        dialog->setViewer(&viewer);
        link::ViewVariables1Click(link, [dialog] { dialog->run(); });
        dialog->setViewer(nullptr);
    });
    return dialog;
}

}  // namespace orrery
