// qobls: the Quobol language server on stdin and stdout. Nothing but protocol messages goes to stdout;
// usage errors and --help/--version are the only other output (before the session starts).

#include <unistd.h>
#include <QCoreApplication>
#include <QJsonDocument>
#include <QSocketNotifier>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>

#include "framing.h"
#include "orrery_version.h"
#include "server.h"

namespace {

constexpr const char* kUsage =
    "Usage: qobls [OPTIONS]\n"
    "The Quobol language server: speaks the Language Server Protocol on stdin and stdout.\n"
    "  -n, --no-line-numbers  compile as qobc -n does\n"
    "      --max-symbols N    symbol table capacity (default 1000)\n"
    "      --max-asm-lines N  assembler line table size (default 1000)\n"
    "      --stdio            talk on stdin and stdout (the default; accepted for editors that pass it)\n"
    "  -h, --help             show this help\n"
    "      --version          show the version\n";

struct UsageError {
    std::string message;
};

std::int16_t parseLimit(const std::string& option, const char* text) {
    char* end = nullptr;
    errno = 0;
    const long value = text ? std::strtol(text, &end, 10) : 0;
    if (!text || *text == '\0' || *end != '\0' || errno != 0 || value < 1 || value > 32767)
        throw UsageError{"qobls: " + option + " needs a number from 1 to 32767"};
    return static_cast<std::int16_t>(value);
}

// Writes all of it, through short writes and signals; a client that went away ends the server.
void writeAll(const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(STDOUT_FILENO, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            std::_Exit(1);
        done += std::size_t(n);
    }
}

}  // namespace

int main(int argc, char** argv) {
    orrery::compiler::CompilerOptions options;
    try {
        for (int i = 1; i < argc; ++i) {
            const std::string arg = argv[i];
            if (arg == "-h" || arg == "--help") {
                std::cout << kUsage;
                return 0;
            } else if (arg == "--version") {
                std::cout << "qobls (Orrery) " ORRERY_VERSION_TEXT "\n";
                return 0;
            } else if (arg == "-n" || arg == "--no-line-numbers") {
                options.embedLineNum = false;
            } else if (arg == "--max-symbols") {
                options.maxLabels = parseLimit(arg, i + 1 < argc ? argv[++i] : nullptr);
            } else if (arg == "--max-asm-lines") {
                options.maxAsmLines = parseLimit(arg, i + 1 < argc ? argv[++i] : nullptr);
            } else if (arg == "--stdio") {
            } else {
                throw UsageError{"qobls: unknown option '" + arg + "'"};
            }
        }
    } catch (const UsageError& error) {
        std::cerr << error.message << "\nTry 'qobls --help'.\n";
        return 2;
    }

    QCoreApplication app(argc, argv);
    orrery::qobls::LanguageServer server(options, [](const QJsonObject& message) {
        writeAll(
            orrery::qobls::frameMessage(QJsonDocument(message).toJson(QJsonDocument::Compact).toStdString()));
    });
    QObject::connect(&server, &orrery::qobls::LanguageServer::exitRequested, &app,
                     [&] { app.exit(server.exitCode()); });

    orrery::qobls::MessageReader reader;
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &app, [&] {
        char buffer[65536];
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            return;
        if (n <= 0) {
            // The client closed our input without "exit": end as the protocol says, with code 1.
            input.setEnabled(false);
            app.exit(server.exitCode() == 0 ? 0 : 1);
            return;
        }
        reader.append(std::string_view(buffer, std::size_t(n)));
        std::string body;
        for (;;) {
            const auto status = reader.next(body);
            if (status == orrery::qobls::MessageReader::Status::NeedMore)
                break;
            if (status == orrery::qobls::MessageReader::Status::BadHeader) {
                server.handleMessage(QByteArray());  // answered as a parse error
                continue;
            }
            server.handleMessage(QByteArray::fromStdString(body));
            if (server.exitCode() >= 0)
                break;
        }
    });
    return app.exec();
}
