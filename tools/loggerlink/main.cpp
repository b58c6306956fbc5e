// loggerlink: the logger commands of the workbench on the command line.
#include <QCoreApplication>
#include <iostream>

#include "cliprompts.h"
#include "loggerlinkcli.h"

int main(int argc, char** argv) {
    // First of all: a Ctrl+C while Qt starts up would otherwise end the tool by the signal, without a
    // word; taken here, it cancels the command at its first step and the tool says so.
    orrery::loggerlink::installInterruptHandler();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("loggerlink"));
    return orrery::loggerlink::run(QCoreApplication::arguments().mid(1), std::cout, std::cerr);
}
