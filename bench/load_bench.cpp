// load_bench: how close a program load comes to the line rate. Loads the largest program the size
// check allows (model 400, 29568 bytes, no variables) into the simulated logger running at a fixed baud
// rate, through the same link code as the workbench and loggerlink, and reports the achieved rate as a
// fraction of the line rate.
//
// The load counts from the load byte until the logger has taken the end byte: an identify right after
// the load is answered only when every byte before it has been through the simulator's paced line, so
// the wait for its echo marks the end (one byte each way more than the load, about 2 ms at 9600 baud).
//
//   load_bench [--baud N] [--bytes N] [--model N] [--sim PATH]

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QStringList>
#include <cstdio>

#include "apdcomport.h"
#include "identify.h"
#include "loggerlink.h"
#include "programloader.h"
#include "scriptedprompts.h"
#include "simulatedlogger.h"

using namespace orrery;

namespace {

struct Options {
    int baud = 9600;
    int bytes = 29568;
    int model = 400;
    QString sim = QStringLiteral(LOGGERSIM_PATH);
};

bool parse(const QStringList& args, Options& o) {
    for (qsizetype i = 0; i + 1 < args.size(); i += 2) {
        bool ok = true;
        if (args[i] == QLatin1String("--baud")) {
            o.baud = args[i + 1].toInt(&ok);
        } else if (args[i] == QLatin1String("--bytes")) {
            o.bytes = args[i + 1].toInt(&ok);
        } else if (args[i] == QLatin1String("--model")) {
            o.model = args[i + 1].toInt(&ok);
        } else if (args[i] == QLatin1String("--sim")) {
            o.sim = args[i + 1];
        } else {
            ok = false;
        }
        if (!ok || o.baud <= 0 || o.bytes <= 0)
            return false;
    }
    return args.size() % 2 == 0;
}

// The bytes a load of `length` puts on the line: the load byte, one length byte per block, the image
// and the end byte.
qint64 loadBytesOnLine(qint64 length) {
    return 1 + (length + link::kLoadBlockSize - 1) / link::kLoadBlockSize + length + 1;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    Options o;
    if (!parse(QCoreApplication::arguments().mid(1), o)) {
        std::fprintf(stderr, "Usage: load_bench [--baud N] [--bytes N] [--model N] [--sim PATH]\n");
        return 2;
    }
    link::testing::SimulatedLogger sim(o.sim, {QStringLiteral("--model"), QString::number(o.model),
                                               QStringLiteral("--baud"), QString::number(o.baud)});
    if (!sim.start()) {
        std::fprintf(stderr, "load_bench: cannot start %s\n", qPrintable(o.sim));
        return 1;
    }
    serial::TApdComPort port;
    serial::PortMap map;
    map.assign(1, sim.device());
    port.setPortMap(map);
    port.setComNumber(1);
    port.setBaud(o.baud);
    if (!port.open()) {
        std::fprintf(stderr, "load_bench: %s\n", qPrintable(port.lastError()));
        return 1;
    }
    ScriptedPrompts prompts;
    link::LoggerLink link(port, prompts);
    auto claim = link.claim();

    QByteArray image(o.bytes, '\0');
    for (int i = 0; i < o.bytes; ++i)
        image[i] = char(i * 31 + 7);

    QElapsedTimer clock;
    clock.start();
    const link::LoadOutcome outcome = link::LoadProgram(link, image, quint16(o.model), 0);
    const qint64 loaderReturnedMs = clock.elapsed();
    const bool settled = outcome == link::LoadOutcome::Loaded && link.SendByte(link::kIdentifyCommand) &&
                         link.WaitAnswer(60000) == link::kIdentifyCommand;
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    if (!settled) {
        std::fprintf(stderr, "load_bench: the load did not complete (%s)\n",
                     qPrintable(prompts.messages().join("; ")));
        return 1;
    }
    const qint64 onLine = loadBytesOnLine(o.bytes) + 1;  // + the identify byte that marks the end
    const double lineRate = o.baud / 10.0;               // bytes per second, 10 bits a byte
    const double achieved = double(onLine) / seconds;
    std::printf("load of %d bytes (model %d) at %d baud: %lld bytes on the line in %.3f s\n", o.bytes,
                o.model, o.baud, static_cast<long long>(onLine), seconds);
    std::printf("loader returned after %.3f s; logger settled after %.3f s\n", loaderReturnedMs / 1000.0,
                seconds);
    std::printf("achieved %.1f bytes/s of %.1f: %.3f of the line rate\n", achieved, lineRate,
                achieved / lineRate);
    return 0;
}
