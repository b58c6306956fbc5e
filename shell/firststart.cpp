#include "firststart.h"

#include <QDir>
#include <QStringList>

namespace orrery::shell {

namespace {

bool holdsPrograms(const QDir& dir) {
    return dir.exists() && !dir.entryList({QStringLiteral("*.qob")}, QDir::Files).isEmpty();
}

}  // namespace

QString examplesFolder(const QString& programDir) {
    if (programDir.isEmpty()) {
        return {};
    }
    const QDir program(programDir);
    if (const QDir installed(program.filePath(QStringLiteral("../share/orrery/examples")));
        holdsPrograms(installed)) {
        return QDir::cleanPath(installed.absolutePath());
    }
    // A build tree lies a folder or two below the source tree (build/shell).
    QDir dir(program);
    for (int up = 0; up < 4 && dir.cdUp(); ++up) {
        if (const QDir examples(dir.filePath(QStringLiteral("examples"))); holdsPrograms(examples)) {
            return QDir::cleanPath(examples.absolutePath());
        }
    }
    return {};
}

QString firstStartNote(const QString& portLabel, const QString& examples) {
    QStringList lines{QStringLiteral("Welcome to Orrery. This is the terminal window.")};
    if (portLabel.isEmpty()) {
        lines << QStringLiteral("No port is open yet: CommPort | Port setup... chooses the logger's port.");
    } else {
        lines << QStringLiteral("What you type goes to the logger on %1.").arg(portLabel);
    }
    if (examples.isEmpty()) {
        lines << QStringLiteral("To try a program: File | Open... a .qob file,");
    } else {
        lines << QStringLiteral("To try an example: File | Open... a program in")
              << QStringLiteral("  ") + examples;
    }
    lines << QStringLiteral("then Brackwater | Run (Alt+R): its output appears here.")
          << QStringLiteral("Brackwater | Syntax check (Alt+Y) compiles without loading.") << QString();
    return lines.join(QStringLiteral("\r\n"));
}

}  // namespace orrery::shell
