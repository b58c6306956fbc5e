// The workbench application: one instance per user, the main window, the start-up files.
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <QTimer>
#include <iostream>

#include "aboutwin.h"
#include "asciioptionsform.h"
#include "commandline.h"
#include "commsettingsform.h"
#include "fileexists.h"
#include "mainform.h"
#include "mainformeprom.h"
#include "mainformlink.h"
#include "mainformplotter.h"
#include "mainformterminal.h"
#include "mainformtransfers.h"
#include "offloaddialogs.h"
#include "orrery_version.h"
#include "plotterwin.h"
#include "productname.h"
#include "qtprompts.h"
#include "singleinstance.h"
#include "terminaloptionsform.h"
#include "terminalwin.h"
#include "utilitiescommands.h"

namespace {

// The folder first offered for a capture file: the user's, never the program's (a build folder goes
// with the next clean build, an install folder is not the user's to write).
QString captureFolder() {
    return QDir::homePath() + QLatin1Char('/');
}

}  // namespace

int main(int argc, char** argv) {
    if (const auto exitCode = orrery::answerInfoOption(argc, argv, std::cout)) {
        return *exitCode;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(orrery::kProductName);
    QApplication::setOrganizationName(QStringLiteral("Pellworth"));
    QApplication::setApplicationVersion(QStringLiteral(ORRERY_VERSION_TEXT));
    // The installed icon and desktop entry; Wayland compositors match the window to the entry by name.
    QApplication::setWindowIcon(orrery::applicationIcon());
    QApplication::setDesktopFileName(QStringLiteral("orrery"));

    QStringList files;
    bool afterEndOfOptions = false;
    for (const QString& arg : QApplication::arguments().mid(1)) {
        if (arg == QLatin1String("--") && !afterEndOfOptions) {
            afterEndOfOptions = true;
            continue;
        }
        files << orrery::TMainForm::canonicalLongPath(arg);
    }

    // A second start gives its files to the running workbench and ends before any window or the serial
    // port exists.
    orrery::SingleInstance instance;
    if (instance.handOver(files, 1000)) {
        return 0;
    }
    const bool listening = instance.listen();

    orrery::QtPrompts prompts;
    orrery::QtPortDialogs portDialogs(nullptr);
    orrery::TMainForm form(prompts, portDialogs);
    prompts.setParent(&form);
    portDialogs.setParent(&form);
    auto* terminalForm = new orrery::terminal::TTerminalForm(form.ApdComPort1, prompts);
    terminalForm->setProgramDir(captureFolder());
    orrery::terminal::TTerminalOptionsDialog terminalOptions(&form);
    orrery::attachTerminal(form, *terminalForm, terminalOptions, prompts,
                           [](orrery::terminal::TTerminalOptionsDialog& d) { return d.exec() == QDialog::Accepted; });
    auto* plotter = new orrery::plotter::TPlotterForm(prompts, orrery::plotter::TPlotterForm::Source::Live);
    orrery::attachPlotter(form, *terminalForm, *plotter, prompts);
    auto* editorCommands = new orrery::shell::EditorCommands(form, prompts);
    prompts.setProgress(&editorCommands->statusDialog());
    orrery::attachLink(form, *terminalForm);
    orrery::shell::TSerOffloadDialog serialOffload(&form);
    orrery::shell::TDiskOffloadDialog diskOffload(&form);
    orrery::terminal::TAsciiOptionsDialog asciiOptions(&form);
    const auto transfers = orrery::attachTransfers(
        form, *terminalForm, form.loggerLink(), prompts,
        {serialOffload, diskOffload, asciiOptions, editorCommands->fileExistsForm()});
    orrery::attachEpromAndViewer(form);
    QObject::connect(&instance, &orrery::SingleInstance::fileReceived, &form, [&form](const QString& path) {
        form.openFileByName(path);
    });
    QObject::connect(&instance, &orrery::SingleInstance::activated, &form, [&form] {
        form.setWindowState(form.windowState() & ~Qt::WindowMinimized);
        form.raise();
        form.activateWindow();
    });
    form.setCommandLineFiles(files);
    form.show();
    if (!listening) {
        QTimer::singleShot(0, &form, [&] {
            prompts.showMessage(QStringLiteral("Files started from a second Orrery will not reach this one:\r\n%1")
                                    .arg(instance.errorString()),
                                orrery::PromptIcon::Warning);
        });
    }
    return app.exec();
}
