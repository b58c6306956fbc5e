// libFuzzer target of the simulated logger's command decoder: arbitrary bytes from the line, with
// arbitrary pauses between them, must never crash it, and whatever the bytes were, the logger must be
// ready for a command again once the line has been quiet long enough.
//
// Input: one setup byte (model, EPROM refusal, wrong echo), then the line: 0xFE followed by n means
// "n tenths of a second pass"; every other byte is received as it is.

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "loggerline.h"
#include "loggermodel.h"

using namespace orrery::loggersim;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    LoggerSetup setup = defaultSetup(kModelTable[data[0] % kModelTable.size()].number);
    setup.epromRefuse = (data[0] & 0x40) != 0;
    setup.wrongEcho = (data[0] & 0x80) != 0;
    LoggerModel model(setup);
    LoggerLine line(model, {});
    Micros now = 0;
    std::size_t sent = 0;
    for (std::size_t i = 1; i < size; ++i) {
        if (data[i] == 0xFE && i + 1 < size) {
            now += Micros(data[++i]) * 100'000;
        } else {
            line.fromWorkbench(&data[i], 1, now);
        }
        sent += line.toWorkbench(now).size();
    }
    // Every exchange gives up within its own limits; 200 seconds of silence outlast them all
    // (an XMODEM sender retrying every block time-out ten times takes 110).
    for (int second = 0; second < 200 && !model.idle(); ++second) {
        now += 1'000'000;
        sent += line.toWorkbench(now).size();
    }
    if (!model.idle()) std::abort();
    // It answers the identify command again.
    const std::uint8_t identify = 0x13;
    line.fromWorkbench(&identify, 1, now);
    const std::string answer = line.toWorkbench(now);
    if (answer.size() < 4 || std::uint8_t(answer[0]) != (setup.wrongEcho ? 0x53 : 0x13)) std::abort();
    (void)sent;
    return 0;
}
