#pragma once
// loggerlink: the workbench's logger commands without windows, for scripts, test rigs and people at a
// shell. The same link code runs them; questions are answered by command-line options, messages go to
// stderr with the workbench's texts, results to stdout.
//
//   loggerlink [--port DEVICE|COMn] [--baud N] [--no-confirm] [--quiet] COMMAND [ARGS...]
//
// Exit codes: 0 success; 1 the logger failed, refused or could not be reached (the message says why);
// 2 bad usage, a compile error, or a file that cannot be read or written.
//
// Commands live in groups, one source file per group, each registering its table at start-up:
//
//   static const CommandRegistration kProgramCommands{{
//       {"run", "run", "start the program in the logger", runCommand},
//   }};
//
// A command function parses its own arguments (throwing UsageError for bad ones), opens the link with
// session.openLink() when it needs the logger, and returns the exit code.

#include <QString>
#include <QStringList>
#include <functional>
#include <initializer_list>
#include <iosfwd>
#include <memory>
#include <optional>
#include <vector>

#include "compiler.h"
#include "loggerlink.h"

namespace orrery::loggerlink {

inline constexpr int kExitOk = 0;
inline constexpr int kExitLogger = 1;
inline constexpr int kExitUsage = 2;

class CliPrompts;

// Options before the command.
struct GlobalOptions {
    QString port;             // "COM2" or a device path; empty: the workbench's stored port
    std::optional<int> baud;  // empty: the workbench's stored baud rate
    bool noConfirm = false;   // ConfirmConnect off for this run
    bool quiet = false;       // no progress bar, no informational lines
};

// Thrown by a command for arguments it cannot use; reported with the command's usage, exit code 2.
struct UsageError {
    QString message;
};

class Session {
public:
    Session(const GlobalOptions& options, std::ostream& out, std::ostream& err);
    ~Session();

    const GlobalOptions& options() const { return m_options; }
    std::ostream& out() { return m_out; }
    std::ostream& err() { return m_err; }
    CliPrompts& prompts() { return *m_prompts; }
    // The compiler options stored by the workbench (section "Compile").
    const compiler::CompilerOptions& compilerOptions() const { return m_compilerOptions; }

    // Opens the port (as the workbench names and sets it up) and claims the link. nullptr after a
    // message on stderr when that fails; the command then returns kExitLogger.
    link::LoggerLink* openLink();
    // The claim taken by openLink(), for commands whose exchange outlives a function.
    std::optional<link::LinkClaim>& claim() { return m_claim; }

    // A line on stderr unless --quiet.
    void inform(const QString& text);
    // A message on stderr, always (what the workbench shows in a message box).
    void error(const QString& text);

private:
    const GlobalOptions& m_options;
    std::ostream& m_out;
    std::ostream& m_err;
    std::unique_ptr<CliPrompts> m_prompts;
    std::unique_ptr<serial::TApdComPort> m_port;
    std::unique_ptr<link::LoggerLink> m_link;
    std::optional<link::LinkClaim> m_claim;
    compiler::CompilerOptions m_compilerOptions;
};

struct Command {
    const char* name;
    const char* usage;    // the arguments after the name, e.g. "FILE.qob [--run]"
    const char* summary;  // one line for the help
    std::function<int(Session&, const QStringList& arguments)> run;
};

class CommandRegistration {
public:
    CommandRegistration(std::initializer_list<Command> commands);
};

// Every registered command, in name order.
std::vector<Command> registeredCommands();

// Runs the tool with the arguments after the program name.
int run(const QStringList& arguments, std::ostream& out, std::ostream& err);

// --- helpers for commands -----------------------------------------------------------------------------

// Takes "--name VALUE" out of arguments; nullopt when absent; UsageError when the value is missing.
std::optional<QString> takeOption(QStringList& arguments, const QString& name);
// Takes a flag out of arguments; whether it was there.
bool takeFlag(QStringList& arguments, const QString& name);
// An integer in [low, high], or UsageError naming the option.
int parseNumber(const QString& option, const QString& text, int low, int high);
// The one overwrite policy of every command that writes a file, checked before anything is sent: an
// existing FILE is replaced only with --force ("FILE exists; add --force to replace it"), and a file or
// folder that cannot be written is refused. Empty when the command may go on, else kExitUsage after the
// message. Nothing is ever asked: a script must not hang on a question.
std::optional<int> checkOutputFile(Session& session, const QString& path, bool force);
// The one line on stdout that says a command succeeded.
void sayDone(Session& session, const QString& text);
// Text for a terminal: printable ASCII as is, anything else as \xHH.
std::string printable(const QByteArray& bytes);

}  // namespace orrery::loggerlink
