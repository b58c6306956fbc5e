// The transfer commands of loggerlink: offload, doffload, xmodem-send and xmodem-receive. Each runs the
// workbench's own command code and waits, serving the event loop, until its XMODEM transfer has ended.
#include <QCoreApplication>
#include <QEventLoop>
#include <QFileInfo>

#include "apdprotocol.h"
#include "cliprompts.h"
#include "loggerlinkcli.h"
#include "offload.h"
#include "xmodemsession.h"

namespace orrery::loggerlink {

namespace {

int waitForEnd(xmodem::XmodemSession& session) {
    int code = -1;
    QEventLoop loop;
    QObject::connect(&session, &xmodem::XmodemSession::finished, &loop, [&](int c) {
        code = c;
        loop.quit();
    });
    if (session.inProgress()) {
        loop.exec();
    }
    return code == 0 ? kExitOk : kExitLogger;
}

QString takeRequired(QStringList& arguments, const QString& name) {
    const std::optional<QString> value = takeOption(arguments, name);
    if (!value) {
        throw UsageError{QStringLiteral("%1 is required").arg(name)};
    }
    return *value;
}

int offload(Session& session, QStringList arguments, link::OffloadKind kind) {
    const QString start = takeRequired(arguments, "--start");
    const QString end = takeRequired(arguments, "--end");
    const QString output = takeRequired(arguments, "-o");
    if (!arguments.isEmpty()) {
        throw UsageError{QStringLiteral("unexpected '%1'").arg(arguments.first())};
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
    if (!command.start(kind, start, end, QFileInfo(output).absoluteFilePath())) {
        return kExitLogger;
    }
    return waitForEnd(transfer);
}

int xmodemTransfer(Session& session, QStringList arguments, bool sending) {
    if (arguments.size() != 1) {
        throw UsageError{QStringLiteral("one FILE expected")};
    }
    const QString path = QFileInfo(arguments.first()).absoluteFilePath();
    if (sending && !QFileInfo(path).isReadable()) {
        session.error(QStringLiteral("cannot read '%1'").arg(path));
        return kExitUsage;
    }
    link::LoggerLink* link = session.openLink();
    if (!link) {
        return kExitLogger;
    }
    xmodem::TApdProtocol protocol(&link->port());
    xmodem::XmodemSession transfer(protocol, link->prompts());
    // Input only: the output may still hold the transfer's last acknowledgement or cancel.
    auto cleanUp = [link] { link->port().flushInBuffer(); };
    if (sending) {
        transfer.startTransmit(path, QStringLiteral("XMODEM Transmit"), 10000, true, cleanUp);
    } else {
        transfer.startReceive(path, QStringLiteral("XMODEM Receive"), 10000, true, cleanUp);
    }
    return waitForEnd(transfer);
}

const CommandRegistration kTransferCommands{{
    {"offload", "--start N --end N -o FILE", "bring a range of the logger's data memory into FILE",
     [](Session& s, const QStringList& a) { return offload(s, a, link::OffloadKind::Serial); }},
    {"doffload", "--start N --end N -o FILE", "bring the logger's disk files N..N into FILE",
     [](Session& s, const QStringList& a) { return offload(s, a, link::OffloadKind::Disk); }},
    {"xmodem-send", "FILE", "send FILE by XMODEM (the logger must be receiving)",
     [](Session& s, const QStringList& a) { return xmodemTransfer(s, a, true); }},
    {"xmodem-receive", "FILE", "receive FILE by XMODEM (the logger must be sending)",
     [](Session& s, const QStringList& a) { return xmodemTransfer(s, a, false); }},
}};

}  // namespace

}  // namespace orrery::loggerlink
