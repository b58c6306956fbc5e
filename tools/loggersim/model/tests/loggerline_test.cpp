// The line between workbench and logger: injected faults, pacing and the trace.

#include <gtest/gtest.h>

#include <sstream>

#include "loggerline.h"

using namespace orrery::loggersim;

namespace {

struct Bench {
    explicit Bench(LineFaults faults, Trace* trace = nullptr) : model(defaultSetup(510)), line(model, faults, trace) {}
    void send(const std::string& text, Micros at) {
        line.fromWorkbench(reinterpret_cast<const std::uint8_t*>(text.data()), text.size(), at);
    }
    LoggerModel model;
    LoggerLine line;
};

const std::string kIdentifyReply = std::string("\x13\x22\x01\xfe") + "BRACKWATER 510 Maple-R SIMULATED";

TEST(LoggerLine, FaultsDoWhatTheySay) {
    auto differsByOneBit = [](char a, char b) {
        const unsigned x = std::uint8_t(a) ^ std::uint8_t(b);
        return x != 0 && (x & (x - 1)) == 0;
    };
    {
        LineFaults faults;
        faults.drop = 1.0;
        Bench b(faults);
        b.send("\x13", 0);
        EXPECT_EQ(b.line.toWorkbench(1'000'000), "") << "drop 1: nothing gets through";
        EXPECT_EQ(b.line.bytesReceived(), 0);
    }
    {
        LineFaults faults;
        faults.corrupt = 1.0;
        Bench b(faults);
        b.model.receive(0x13, 0);  // straight into the model, so only the logger's answer is damaged
        const std::string out = b.line.toWorkbench(0);
        ASSERT_EQ(out.size(), kIdentifyReply.size());
        for (std::size_t i = 0; i < out.size(); ++i) EXPECT_TRUE(differsByOneBit(out[i], kIdentifyReply[i])) << i;
    }
    {
        LineFaults faults;
        faults.drop = 0.5;
        faults.seed = 7;
        Bench a(faults);
        Bench b(faults);
        std::string outA, outB;
        for (int i = 0; i < 20; ++i) {
            a.send("\x13", i * 1000);
            b.send("\x13", i * 1000);
            outA += a.line.toWorkbench(i * 1000);
            outB += b.line.toWorkbench(i * 1000);
        }
        EXPECT_EQ(outA, outB) << "the same seed loses the same bytes";
        EXPECT_LT(outA.size(), 20 * kIdentifyReply.size());
        EXPECT_GT(outA.size(), 0u);
    }
    {
        LineFaults faults;
        faults.delay = 250'000;
        Bench b(faults);
        b.send("\x13", 0);
        EXPECT_EQ(b.line.toWorkbench(249'999), "");
        EXPECT_EQ(b.line.nextWake(), 250'000);
        EXPECT_EQ(b.line.toWorkbench(250'000), kIdentifyReply);
    }
    {
        LineFaults faults;
        faults.silentAfter = 2;
        Bench b(faults);
        b.send("\r\r\r\x13", 0);
        EXPECT_EQ(b.line.toWorkbench(0), "\r\n#\r\n#") << "answers the first two bytes only";
    }
}

TEST(LoggerLine, BaudPacesBothDirections) {
    LineFaults faults;
    faults.baud = 1000;  // 10 ms a byte
    Bench b(faults);
    b.send("\x16" "10\r", 0);
    // 0x16 is in after 10 ms and its echo has left 10 ms later; the CR is in after 40 ms and the 0xFF
    // that answers the address has left at 50 ms.
    EXPECT_EQ(b.line.toWorkbench(19'999), "");
    EXPECT_EQ(b.line.toWorkbench(20'000), "\x16");
    EXPECT_EQ(b.line.toWorkbench(49'999), "");
    EXPECT_EQ(b.line.toWorkbench(50'000), "\xff");
}

TEST(LoggerLine, TraceListsEveryByteWithDirectionAndTime) {
    std::ostringstream text;
    Trace trace(text);
    LineFaults faults;
    Bench b(faults, &trace);
    b.send("\r", 1'500'000);
    b.line.toWorkbench(2'000'000);
    EXPECT_EQ(text.str(), "1.500000 rx 0d\n1.500000 tx 0d\n1.500000 tx 0a\n1.500000 tx 23\n");
}

}  // namespace
