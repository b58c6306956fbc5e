#include "loggerlinkcli.h"

#include <unistd.h>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <ostream>

#include "cliprompts.h"
#include "destination.h"
#include "orrery_version.h"
#include "portmap.h"
#include "settings.h"

namespace orrery::loggerlink {

namespace {

constexpr const char* kVersion = "loggerlink (Orrery) " ORRERY_VERSION_TEXT "\n";
constexpr int kDrainDeadlineMs = 3000;

std::vector<Command>& registry() {
    static std::vector<Command> commands;
    return commands;
}

// The workbench's stored settings. Reading leaves the store as it is, so the user's file is read in
// place while the workbench may have it open.
struct StoredSettings {
    settings::PortSection ports;
    settings::CompileSection compile;
};

StoredSettings readStoredSettings() {
    auto store = settings::openSettingsStore();
    return {settings::loadPortSection(*store), settings::loadCompileSection(*store)};
}

// The line settings the workbench stores as text; a value that does not convert keeps the default,
// as the workbench's own start-up does.
void applyStoredLine(serial::TApdComPort& port, const settings::PortSection& s) {
    bool ok = false;
    if (const int baud = s.baud.toInt(&ok); ok)
        port.setBaud(baud);
    if (const int bits = s.dataBits.toInt(&ok); ok)
        port.setDataBits(bits);
    if (const int bits = s.stopBits.toInt(&ok); ok)
        port.setStopBits(bits);
    if (s.parity == QLatin1String("Odd")) {
        port.setParity(serial::Parity::Odd);
    } else if (s.parity == QLatin1String("Even")) {
        port.setParity(serial::Parity::Even);
    }
    if (s.handshake == QLatin1String("XON/XOFF")) {
        port.setSwFlowOptions(serial::SwFlow::Both);
    }
}

// A serial adapter, where loggers are plugged in. Built-in ttyS ports do not count: most PCs and
// virtual machines have one with nothing attached, and ./run.sh passes them over the same way.
bool isSerialAdapter(const QString& device) {
    return device.startsWith(QLatin1String("/dev/serial/by-id/")) ||
           device.startsWith(QLatin1String("/dev/ttyUSB")) || device.startsWith(QLatin1String("/dev/ttyACM"));
}

// Port names resolve as in the workbench started by ./run.sh: ORRERY_COMn, then the settings' device
// map, then the serial adapters present. A device path names itself.
bool choosePort(serial::TApdComPort& port, const QString& requested, const StoredSettings& stored,
                QString& error) {
    const QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    serial::PortMap map = serial::PortMap::resolve(env, stored.ports.devices, {});
    if (map.isEmpty()) {
        QStringList adapters = serial::discoverSerialDevices();
        adapters.removeIf([](const QString& device) { return !isSerialAdapter(device); });
        map = serial::PortMap::resolve(env, stored.ports.devices, adapters);
    }
    const QString name = requested.isEmpty() ? stored.ports.comNum : requested;
    int number = serial::PortMap::numberOf(name.toUpper());
    if (number == 0 && name.contains(QLatin1Char('/'))) {
        // A device given by path takes a logical number of its own, so messages name it as the
        // workbench would.
        number = serial::kMaxComNumber;
        map.assign(number, name);
    }
    if (number == 0) {
        error = requested.isEmpty()
                    ? QStringLiteral("No active Com Port: choose one with --port")
                    : QStringLiteral("'%1' is neither COM1...COM9 nor a device path").arg(name);
        return false;
    }
    port.setPortMap(map);
    port.setComNumber(number);
    return true;
}

QString usageText() {
    QString text = QStringLiteral(
        "Usage: loggerlink [--port DEVICE|COMn] [--baud N] [--no-confirm] [--quiet] COMMAND [ARGS...]\n"
        "Talks to a Brackwater logger on the serial line, as the workbench does.\n"
        "  --port DEVICE|COMn  the logger's port (default: the workbench's port)\n"
        "  --baud N            baud rate (default: the workbench's)\n"
        "  --no-confirm        do not insist on the logger's echo (\"Confirm connection\" off)\n"
        "  --quiet             no progress bar and no informational lines\n"
        "  -h, --help          this help;  --version  the version\n"
        "Commands:\n");
    for (const Command& c : registeredCommands()) {
        text += QStringLiteral("  %1 %2\n      %3\n")
                    .arg(QString::fromLatin1(c.name), QString::fromLatin1(c.usage),
                         QString::fromLatin1(c.summary));
    }
    return text + QStringLiteral(
                      "Exit codes: 0 done; 1 the logger failed or refused; 2 bad usage, a compile "
                      "error or a file that cannot be read or written.\n");
}

// Bytes still queued when the tool ends would die with the port: the last acknowledgement of an
// XMODEM receive, for one, without which the logger keeps waiting and ignores the next command. The
// deadline covers a line that takes nothing (flow control held off, device gone).
void drainOutput(serial::TApdComPort& port) {
    port.drainOutput(0, kDrainDeadlineMs);
}

}  // namespace

// --- registry ----------------------------------------------------------------------------------------

CommandRegistration::CommandRegistration(std::initializer_list<Command> commands) {
    for (const Command& c : commands) {
        registry().push_back(c);
    }
}

std::vector<Command> registeredCommands() {
    std::vector<Command> all = registry();
    std::sort(all.begin(), all.end(),
              [](const Command& a, const Command& b) { return qstrcmp(a.name, b.name) < 0; });
    return all;
}

// --- session -----------------------------------------------------------------------------------------

Session::Session(const GlobalOptions& options, std::ostream& out, std::ostream& err)
    : m_options(options),
      m_out(out),
      m_err(err),
      m_prompts(std::make_unique<CliPrompts>(err, !options.quiet && isatty(STDERR_FILENO))) {
    m_compilerOptions = readStoredSettings().compile;
}

Session::~Session() {
    if (m_port) {
        drainOutput(*m_port);
    }
    m_claim.reset();
    m_link.reset();
    m_port.reset();
}

void Session::inform(const QString& text) {
    if (!m_options.quiet) {
        m_err << text.toStdString() << "\n" << std::flush;
    }
}

void Session::error(const QString& text) {
    m_prompts->showMessage(text);
}

link::LoggerLink* Session::openLink() {
    if (m_link) {
        return m_link.get();
    }
    const StoredSettings stored = readStoredSettings();
    auto port = std::make_unique<serial::TApdComPort>();
    applyStoredLine(*port, stored.ports);
    if (m_options.baud) {
        port->setBaud(*m_options.baud);
    }
    QString error;
    if (!choosePort(*port, m_options.port, stored, error)) {
        this->error(error);
        return nullptr;
    }
    const QString device = port->devicePath();
    m_prompts->setDevice(m_options.port.contains(QLatin1Char('/'))
                             ? m_options.port
                             : QStringLiteral("COM%1, %2").arg(port->comNumber()).arg(device));
    if (!port->open()) {
        this->error(port->lastError());
        return nullptr;
    }
    m_port = std::move(port);
    m_link = std::make_unique<link::LoggerLink>(*m_port, *m_prompts);
    m_link->ConfirmConnect = stored.compile.confirmConnect && !m_options.noConfirm;
    m_link->ProgramDir = QDir::currentPath();
    m_link->OffloadDir = QDir::currentPath();
    m_claim = m_link->claim();
    // Ctrl+C during a wait ends the wait; during a load the progress reports it as Cancel.
    auto* watch = new QTimer(m_link.get());
    QObject::connect(watch, &QTimer::timeout, m_link.get(), [link = m_link.get()] {
        if (cancelRequested() && !link->abandoned())
            link->abandon();
    });
    watch->start(50);
    return m_link.get();
}

// --- helpers -----------------------------------------------------------------------------------------

std::optional<QString> takeOption(QStringList& arguments, const QString& name) {
    const qsizetype at = arguments.indexOf(name);
    if (at < 0) {
        return std::nullopt;
    }
    if (at + 1 >= arguments.size()) {
        throw UsageError{QStringLiteral("%1 needs a value").arg(name)};
    }
    const QString value = arguments.at(at + 1);
    arguments.remove(at, 2);
    return value;
}

bool takeFlag(QStringList& arguments, const QString& name) {
    return arguments.removeAll(name) > 0;
}

int parseNumber(const QString& option, const QString& text, int low, int high) {
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < low || value > high) {
        throw UsageError{QStringLiteral("%1 needs a number from %2 to %3, not '%4'")
                             .arg(option)
                             .arg(low)
                             .arg(high)
                             .arg(text)};
    }
    return value;
}

