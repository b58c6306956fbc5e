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
    // The code of the transfer's end (0 complete), -2 when the command ended before it, -1 on a hang.
    int offload(OffloadKind kind, const QString& start, const QString& end,
                const QString& file = "offload.dat", int ms = 60000) {
        OffloadRequest request;
        request.kind = kind;
        EXPECT_EQ(parseOffloadRange(start, end, request), QString());
        request.destination = path(file);
        request.replaceExisting = true;
        int code = -1;
        QObject::connect(&command, &OffloadCommand::finished, &command, [&code](const LinkResult& result) {
            code = result.done() ? 0 : int(result.status);
        });
        if (!command.start(request)) {
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
        ASSERT_EQ(r.offload(OffloadKind::Serial, c.start, c.end), 0) << c.start.toStdString();
        EXPECT_TRUE(r.heard().startsWith(c.wire)) << c.start.toStdString();
        EXPECT_EQ(readFile(r.path("offload.dat")), padded(c.expected)) << c.start.toStdString();
        EXPECT_EQ(r.prompts.scriptedProgress().captions.last(), "Off-loading Datafile");
        EXPECT_EQ(r.prompts.scriptedProgress().maximums.last(), c.maximum);
        EXPECT_FALSE(r.prompts.scriptedProgress().open);
        EXPECT_EQ(r.command.result().message,
                  QStringLiteral("Offloaded %1 bytes into %2")
                      .arg(groupedCount(r.command.result().bytes), r.path("offload.dat")));
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
    ASSERT_EQ(r.offload(OffloadKind::Disk, "0", "0", "doffload.dat"), 0);
    EXPECT_TRUE(r.heard().startsWith("\x04" "0,0\r"));
    EXPECT_EQ(readFile(r.path("doffload.dat")), padded(all));
    EXPECT_EQ(r.prompts.scriptedProgress().captions.last(), "Disk Off-load");
    EXPECT_TRUE(r.prompts.messages().isEmpty());
}

// Ranges as typed: each refused one with its message.
TEST(Offload, RangeMessages) {
    struct Case {
        OffloadKind kind;
        QString start, end;
        QString message;
    } cases[] = {
        {OffloadKind::Serial, "100", "99", "Start address must be less than end address"},
        {OffloadKind::Disk, "3", "2", "Start file number must be less than or equal to end file number"},
        {OffloadKind::Serial, "12x", "0", "'12x' is not a valid integer value"},
        {OffloadKind::Serial, "-1", "0", "Start and end values must not be negative"},
        {OffloadKind::Disk, "0", "-5", "Start and end values must not be negative"},
        {OffloadKind::Serial, "100", "100", ""},
        {OffloadKind::Serial, "100", "0", ""},
    };
    for (const Case& c : cases) {
        OffloadRequest request;
        request.kind = c.kind;
        EXPECT_EQ(parseOffloadRange(c.start, c.end, request), c.message) << c.start.toStdString();
    }
}

// A destination that cannot be written, or may not be replaced, ends the command before any byte.
TEST(Offload, DestinationRefusedBeforeAnyByte) {
    Rig r;
    r.connectLogger();
    QFile f(r.path("ro.dat"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    f.setPermissions(QFileDevice::ReadOwner);
    EXPECT_EQ(r.offload(OffloadKind::Serial, "0", "0", "ro.dat"), -2);
    EXPECT_EQ(r.prompts.messages(), QStringList{"File is write protected"});
    EXPECT_EQ(r.command.result().status, LinkStatus::Refused);

    OffloadRequest keep;
    keep.destination = r.path("ro.dat");
    f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    EXPECT_FALSE(r.command.start(keep));
    EXPECT_EQ(r.command.result().message, r.path("ro.dat") + " exists");
    EXPECT_TRUE(r.heard().isEmpty());
    EXPECT_FALSE(r.link.isBusy());
}

// With "Confirm connection" on, a logger that does not echo stops the command; with it off the command
// goes straight on to the range line and the transfer.
TEST(Offload, ConfirmConnectDecidesWhetherTheEchoIsChecked) {
    Rig r;
    loggersim::LoggerSetup setup = loggersim::defaultSetup(510);
    setup.wrongEcho = true;
    r.connectLogger({}, setup);
    EXPECT_EQ(r.offload(OffloadKind::Serial, "0", "0", "a.dat"), -2);
    EXPECT_EQ(r.prompts.messages(), QStringList{"Brackwater not responding"});
    EXPECT_FALSE(QFile::exists(r.path("a.dat")));

    // A fresh logger: the first one still waits for the range line of the refused command.
    Rig off;
    off.connectLogger({}, setup);
    off.link.ConfirmConnect = false;
    ASSERT_EQ(off.offload(OffloadKind::Serial, "0", "0", "b.dat"), 0);
    EXPECT_EQ(off.heard().left(5), QByteArray("\x0f" "0,0\r"));
    EXPECT_EQ(readFile(off.path("b.dat")), padded(bytesOf(loggersim::generatedSamples())));
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
        const int code = t.offload(OffloadKind::Serial, "0", "0", "f.dat", 120000);
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
