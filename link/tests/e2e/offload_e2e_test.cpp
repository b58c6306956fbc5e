// The two offload commands against the simulated logger on the in-process line: the range line as the
// logger heard it (its trace), the file against the logger's memory, every message of the commands,
// and transfers over a faulty line that must end, say so, and never leave a wrong file as complete.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QTemporaryDir>
#include <sstream>
#include <unistd.h>

#include "apdcomport.h"
#include "apdprotocol.h"
#include "loggerlink.h"
#include "loggeronline.h"
#include "offload.h"
#include "pairbackend.h"
#include "scriptedprompts.h"
#include "xmodemsession.h"

using namespace orrery;
using namespace orrery::link;

namespace {

QCoreApplication& app() {
    static int argc = 1;
    static char name[] = "offload_e2e_tests";
    static char* argv[] = {name, nullptr};
    static QCoreApplication instance(argc, argv);
    return instance;
}

QByteArray bytesOf(const std::vector<std::uint8_t>& v) {
    return QByteArray(reinterpret_cast<const char*>(v.data()), qsizetype(v.size()));
}

QByteArray padded(const QByteArray& data) {
    const qsizetype blocks = (data.size() + 127) / 128;
    return data + QByteArray(blocks * 128 - data.size(), char(0x1A));
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// The bytes the logger received, in order, from its trace ("<time> rx <hex>" lines).
QByteArray heardByLogger(const std::string& trace) {
    QByteArray out;
    std::istringstream lines(trace);
    std::string time, direction, hex;
    std::string rest;
    while (lines >> time >> direction >> hex) {
        std::getline(lines, rest);
        if (direction == "rx" && rest.find("lost") == std::string::npos) {
            out.append(char(std::stoi(hex, nullptr, 16)));
        }
    }
    return out;
}

// The simulated logger on an in-process line, the port, the link and the offload command.
struct Rig {
    Rig() { app(); }

    void connectLogger(loggersim::LineFaults faults = {}, loggersim::LoggerSetup setup = loggersim::defaultSetup(510)) {
        line = &bench->addDevice(QStringLiteral("/dev/simlogger"));
        logger = std::make_unique<loggersim::LoggerOnLine>(*line, std::move(setup), faults, &trace);
        port.setBackendFactory(bench->factory());
        serial::PortMap map;
        map.assign(1, QStringLiteral("/dev/simlogger"));
        port.setPortMap(map);
        port.setComNumber(1);
        ASSERT_TRUE(port.open());
        link.OffloadDir = dir.path();
    }
    // Runs the command to its end (the transfer's finish, or the command's early exit).
    int offload(OffloadKind kind, const QString& start, const QString& end, int ms = 60000) {
        int code = -1;
        QObject::connect(&command, &OffloadCommand::finished, &command, [&code](int c) { code = c; });
        if (!command.start(kind, start, end)) {
            return -2;
        }
        QDeadlineTimer deadline(ms);
        while (code == -1 && !deadline.hasExpired()) {
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 20);
        }
        return code;
    }
    QString path(const QString& name) const { return dir.filePath(name); }
    QByteArray heard() const { return heardByLogger(traceText.str()); }

    QTemporaryDir dir;
    std::ostringstream traceText;
    loggersim::Trace trace{traceText};
    std::shared_ptr<serial::PairBench> bench = std::make_shared<serial::PairBench>();
    serial::VirtualLine* line = nullptr;
    std::unique_ptr<loggersim::LoggerOnLine> logger;
    serial::TApdComPort port;
    ScriptedPrompts prompts;
    LoggerLink link{port, prompts};
    xmodem::TApdProtocol protocol{&port};
    xmodem::XmodemSession session{protocol, prompts};
    OffloadCommand command{link, session};
};

}  // namespace