std::optional<int> checkOutputFile(Session& session, const QString& path, bool force) {
    const QString shown = QDir::toNativeSeparators(path);
    if (QFileInfo::exists(path) && !QFileInfo(path).isDir() && !force && !link::isWriteProtected(path)) {
        session.error(QStringLiteral("%1 exists; add --force to replace it").arg(shown));
        return kExitUsage;
    }
    const QString problem = link::destinationProblem(path, force);
    if (problem.isEmpty()) {
        return std::nullopt;
    }
    session.error(problem == link::kWriteProtected ? QStringLiteral("%1: %2").arg(shown, problem) : problem);
    return kExitUsage;
}

void sayDone(Session& session, const QString& text) {
    session.out() << text.toStdString() << "\n" << std::flush;
}

std::string printable(const QByteArray& bytes) {
    std::string out;
    for (const char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0x20 && u < 0x7F && u != '\\') {
            out += c;
        } else {
            static const char kHex[] = "0123456789abcdef";
            out += "\\x";
            out += kHex[u >> 4];
            out += kHex[u & 0xF];
        }
    }
    return out;
}

// --- main --------------------------------------------------------------------------------------------

int run(const QStringList& given, std::ostream& out, std::ostream& err) {
    GlobalOptions options;
    QStringList arguments = given;
    const Command* command = nullptr;
    const std::vector<Command> commands = registeredCommands();
    try {
        // Global options come before the command; everything after it belongs to the command.
        while (!arguments.isEmpty() && arguments.first().startsWith(QLatin1Char('-'))) {
            const QString option = arguments.takeFirst();
            auto value = [&]() {
                if (arguments.isEmpty())
                    throw UsageError{QStringLiteral("%1 needs a value").arg(option)};
                return arguments.takeFirst();
            };
            if (option == QLatin1String("--port")) {
                options.port = value();
            } else if (option == QLatin1String("--baud")) {
                options.baud = parseNumber(option, value(), 1, 4000000);
            } else if (option == QLatin1String("--no-confirm")) {
                options.noConfirm = true;
            } else if (option == QLatin1String("--quiet") || option == QLatin1String("-q")) {
                options.quiet = true;
            } else if (option == QLatin1String("--help") || option == QLatin1String("-h")) {
                out << usageText().toStdString();
                return kExitOk;
            } else if (option == QLatin1String("--version")) {
                out << kVersion;
                return kExitOk;
            } else {
                throw UsageError{QStringLiteral("unknown option '%1'").arg(option)};
            }
        }
        if (arguments.isEmpty()) {
            throw UsageError{QStringLiteral("no COMMAND given")};
        }
        const QString name = arguments.takeFirst();
        for (const Command& c : commands) {
            if (name == QLatin1String(c.name))
                command = &c;
        }
        if (command == nullptr) {
            throw UsageError{QStringLiteral("unknown command '%1'").arg(name)};
        }
        installInterruptHandler();
        Session session(options, out, err);
        const int status = command->run(session, arguments);
        if (cancelRequested() && status != kExitOk) {
            err << "loggerlink: interrupted\n";
        }
        return status;
    } catch (const UsageError& usage) {
        err << "loggerlink: " << usage.message.toStdString() << "\n";
        if (command != nullptr) {
            err << "Usage: loggerlink [OPTIONS] " << command->name << " " << command->usage << "\n";
        } else {
            err << "Try 'loggerlink --help'.\n";
        }
        return kExitUsage;
    }
}

}  // namespace orrery::loggerlink
