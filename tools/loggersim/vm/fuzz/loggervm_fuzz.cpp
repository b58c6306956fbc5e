// libFuzzer entry: runs arbitrary token code for a bounded number of steps and checks that the
// interpreter neither crashes nor leaves the logger's memory.
//
// The first byte chooses the set-up, the rest is the code behind a header made for it:
//   bit 0      long header (model 700, slot variables) instead of the short one (model 510)
//   bit 1      a typed line and a Ctrl+C arrive while the program runs
//   bits 2-7   how many slices of 200 steps run (1 to 64)
// Every fifth input is taken whole as an image instead, header included, to reach the header checks.
// Every seventh is machine code for the processor: an ASM $ block of those bytes on model 510, then a
// CALL of the block with a value and a variable (machineCodeImage).

#include <cstddef>
#include <algorithm>
#include <cstdint>
#include <iterator>
#include <string>
#include <vector>

#include "interpreter.h"

namespace {

using namespace orrery::loggervm;

class FuzzHost : public Host {
public:
    std::vector<std::uint8_t> ram = std::vector<std::uint8_t>(65536, 0);
    std::vector<std::uint8_t> data = std::vector<std::uint8_t>(256, 0);
    std::string typed;
    std::int64_t now = 0;
    std::size_t written = 0;

    std::span<std::uint8_t> memory() override { return ram; }
    void writeSerial(std::string_view bytes) override { written += bytes.size(); }
    int readSerial() override {
        if (typed.empty()) return -1;
        const auto c = static_cast<std::uint8_t>(typed.front());
        typed.erase(0, 1);
        return c;
    }
    std::int64_t nowMs() override { return now; }
    std::uint32_t dataSize() override { return static_cast<std::uint32_t>(data.size()); }
    void writeData(std::uint32_t offset, std::uint8_t byte) override { data.at(offset) = byte; }
    int readData(std::uint32_t offset) override { return offset < data.size() ? data[offset] : -1; }
    std::int32_t sense(Sensor, int number) override { return number & 0xFFF; }
};

std::vector<std::uint8_t> imageFor(const std::uint8_t* code, std::size_t size, bool longHeader) {
    std::vector<std::uint8_t> image(longHeader ? 82 : 14, 0);
    const std::uint32_t length = static_cast<std::uint32_t>(image.size() + size);
    image[1] = static_cast<std::uint8_t>(image.size());
    if (longHeader) {
        image[6] = 70;
        image[12] = static_cast<std::uint8_t>(size >> 8);
        image[13] = static_cast<std::uint8_t>(size);
        image[33] = 0x40;  // 64 bytes of variables
    } else {
        image[2] = static_cast<std::uint8_t>((length - 1) >> 8);
        image[3] = static_cast<std::uint8_t>(length - 1);
        image[6] = 51;
    }
    image.insert(image.end(), code, code + size);
    return image;
}

// WordPush n, AsmGo, the n bytes; WordPush 0x8152 (the block), BytePush 7, VarAddr 0x74BC, Call; Stop.
std::vector<std::uint8_t> machineCodeImage(const std::uint8_t* code, std::size_t size) {
    size = std::min<std::size_t>(size, 4096);
    std::vector<std::uint8_t> body = {7, static_cast<std::uint8_t>(size >> 8), static_cast<std::uint8_t>(size), 146};
    body.insert(body.end(), code, code + size);
    const std::uint8_t call[] = {7, 0x81, 0x52, 6, 7, 12, 0x74, 0xBC, 148, 25};
    body.insert(body.end(), std::begin(call), std::end(call));
    return imageFor(body.data(), body.size(), false);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1 || size > 60000) return 0;
    const std::uint8_t setup = data[0];
    const std::vector<std::uint8_t> image = size % 5 == 0   ? std::vector<std::uint8_t>(data, data + size)
                                            : size % 7 == 0 ? machineCodeImage(data + 1, size - 1)
                                                            : imageFor(data + 1, size - 1, setup & 1);
    FuzzHost host;
    Interpreter vm(host);
    std::string error;
    if (!vm.start(image, error)) return 0;
    const int slices = 1 + (setup >> 2);
    for (int slice = 0; slice < slices && vm.running(); ++slice) {
        if ((setup & 2) && slice == 1) host.typed = "12\r3.5\rtext\r";
        if ((setup & 2) && slice == slices / 2) host.typed += '\x03';
        const RunState state = vm.run(200);
        if (state == RunState::Sleeping) host.now = vm.wakeAtMs();
        host.now += 10;
    }
    if (host.ram.size() != 65536 || host.data.size() != 256) __builtin_trap();
    return 0;
}
