// The end of an XMODEM receive: its last answers are drained while the event loop runs, and whatever
// arrives during that drain must not finish the transfer a second time.
#include <gtest/gtest.h>

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>

#include "apdcomport.h"
#include "apdprotocol.h"
#include "pairbackend.h"

using namespace orrery;

namespace {

QByteArray block(quint8 number, const QByteArray& data) {
    QByteArray frame;
    frame += char(0x01);
    frame += char(number);
    frame += char(0xFF - number);
    frame += data;
    quint8 sum = 0;
    for (char c : data) {
        sum = quint8(sum + quint8(c));
    }
    return frame + char(sum);
}

struct LateEvent {
    const char* name;
    std::function<void(xmodem::TApdProtocol&, serial::TApdComPort&)> act;
};

TEST(XmodemFinish, WhatArrivesDuringTheLastDrainFinishesNothingTwice) {
    const LateEvent events[] = {
        {"Cancel", [](xmodem::TApdProtocol& p, serial::TApdComPort&) { p.cancelProtocol(); }},
        {"port closed", [](xmodem::TApdProtocol&, serial::TApdComPort& port) { port.close(); }},
    };
    for (const LateEvent& event : events) {
        QTemporaryDir dir;
        auto bench = std::make_shared<serial::PairBench>();
        serial::VirtualLine& line = bench->addDevice(QStringLiteral("/dev/virt1"));
        serial::TApdComPort port;
        serial::PortMap map;
        map.assign(1, QStringLiteral("/dev/virt1"));
        port.setBackendFactory(bench->factory());
        port.setPortMap(map);
        port.setComNumber(1);
        ASSERT_TRUE(port.open());
        xmodem::TApdProtocol protocol(&port);
        const QString target = dir.filePath(QStringLiteral("data.bin"));
        protocol.setFileName(target);
        QSignalSpy finished(&protocol, &xmodem::TApdProtocol::protocolFinish);

        protocol.startReceive();
        // The answers stay queued, so the final drain waits and serves the event loop meanwhile.
        line.holdOutput(true);
        const QByteArray data(128, 'x');
        line.send(block(1, data));
        QTimer::singleShot(50, &protocol, [&] { event.act(protocol, port); });
        line.send(QByteArray(1, char(0x04)));
        ASSERT_TRUE(!finished.isEmpty() || finished.wait(5000)) << event.name;
        QCoreApplication::processEvents();
        EXPECT_EQ(finished.size(), 1) << event.name;
        EXPECT_EQ(finished.first().first().toInt(), int(xmodem::Result::Ok)) << event.name;
        QFile kept(target);
        ASSERT_TRUE(kept.open(QIODevice::ReadOnly)) << event.name;
        EXPECT_EQ(kept.readAll(), data) << event.name;
    }
}

}  // namespace
