#pragma once
// The logger's side of an in-process line, for link tests: every byte the port transmits is handed, in
// order, to a rule that returns what the logger answers. It runs on a timer of the event loop, so it
// answers exactly while the link waits (WaitByte serves the loop), as a logger at the end of a cable
// would. heard() keeps everything the port sent.

#include <QObject>
#include <QTimer>
#include <functional>
#include <memory>

#include "apdcomport.h"
#include "loggerlink.h"
#include "pairbackend.h"
#include "programloader.h"
#include "prompts.h"
#include "scriptedprompts.h"

namespace orrery::link::testing {

// The bytes a load of image puts on the line: the load byte, the blocks (all of them, or the first
// blocksToSend), the end byte.
inline QByteArray loadStream(const QByteArray& image, int blocksToSend = -1) {
    QByteArray out(1, char(kLoadCommand));
    qsizetype sent = 0;
    for (int block = 0; sent < image.size() && block != blocksToSend; ++block) {
        const QByteArray bytes = image.mid(sent, kLoadBlockSize);
        out += char(bytes.size()) + bytes;
        sent += bytes.size();
    }
    return out + '\0';
}

class FarEnd : public QObject {
public:
    using Rule = std::function<QByteArray(quint8 byte)>;

    explicit FarEnd(serial::VirtualLine& line) : m_line(line) {
        m_timer.setInterval(1);
        QObject::connect(&m_timer, &QTimer::timeout, this, [this] { serve(); });
        m_timer.start();
    }
    void setRule(Rule rule) { m_rule = std::move(rule); }
    // Everything the port sent so far (served or not).
    QByteArray heard() {
        serve();
        return m_heard;
    }

private:
    void serve() {
        const QByteArray fresh = m_line.takeReceived();
        for (const char c : fresh) {
            m_heard += c;
            if (m_rule) {
                const QByteArray reply = m_rule(quint8(c));
                if (!reply.isEmpty()) {
                    m_line.send(reply);
                }
            }
        }
    }

    serial::VirtualLine& m_line;
    QTimer m_timer;
    Rule m_rule;
    QByteArray m_heard;
};

// A logger that answers memory reads from a 64 KB memory, with knobs for faults.
class MemoryLogger {
public:
    QByteArray memory = QByteArray(65536, '\0');
    int checksumOffset = 0;    // added to every checksum it sends
    int silentAfterStep = -1;  // stops answering at this step: 0 echo, 1 address ack, 2 count ack, 3 data

    FarEnd::Rule rule() {
        return [this](quint8 byte) { return answer(byte); };
    }

private:
    QByteArray answer(quint8 byte) {
        switch (m_state) {
            case State::Idle:
                if (byte != kMemoryAccessCommand)
                    return {};
                m_address.clear();
                m_state = State::Address;
                return step(0, QByteArray(1, char(kMemoryAccessCommand)));
            case State::Address:
                if (byte != kCarriageReturn) {
                    m_address += char(byte);
                    return {};
                }
                m_state = State::Count;
                return step(1, QByteArray(1, char(kMemoryAck)));
            case State::Count: {
                m_state = State::Idle;
                const quint16 address = quint16(m_address.toUInt(nullptr, 16));
                QByteArray reply(1, char(kMemoryAck));
                if (silentAfterStep == 2)
                    return {};
                quint8 sum = quint8((address >> 8) + (address & 0xFF) + byte);
                QByteArray data;
                for (int i = 0; i < byte; ++i) {
                    const char c = memory.at(quint16(address + i));
                    data += c;
                    sum = quint8(sum + quint8(c));
                }
                if (silentAfterStep == 3)
                    return reply + data.left(byte / 2);
                return reply + data + char(quint8(sum + checksumOffset));
            }
        }
        return {};
    }
    QByteArray step(int index, QByteArray reply) {
        if (silentAfterStep == index) {
            m_state = State::Idle;
            return {};
        }
        return reply;
    }

    enum class State { Idle, Address, Count };
    State m_state = State::Idle;
    QByteArray m_address;
};

// A logger that takes program loads: echoes the load byte (or answers as told), then swallows blocks.
class LoadingLogger {
public:
    int echo = kLoadCommand;           // what it answers to the load byte; -1 for silence
    QByteArray before;                 // what it sends ahead of that answer (its prompt, say)
    std::function<void()> onLoadByte;  // runs when the load byte arrives
    int blocks = 0;                    // blocks taken so far
    bool finished = false;             // the end byte came

    FarEnd::Rule rule() {
        return [this](quint8 byte) { return answer(byte); };
    }

private:
    QByteArray answer(quint8 byte) {
        if (m_remaining > 0) {
            --m_remaining;
            return {};
        }
        if (!m_loading) {
            if (byte != kLoadCommand)
                return {};
            m_loading = true;
            if (onLoadByte)
                onLoadByte();
            return before + (echo < 0 ? QByteArray() : QByteArray(1, char(echo)));
        }
        if (byte == 0) {
            m_loading = false;
            finished = true;
            return {};
        }
        ++blocks;
        m_remaining = byte;
        return {};
    }
    bool m_loading = false;
    int m_remaining = 0;
};

// A port on a virtual line, opened, with a link and scripted prompts around it.
struct LinkBench {
    LinkBench() : line(bench->addDevice(QStringLiteral("/dev/virt1"))) {
        serial::PortMap map;
        map.assign(1, QStringLiteral("/dev/virt1"));
        port.setBackendFactory(bench->factory());
        port.setPortMap(map);
        port.setComNumber(1);
        port.open();
        link.setStallTimeoutMs(300);
    }
    std::shared_ptr<serial::PairBench> bench = std::make_shared<serial::PairBench>();
    serial::VirtualLine& line;
    serial::TApdComPort port;
    ScriptedPrompts prompts;
    LoggerLink link{port, prompts};
    FarEnd farEnd{line};
};

}  // namespace orrery::link::testing
