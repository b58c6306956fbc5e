// loggerlink: the logger commands of the workbench on the command line.
#include <QCoreApplication>
#include <iostream>

#include "loggerlinkcli.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("loggerlink"));
    return orrery::loggerlink::run(QCoreApplication::arguments().mid(1), std::cout, std::cerr);
}
