// The transfer commands of loggerlink: offload, doffload, xmodem-send and xmodem-receive. Each runs the
// workbench's own command code and waits, serving the event loop, until its XMODEM transfer has ended.
#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>

#include "apdprotocol.h"
#include "cliprompts.h"
#include "loggerlinkcli.h"
#include "offload.h"
#include "xmodemsession.h"
#include "xmodemtransfer.h"

namespace orrery::loggerlink {

namespace {

// Serves the event loop until the transfer has ended.
void waitForEnd(xmodem::XmodemSession& session) {
    if (!session.inProgress()) {
        return;
    }
    QEventLoop loop;
    QObject::connect(&session, &xmodem::XmodemSession::finished, &loop, &QEventLoop::quit);
    loop.exec();
}

QString takeRequired(QStringList& arguments, const QString& name) {
    const std::optional<QString> value = takeOption(arguments, name);
    if (!value) {
        throw UsageError{QStringLiteral("%1 is required").arg(name)};
    }
    return *value;
}

int offload(Session& session, QStringList arguments, link::OffloadKind kind) {
    const bool force = takeFlag(arguments, QStringLiteral("--force"));
    link::OffloadRequest request;
    request.kind = kind;
    const QString start = takeRequired(arguments, "--start");
    const QString end = takeRequired(arguments, "--end");
    request.destination = QFileInfo(takeRequired(arguments, "-o")).absoluteFilePath();
    request.replaceExisting = force;
    if (!arguments.isEmpty()) {
        throw UsageError{QStringLiteral("unexpected '%1'").arg(arguments.first())};
    }
    if (const QString problem = link::parseOffloadRange(start, end, request); !problem.isEmpty()) {
        throw UsageError{problem};
    }
    if (const std::optional<int> refused = checkOutputFile(session, request.destination, force)) {
        return *refused;
    }
    link::LoggerLink* link = session.openLink();
    if (!link) {
        return kExitLogger;
    }
    // The command claims the line itself for as long as its transfer runs.
    session.claim().reset();
    xmodem::TApdProtocol protocol(&link->port());
    xmodem::XmodemSession transfer(protocol, link->prompts());
    link::OffloadCommand command(*link, transfer);
    if (!command.start(request)) {
        return command.result().status == link::LinkStatus::Refused ? kExitUsage : kExitLogger;
    }
    waitForEnd(transfer);
    if (!command.result().done()) {
        return kExitLogger;
    }
    sayDone(session, command.result().message);
    return kExitOk;
}

int xmodemTransfer(Session& session, QStringList arguments, bool sending) {
    const bool force = !sending && takeFlag(arguments, QStringLiteral("--force"));
    if (arguments.size() != 1) {
        throw UsageError{QStringLiteral("one FILE expected")};
    }
    const QString path = QFileInfo(arguments.first()).absoluteFilePath();
    if (sending && !QFileInfo(path).isReadable()) {
        session.error(QStringLiteral("cannot read '%1'").arg(path));
        return kExitUsage;
    }
    if (!sending) {
        if (const std::optional<int> refused = checkOutputFile(session, path, force)) {
            return *refused;
        }
    }
    link::LoggerLink* link = session.openLink();
    if (!link) {
        return kExitLogger;
    }
    session.claim().reset();
    xmodem::TApdProtocol protocol(&link->port());
    xmodem::XmodemSession transfer(protocol, link->prompts());
    link::XmodemTransferCommand command(*link, transfer);
    if (!command.start({sending, path, force})) {
        return command.result().status == link::LinkStatus::Refused ? kExitUsage : kExitLogger;
    }
    waitForEnd(transfer);
    if (!command.result().done()) {
        return kExitLogger;
    }
    sayDone(session, command.result().message);
    return kExitOk;
}

const CommandRegistration kTransferCommands{{
    {"offload", "--start N --end N -o FILE [--force]", "bring a range of the logger's data memory into FILE",
     [](Session& s, const QStringList& a) { return offload(s, a, link::OffloadKind::Serial); }},
    {"doffload", "--start N --end N -o FILE [--force]", "bring the logger's disk files N..N into FILE",
     [](Session& s, const QStringList& a) { return offload(s, a, link::OffloadKind::Disk); }},
    {"xmodem-send", "FILE", "send FILE by XMODEM (the logger must be receiving)",
     [](Session& s, const QStringList& a) { return xmodemTransfer(s, a, true); }},
    {"xmodem-receive", "FILE [--force]", "receive FILE by XMODEM (the logger must be sending)",
     [](Session& s, const QStringList& a) { return xmodemTransfer(s, a, false); }},
}};

}  // namespace

}  // namespace orrery::loggerlink