TEST(Offload, SerialOffloadBringsTheRangeOfDataMemory) {
    Rig r;
    r.connectLogger();
    const QByteArray samples = bytesOf(loggersim::generatedSamples());
    struct Case {
        QString start, end;
        QByteArray wire;
        QByteArray expected;
        qint64 maximum;
    } cases[] = {
        {"0", "0", "\x0f" "0,0\r", samples, 10000},
        {"256", "4095", "\x0f" "100,fff\r", samples.mid(256, 4096 - 256), 4095},
        {"100", "100", "\x0f" "64,64\r", samples.mid(100, 1), 100},
        {"5000", "0", "\x0f" "1388,0\r", samples.mid(5000), 10000},
    };
    for (const Case& c : cases) {
        r.traceText.str({});
        r.prompts.answerFile(r.path("offload.dat"));
        if (QFile::exists(r.path("offload.dat"))) {
            r.prompts.answerButton("Yes");
        }
        ASSERT_EQ(r.offload(OffloadKind::Serial, c.start, c.end), 0) << c.start.toStdString();
        EXPECT_TRUE(r.heard().startsWith(c.wire)) << c.start.toStdString();
        EXPECT_EQ(readFile(r.path("offload.dat")), padded(c.expected)) << c.start.toStdString();
        EXPECT_EQ(r.prompts.scriptedProgress().captions.last(), "Off-loading Datafile");
        EXPECT_EQ(r.prompts.scriptedProgress().maximums.last(), c.maximum);
        EXPECT_FALSE(r.prompts.scriptedProgress().open);
    }
    EXPECT_TRUE(r.prompts.messages().isEmpty()) << r.prompts.messages().join('|').toStdString();
    EXPECT_TRUE(r.prompts.unexpected().isEmpty()) << r.prompts.unexpected().join('|').toStdString();
    EXPECT_FALSE(r.link.isBusy());
    EXPECT_EQ(r.link.OffloadDir, r.dir.path());
}

TEST(Offload, DiskOffloadBringsTheFilesAfterTheU) {
    Rig r;
    r.connectLogger();
    QByteArray all;
    for (const auto& [number, contents] : r.logger->model().disk().files()) {
        all += bytesOf(contents);
    }
    r.prompts.answerFile(r.path("doffload"));  // the default extension is added
    ASSERT_EQ(r.offload(OffloadKind::Disk, "0", "0"), 0);
    EXPECT_TRUE(r.heard().startsWith("\x04" "0,0\r"));
    EXPECT_EQ(readFile(r.path("doffload.dat")), padded(all));
    EXPECT_EQ(r.prompts.scriptedProgress().captions.last(), "Disk Off-load");
    EXPECT_EQ(r.prompts.events().first().caption, "Receive disk files");
    EXPECT_TRUE(r.prompts.messages().isEmpty());
}

// Every way the command ends before a transfer, with its message; nothing reaches the logger.
TEST(Offload, CommandMessages) {
    struct Case {
        const char* name;
        OffloadKind kind;
        QString start, end;
        QString message;
        bool readOnlyFile;
    } cases[] = {
        {"serial end below start", OffloadKind::Serial, "100", "99",
         "Start address must be less than end address", false},
        {"disk end below start", OffloadKind::Disk, "3", "2",
         "Start file number must be less than or equal to end file number", false},
        {"not a number", OffloadKind::Serial, "12x", "0", "'12x' is not a valid integer value", false},
        {"negative start", OffloadKind::Serial, "-1", "0", "Start and end values must not be negative", false},
        {"negative end", OffloadKind::Disk, "0", "-5", "Start and end values must not be negative", false},
        {"read-only file", OffloadKind::Serial, "0", "0", "File is write protected", true},
    };
    for (const Case& c : cases) {
        if (c.readOnlyFile && ::geteuid() == 0) {
            continue;  // root writes to read-only files
        }
        Rig r;
        r.connectLogger();
        if (c.readOnlyFile) {
            QFile f(r.path("ro.dat"));
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.close();
            f.setPermissions(QFileDevice::ReadOwner);
            r.prompts.answerFile(r.path("ro.dat"));
        }
        EXPECT_EQ(r.offload(c.kind, c.start, c.end), -2) << c.name;
        EXPECT_EQ(r.prompts.messages(), QStringList{c.message}) << c.name;
        EXPECT_TRUE(r.heard().isEmpty()) << c.name;
        EXPECT_FALSE(r.link.isBusy()) << c.name;
    }
}

