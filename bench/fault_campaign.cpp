// fault_campaign: rounds of logger commands through the loggerlink tool against loggersim on a faulty
// line, each with random faults (--drop, --corrupt, --delay, --silent-after) and sometimes a Ctrl+C at
// a random moment. Every round ends in one of these outcomes:
//
//   correct            the command reported success and its file holds exactly the logger's data
//   failed, reported   the command failed and said so on stderr, leaving no file under the final name
//   bad: different     reported complete, but the file differs from the simulator's memory
//   bad: empty         reported complete with an empty or missing file
//   bad: partial       failed, yet a file appeared under the final name
//   bad: unreported    failed without a word
//   bad: hang          still running past the command's time limit
//   bad: mute logger   the logger did not answer identify 5 s after the command (checked only where the
//                      faults leave it able to answer at all)
//
//   fault_campaign [--rounds N] [--seed S] [--first R]   exit status 1 when any round was bad; --first
//                                                        runs only rounds R to N of that seed's series
//
// LOGGERLINK and LOGGERSIM in the environment name other binaries than the ones of this build.
#include <signal.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>
#include <array>
#include <cstdio>
#include <map>

#include "loggermodel.h"

namespace {

QString program(const char* variable, const char* built) {
    const QString given = qEnvironmentVariable(variable);
    return given.isEmpty() ? QString::fromLocal8Bit(built) : given;
}

enum class Command { Load, Offload, Doffload, EpromExport };
const char* const kCommandNames[] = {"load", "offload", "doffload", "eprom-export"};

enum class Outcome { Correct, Reported, Different, Empty, Partial, Unreported, Hang, MuteLogger };
const char* const kOutcomeNames[] = {"correct",    "failed, reported", "bad: different",
                                     "bad: empty", "bad: partial",     "bad: unreported",
                                     "bad: hang",  "bad: mute logger"};
constexpr int kOutcomes = 8;

// Long enough for the slowest honest end: a minute of handshake wait, then ten block retries of 10 s.
constexpr int kCommandLimitMs = 200000;
constexpr int kIdentifyLimitMs = 5000;

struct Faults {
    QStringList arguments;
    bool loggerCanAnswer = true;  // no silence and no delay beyond the identify time-out
    int delayMs = 0;
    QString text;
};

// The EPROM export makes four exchanges for each of its 1 030 records, so a delay of every answer
// multiplies: it gets short delays only, and a time limit that grows with them.
constexpr int kExportExchanges = 4 * 1100;
constexpr int kExportMaxDelayMs = 20;

Faults randomFaults(QRandomGenerator& random, Command command) {
    Faults f;
    const quint32 seed = random.bounded(1, 1000000);
    f.arguments << "--seed" << QString::number(seed);
    switch (random.bounded(6)) {
        case 0:
        case 1:
            f.text = "none";
            break;
        case 2:
            f.arguments << "--drop" << QString::number(random.bounded(1, 40) / 10000.0, 'f', 4);
            break;
        case 3:
            f.arguments << "--corrupt" << QString::number(random.bounded(1, 30) / 10000.0, 'f', 4);
            break;
        case 4: {
            const int ms = random.bounded(0, command == Command::EpromExport ? kExportMaxDelayMs : 700);
            f.arguments << "--delay" << QString::number(ms);
            f.loggerCanAnswer = ms < 400;
            f.delayMs = ms;
            break;
        }
        default:
            // Short counts end an offload's handshake or transfer (the logger hears one byte a block),
            // long ones a load or an export part-way.
            f.arguments << "--silent-after"
                        << QString::number(random.bounded(2) ? random.bounded(0, 60)
                                                             : random.bounded(0, 3000));
            f.loggerCanAnswer = false;
            break;
    }
    if (f.text.isEmpty()) {
        f.text = f.arguments.mid(2).join(' ');
    }
    return f;
}

QByteArray bytesOf(const std::vector<std::uint8_t>& v) {
    return QByteArray(reinterpret_cast<const char*>(v.data()), qsizetype(v.size()));
}

// XMODEM sends whole 128-byte blocks; the last one is filled with SUB.
QByteArray padded(const QByteArray& data) {
    const qsizetype blocks = (data.size() + 127) / 128;
    return data + QByteArray(blocks * 128 - data.size(), char(0x1A));
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The upper memory records (0xC000 and up) of an Intel HEX image, by address; false when a record is
// malformed or the end record is missing.
bool upperMemoryOf(const QByteArray& hex, QByteArray& upper) {
    upper = QByteArray(0x4000, '\0');
    bool ended = false;
    for (const QByteArray& raw : hex.split('\n')) {
        const QByteArray line = raw.trimmed();
        if (line.isEmpty()) {
            continue;
        }
        if (line == ":00000001FF") {
            ended = true;
            continue;
        }
        const QByteArray bytes = QByteArray::fromHex(line.mid(1));
        if (!line.startsWith(':') || bytes.size() < 5 || bytes.size() != quint8(bytes[0]) + 5) {
            return false;
        }
        const int address = quint8(bytes[1]) << 8 | quint8(bytes[2]);
        if (address >= 0xC000) {
            upper.replace(address - 0xC000, bytes.size() - 5, bytes.mid(4, bytes.size() - 5));
        }
    }
    return ended;
}

class Campaign {
public:
    Campaign(quint32 seed, int first) : m_random(seed), m_first(first) {}

    void round(int number) {
        QTemporaryDir dir;
        const Command command = Command(m_random.bounded(4));
        const Faults faults = randomFaults(m_random, command);
        const QString device = dir.filePath("logger");
        QString expectation;
        const QString output = dir.filePath("out.dat");
        QStringList arguments = commandArguments(command, dir, output, expectation);
        const bool interrupt = m_random.bounded(5) == 0;
        const int interruptAfterMs = m_random.bounded(50, 3000);
        // Every draw of the round is made above, so a skipped round leaves the generator where the full
        // run has it, and a bad round can be run again alone (--first).
        if (number < m_first) {
            return;
        }
        QProcess sim;
        sim.setStandardOutputFile(QProcess::nullDevice());
        sim.setStandardErrorFile(QProcess::nullDevice());
        sim.start(program("LOGGERSIM", LOGGERSIM_PATH), QStringList{"--link", device} + faults.arguments);
        const QDeadlineTimer started(10000);
        while (!QFileInfo::exists(device) && !started.hasExpired()) {
            QThread::msleep(10);
        }

        const int limitMs =
            kCommandLimitMs + (command == Command::EpromExport ? kExportExchanges * faults.delayMs : 0);
        const Outcome outcome = run(dir, device, arguments, output, command, expectation, interrupt,
                                    interruptAfterMs, faults.loggerCanAnswer, limitMs);
        ++m_counts[command][int(outcome)];
        // A bad round says how the tool ended and when the Ctrl+C was due.
        const QString detail =
            outcome >= Outcome::Different ? QStringLiteral(" (%1)").arg(m_toolEnd) : QString();
        std::printf("%4d  %-13s %-26s %-9s %s%s\n", number, kCommandNames[int(command)],
                    qPrintable(faults.text), interrupt ? "Ctrl+C" : "", kOutcomeNames[int(outcome)],
                    qPrintable(detail));
        std::fflush(stdout);
        sim.terminate();
        if (!sim.waitForFinished(5000)) {
            sim.kill();
            sim.waitForFinished();
        }
    }

    // The table of outcomes per command; whether every round was good.
    bool report() const {
        std::printf("\n%-13s", "");
        for (int o = 0; o < kOutcomes; ++o) {
            std::printf(" %16s", kOutcomeNames[o]);
        }
        std::printf("\n");
        int bad = 0;
        for (const auto& [command, counts] : m_counts) {
            std::printf("%-13s", kCommandNames[int(command)]);
            for (int o = 0; o < kOutcomes; ++o) {
                std::printf(" %16d", counts[o]);
                bad += o >= int(Outcome::Different) ? counts[o] : 0;
            }
            std::printf("\n");
        }
        std::printf("\nbad outcomes: %d\n", bad);
        return bad == 0;
    }

private:
    QStringList commandArguments(Command command, QTemporaryDir& dir, const QString& output,
                                 QString& expected) {
        switch (command) {
            case Command::Load: {
                QFile source(dir.filePath("prog.qob"));
                source.open(QIODevice::WriteOnly);
                source.write("MODEL \"Birch\"\nFOR I = 1 TO 10\nPRINT \"Sample\"\nNEXT I\n");
                source.close();
                return {"load", source.fileName()};
            }
            case Command::Offload: {
                const int start = m_random.bounded(0, 5632);
                const int end = m_random.bounded(4) == 0 ? 0 : m_random.bounded(start, 5632);
                expected = QStringLiteral("%1 %2").arg(start).arg(end);
                return {"offload", "--start", QString::number(start), "--end", QString::number(end),
                        "-o",      output};
            }
            case Command::Doffload: {
                const int start = m_random.bounded(1, 4);
                const int end = m_random.bounded(start, 4);
                expected = QStringLiteral("%1 %2").arg(start).arg(end);
                return {"doffload", "--start", QString::number(start), "--end", QString::number(end),
                        "-o",       output};
            }
            case Command::EpromExport:
                return {"eprom-export", "-o", output};
        }
        return {};
    }

    // The bytes the command must have brought, from the simulator's own memory.
    QByteArray expectedFile(Command command, const QString& range) const {
        const QStringList bounds = range.split(' ');
        const int start = bounds.value(0).toInt();
        const int end = bounds.value(1).toInt();
        if (command == Command::Offload) {
            const QByteArray samples = bytesOf(orrery::loggersim::generatedSamples());
            return padded(end == 0 ? samples.mid(start) : samples.mid(start, end - start + 1));
        }
        orrery::loggersim::LoggerModel model(orrery::loggersim::defaultSetup(510));
        QByteArray all;
        for (const auto& [n, contents] : model.disk().files()) {
            if (n >= start && n <= end) {
                all += bytesOf(contents);
            }
        }
        return padded(all);
    }

    bool holdsTheLoggersData(Command command, const QString& output, const QString& range) const {
        const QByteArray got = readFile(output);
        if (command == Command::EpromExport) {
            QByteArray upper;
            QByteArray rom = bytesOf(orrery::loggersim::defaultRom());
            rom[0xFFE8 - 0xC000] = char(510 / 10);
            return upperMemoryOf(got, upper) && upper == rom;
        }
        return got == expectedFile(command, range);
    }

    Outcome run(QTemporaryDir& dir, const QString& device, const QStringList& arguments,
                const QString& output, Command command, const QString& range, bool interrupt,
                int interruptAfterMs, bool checkIdentify, int limitMs) {
        QProcess tool;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("ORRERY_SETTINGS"), dir.filePath(QStringLiteral("orrery.ini")));
        tool.setProcessEnvironment(env);
        tool.start(program("LOGGERLINK", LOGGERLINK_PATH),
                   QStringList{"--port", device, "--quiet"} + arguments);
        tool.waitForStarted();
        if (interrupt && !tool.waitForFinished(interruptAfterMs)) {
            ::kill(pid_t(tool.processId()), SIGINT);
        }
        // waitForFinished() is false for a process that has already ended.
        if (tool.state() != QProcess::NotRunning && !tool.waitForFinished(limitMs)) {
            tool.kill();
            tool.waitForFinished();
            return Outcome::Hang;
        }
        const bool success = tool.exitStatus() == QProcess::NormalExit && tool.exitCode() == 0;
        m_toolEnd = QStringLiteral("%1 %2, %3 ms")
                        .arg(tool.exitStatus() == QProcess::NormalExit ? "exit" : "signal")
                        .arg(tool.exitCode())
                        .arg(interruptAfterMs);
        const QByteArray err = tool.readAllStandardError();
        // A Ctrl+C that comes while the program is still being loaded, before any code of it runs, ends
        // it by the signal, as it ends every program: nothing was sent yet, and the shell reports it.
        const bool endedByTheInterrupt =
            interrupt && tool.exitStatus() == QProcess::CrashExit && tool.exitCode() == SIGINT;
        Outcome outcome = Outcome::Correct;
        if (success && command != Command::Load) {
            if (readFile(output).isEmpty()) {
                outcome = Outcome::Empty;
            } else if (!holdsTheLoggersData(command, output, range)) {
                outcome = Outcome::Different;
            }
        } else if (!success) {
            outcome = QFileInfo::exists(output)
                          ? Outcome::Partial
                          : (err.trimmed().isEmpty() && !endedByTheInterrupt ? Outcome::Unreported
                                                                             : Outcome::Reported);
        }
        if (outcome <= Outcome::Reported && checkIdentify && !loggerAnswers(dir, device)) {
            outcome = Outcome::MuteLogger;
        }
        return outcome;
    }

    // identify answered 5 s after the command: at once, or else after 5 s of quiet on the line, which is
    // the logger's own limit for an exchange cut short (a load whose byte the line lost leaves the logger
    // waiting for the rest of a block, and every identify byte would feed that wait).
    bool loggerAnswers(QTemporaryDir& dir, const QString& device) {
        if (identifies(dir, device, kIdentifyLimitMs)) {
            return true;
        }
        QThread::msleep(kIdentifyLimitMs + 500);
        return identifies(dir, device, kIdentifyLimitMs);
    }

    // A try again is allowed for a byte lost to the line's own faults.
    bool identifies(QTemporaryDir& dir, const QString& device, int limitMs) {
        const QDeadlineTimer deadline(limitMs);
        for (int tries = 0; tries < 3 && !deadline.hasExpired(); ++tries) {
            QProcess identify;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(QStringLiteral("ORRERY_SETTINGS"), dir.filePath(QStringLiteral("orrery.ini")));
            identify.setProcessEnvironment(env);
            identify.start(program("LOGGERLINK", LOGGERLINK_PATH), {"--port", device, "--quiet", "identify"});
            if (identify.waitForFinished(int(std::max<qint64>(deadline.remainingTime(), 1))) &&
                identify.exitCode() == 0) {
                return true;
            }
            identify.kill();
            identify.waitForFinished();
        }
        return false;
    }

    QRandomGenerator m_random;
    int m_first = 1;
    QString m_toolEnd;
    std::map<Command, std::array<int, kOutcomes>> m_counts;
};

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    int rounds = 50;
    quint32 seed = 1;
    int first = 1;
    const QStringList args = app.arguments();
    for (qsizetype i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == "--rounds") {
            rounds = args[i + 1].toInt();
        } else if (args[i] == "--seed") {
            seed = args[i + 1].toUInt();
        } else if (args[i] == "--first") {
            first = args[i + 1].toInt();
        } else {
            std::fprintf(stderr, "Usage: fault_campaign [--rounds N] [--seed S] [--first R]\n");
            return 2;
        }
    }
    if (rounds <= 0) {
        std::fprintf(stderr, "fault_campaign: --rounds needs a positive number\n");
        return 2;
    }
    std::printf("fault_campaign: %d rounds, seed %u\n", rounds, seed);
    Campaign campaign(seed, first);
    for (int r = 1; r <= rounds; ++r) {
        campaign.round(r);
    }
    return campaign.report() ? 0 : 1;
}
