// The ASCII transfer commands of loggerlink: a file sent over the line as raw bytes, and whatever the
// line brings stored in a file. The loops are the workbench's own; the options take the place of the
// "ASCII Transfer Options" dialog.
#include <QFile>
#include <QFileInfo>

#include <QDir>
#include <cstdio>

#include "asciireceive.h"
#include "asciitransfer.h"
#include "cliprompts.h"
#include "destination.h"
#include "linkresult.h"
#include "loggerlinkcli.h"

namespace orrery::loggerlink {

namespace {

// A minute is the longest pause the workbench's options dialog accepts too.
constexpr int kMaxDelayMs = 60000;
constexpr int kMaxTimeoutSeconds = 3600;

QString oneFile(const QStringList& arguments) {
    if (arguments.size() != 1 || arguments.first().startsWith(QLatin1Char('-'))) {
        throw UsageError{arguments.isEmpty() ? QStringLiteral("one FILE expected")
                                             : QStringLiteral("unexpected '%1'").arg(arguments.join(' '))};
    }
    return QFileInfo(arguments.first()).absoluteFilePath();
}

int asciiSend(Session& session, QStringList arguments) {
    link::AsciiOptions options;
    options.prefix = takeOption(arguments, "--prefix").value_or(QString());
    options.suffix = takeOption(arguments, "--suffix").value_or(QString());
    if (const auto v = takeOption(arguments, "--char-delay")) {
        options.charDelay = parseNumber("--char-delay", *v, 0, kMaxDelayMs);
    }
    if (const auto v = takeOption(arguments, "--line-delay")) {
        options.lineDelay = parseNumber("--line-delay", *v, 0, kMaxDelayMs);
    }
    const QString path = oneFile(arguments);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        session.error(QStringLiteral("cannot read '%1'").arg(path));
        return kExitUsage;
    }
    const QByteArray data = file.readAll();
    link::LoggerLink* link = session.openLink();
    if (!link) {
        return kExitLogger;
    }
    link::PortAsciiLine line(link->port());
    switch (link::sendAscii(line, data, options, link->prompts().progress())) {
        case link::AsciiSendEnd::Sent:
            return kExitOk;
        case link::AsciiSendEnd::Cancelled:
            session.error(QStringLiteral("ASCII send cancelled; the suffix was not sent"));
            return kExitLogger;
        case link::AsciiSendEnd::Stalled:
            session.error(link::kAsciiSendStalled);
            return kExitLogger;
    }
    return kExitLogger;
}

// What arrives is written straight into FILE.partial (or FILE.partial.1 and on, beside an earlier
// attempt's), so nothing received is lost even if the tool is killed; only a receive that ended as asked
// renames it to FILE.
int asciiReceive(Session& session, QStringList arguments) {
    const bool force = takeFlag(arguments, QStringLiteral("--force"));
    link::AsciiOptions options;
    const auto untilChar = takeOption(arguments, "--until-char");
    const auto timeout = takeOption(arguments, "--timeout");
    if (untilChar && timeout) {
        throw UsageError{QStringLiteral("--until-char and --timeout exclude each other")};
    }
    if (untilChar) {
        if (link::terminationByte(*untilChar) == 0) {
            throw UsageError{QStringLiteral("--until-char needs a character that is not zero")};
        }
        options.kind = link::TerminationKind::Character;
        options.termChar = *untilChar;
    } else if (timeout) {
        options.kind = link::TerminationKind::Timeout;
        options.termTimeout = parseNumber("--timeout", *timeout, 1, kMaxTimeoutSeconds);
    } else {
        options.kind = link::TerminationKind::UserCancel;
    }
    const QString path = oneFile(arguments);
    if (const std::optional<int> refused = checkOutputFile(session, path, force)) {
        return *refused;
    }
    link::LoggerLink* link = session.openLink();
    if (!link) {
        return kExitLogger;
    }
    // The command claims the line itself.
    session.claim().reset();
    const link::LinkResult result =
        link::receiveAsciiFile(*link, {path, link::ExistingFile::ReplaceWhenComplete, options});
    switch (result.status) {
        case link::LinkStatus::Done:
            sayDone(session, result.message);
            return kExitOk;
        case link::LinkStatus::Cancelled:
            // A Ctrl+C silences the link's own messages; where the bytes are must still be said.
            if (!session.prompts().messages().contains(result.message)) {
                session.error(result.message);
            }
            return kExitLogger;
        default:
            return kExitUsage;  // the file could not be written
    }
}

const CommandRegistration kAsciiCommands{{
    {"ascii-send", "FILE [--prefix S] [--suffix S] [--char-delay MS] [--line-delay MS]",
     "send FILE as it is; prefix and suffix take escapes such as \\r and \\x1a",
     [](Session& s, const QStringList& a) { return asciiSend(s, a); }},
    {"ascii-receive", "FILE [--until-char S | --timeout SEC] [--force]",
     "store what the line brings in FILE, until the character, SEC seconds of silence, or Ctrl+C",
     [](Session& s, const QStringList& a) { return asciiReceive(s, a); }},
}};

}  // namespace

}  // namespace orrery::loggerlink