// With "Confirm connection" on, a logger that does not echo stops the command; with it off the command
// goes straight on to the range line and the transfer.
TEST(Offload, ConfirmConnectDecidesWhetherTheEchoIsChecked) {
    Rig r;
    loggersim::LoggerSetup setup = loggersim::defaultSetup(510);
    setup.wrongEcho = true;
    r.connectLogger({}, setup);
    r.prompts.answerFile(r.path("a.dat"));
    EXPECT_EQ(r.offload(OffloadKind::Serial, "0", "0"), -2);
    EXPECT_EQ(r.prompts.messages(), QStringList{"Brackwater not responding"});
    EXPECT_FALSE(QFile::exists(r.path("a.dat")));

    // A fresh logger: the first one still waits for the range line of the refused command.
    Rig off;
    off.connectLogger({}, setup);
    off.link.ConfirmConnect = false;
    off.prompts.answerFile(off.path("b.dat"));
    ASSERT_EQ(off.offload(OffloadKind::Serial, "0", "0"), 0);
    EXPECT_EQ(off.heard().left(5), QByteArray("\x0f" "0,0\r"));
    EXPECT_EQ(readFile(off.path("b.dat")), padded(bytesOf(loggersim::generatedSamples())));
}

TEST(Offload, ExistingFileIsReplacedOnlyWhenTheUserAgrees) {
    Rig r;
    r.connectLogger();
    QFile f(r.path("old.dat"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("first recording");
    f.close();
    r.prompts.answerFile(r.path("old.dat"));
    r.prompts.answerButton("No");
    EXPECT_EQ(r.offload(OffloadKind::Serial, "0", "0"), -2);
    EXPECT_EQ(readFile(r.path("old.dat")), "first recording");
    EXPECT_TRUE(r.traceText.str().empty());
}

// A faulty line: each transfer ends within its time-outs. A complete one holds exactly the logger's
// data; an incomplete one is reported and leaves no file under the chosen name.
TEST(Offload, FaultyLinesEndAndNeverLeaveAWrongFileAsComplete) {
    struct Case {
        const char* name;
        loggersim::LineFaults faults;
    };
    auto with = [](auto set) {
        loggersim::LineFaults f;
        set(f);
        return f;
    };
    const Case cases[] = {
        {"drop", with([](auto& f) { f.drop = 0.002; f.seed = 3; })},
        // The checksum cannot see two bit flips that cancel in one block's sum; the rate is kept low
        // enough that this run has none.
        {"corrupt", with([](auto& f) { f.corrupt = 0.001; f.seed = 7; })},
        {"delay", with([](auto& f) { f.delay = 300'000; })},
        {"silence", with([](auto& f) { f.silentAfter = 20; })},
    };
    const QByteArray expected = padded(bytesOf(loggersim::generatedSamples()));
    for (const Case& c : cases) {
        Rig t;
        xmodem::Timing quick;
        quick.handshakeWaitMs = 3000;
        quick.handshakeRetryMs = 1000;
        quick.blockTimeoutMs = 1000;
        quick.maxErrors = 10;
        t.protocol.setTiming(quick);
        t.connectLogger(c.faults);
        t.link.ConfirmConnect = false;  // a lost echo is not what this test is about
        t.prompts.answerFile(t.path("f.dat"));
        const int code = t.offload(OffloadKind::Serial, "0", "0", 120000);
        ASSERT_GE(code, 0) << c.name << ": the transfer did not end";
        if (code == 0) {
            const QByteArray got = readFile(t.path("f.dat"));
            qsizetype at = 0;
            while (at < std::min(got.size(), expected.size()) && got[at] == expected[at]) {
                ++at;
            }
            EXPECT_EQ(got.size(), expected.size()) << c.name;
            EXPECT_EQ(at, expected.size()) << c.name << " first difference at " << at << ": "
                                           << got.mid(at - 8, 24).toHex().toStdString() << " vs "
                                           << expected.mid(at - 8, 24).toHex().toStdString();
            EXPECT_TRUE(t.prompts.messages().isEmpty()) << c.name;
        } else {
            EXPECT_FALSE(QFile::exists(t.path("f.dat"))) << c.name;
            ASSERT_EQ(t.prompts.messages().size(), 1) << c.name;
            EXPECT_TRUE(t.prompts.messages().first().startsWith("XMODEM transfer failed")) << c.name;
            const QString partial = xmodem::TApdProtocol::partialPath(t.path("f.dat"));
            if (QFile::exists(partial)) {
                const QByteArray got = readFile(partial);
                EXPECT_EQ(got, expected.left(got.size())) << c.name;
                EXPECT_TRUE(t.prompts.messages().first().contains(partial)) << c.name;
            }
        }
        if (QString(c.name) == "silence") {
            EXPECT_NE(code, 0);
        }
        EXPECT_FALSE(t.link.isBusy()) << c.name;
    }
}
