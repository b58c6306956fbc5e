#include "xmodem.h"

#include <algorithm>
#include <array>

namespace orrery::xmodem {

namespace {

std::string_view cancelSequence() {
    static const std::string sequence(kCancelCount, char(kCan));
    return sequence;
}

constexpr std::array<char, 256> kEveryByte = [] {
    std::array<char, 256> table{};
    for (int i = 0; i < 256; ++i) {
        table[std::size_t(i)] = char(i);
    }
    return table;
}();

std::string_view single(std::uint8_t byte) {
    return {&kEveryByte[byte], 1};
}

}  // namespace

const char* describe(Result result) {
    switch (result) {
    case Result::Ok: return "complete";
    case Result::LocalCancel: return "cancelled";
    case Result::RemoteCancel: return "the other side cancelled";
    case Result::Timeout: return "no answer from the other side (time-out)";
    case Result::TooManyErrors: return "too many errors";
    case Result::OutOfSync: return "blocks out of order";
    case Result::FileError: return "the file could not be read or written";
    case Result::PortLost: return "the serial port closed";
    case Result::NothingReceived: return "the sender sent no data";
    }
    return "failed";
}

std::uint8_t checksum(const std::uint8_t* data, std::size_t size) {
    unsigned sum = 0;
    for (std::size_t i = 0; i < size; ++i) {
        sum += data[i];
    }
    return std::uint8_t(sum);
}

std::string frameBlock(std::uint8_t number, const std::uint8_t* data, std::size_t size) {
    std::string frame(kFrameSize, char(kSub));
    frame[0] = char(kSoh);
    frame[1] = char(number);
    frame[2] = char(255 - number);
    const std::size_t used = std::min<std::size_t>(size, kBlockSize);
    std::copy(data, data + used, frame.begin() + 3);
    frame[kFrameSize - 1] =
        char(checksum(reinterpret_cast<const std::uint8_t*>(frame.data()) + 3, kBlockSize));
    return frame;
}

// ---------------------------------------------------------------------------------------------- Receiver

Receiver::Receiver(Wire& wire, Timing timing) : m_wire(wire), m_timing(timing) {}

void Receiver::start() {
    m_state = State::Handshake;
    m_wire.send(single(kNak));
    m_wire.startTimer(std::min(m_timing.handshakeRetryMs, m_timing.handshakeWaitMs));
}

void Receiver::awaitHeader(int ms) {
    m_state = State::AwaitHeader;
    m_wire.startTimer(ms);
}

void Receiver::onBytes(const std::uint8_t* bytes, std::size_t size) {
    for (std::size_t i = 0; i < size && m_state != State::Done; ++i) {
        take(bytes[i]);
    }
}

void Receiver::take(std::uint8_t byte) {
    switch (m_state) {
    case State::Idle:
    case State::Done:
        return;
    case State::Purge:
        m_wire.startTimer(m_timing.purgeQuietMs);
        return;
    case State::InBlock:
        m_frame.push_back(char(byte));
        if (int(m_frame.size()) == kFrameSize) {
            acceptFrame();
        }
        return;
    case State::CanSeen:
        if (byte == kCan) {
            fail(Result::RemoteCancel, false);
            return;
        }
        m_state = State::AwaitHeader;
        [[fallthrough]];
    case State::Handshake:
    case State::AwaitHeader:
        if (byte == kSoh) {
            m_frame.assign(1, char(byte));
            m_state = State::InBlock;
            m_wire.startTimer(m_timing.byteTimeoutMs);
        } else if (byte == kEot) {
            m_wire.stopTimer();
            m_wire.send(single(kAck));
            m_state = State::Done;
            m_result = Result::Ok;
        } else if (byte == kCan) {
            m_state = State::CanSeen;
        }
        // Anything else between blocks is line noise; the timer keeps running.
        return;
    }
}

void Receiver::acceptFrame() {
    const auto* frame = reinterpret_cast<const std::uint8_t*>(m_frame.data());
    const std::uint8_t number = frame[1];
    const bool intact = std::uint8_t(number + frame[2]) == 255 &&
                        checksum(frame + 3, kBlockSize) == frame[kFrameSize - 1];
    if (!intact) {
        countError(Result::TooManyErrors);
        if (m_state == State::Done) {
            return;
        }
        m_state = State::Purge;
        m_wire.startTimer(m_timing.purgeQuietMs);
        return;
    }
    if (number == m_expected) {
        m_data.insert(m_data.end(), frame + 3, frame + 3 + kBlockSize);
        m_bytes += kBlockSize;
        ++m_expected;
        m_errors = 0;
        m_wire.send(single(kAck));
        awaitHeader(m_timing.blockTimeoutMs);
    } else if (number == std::uint8_t(m_expected - 1)) {
        // The sender missed our ACK and sent the block again.
        m_wire.send(single(kAck));
        awaitHeader(m_timing.blockTimeoutMs);
    } else {
        fail(Result::OutOfSync, true);
    }
}

void Receiver::countError(Result ifTooMany) {
    if (++m_errors >= m_timing.maxErrors) {
        fail(ifTooMany, true);
    }
}

void Receiver::nakAfterError() {
    m_wire.send(single(kNak));
    awaitHeader(m_timing.blockTimeoutMs);
}

void Receiver::onTimeout() {
    switch (m_state) {
    case State::Handshake:
        m_handshakeWaited += m_timing.handshakeRetryMs;
        if (m_handshakeWaited >= m_timing.handshakeWaitMs) {
            fail(Result::Timeout, true);
            return;
        }
        m_wire.send(single(kNak));
        m_wire.startTimer(std::min(m_timing.handshakeRetryMs, m_timing.handshakeWaitMs - m_handshakeWaited));
        return;
    case State::Purge:
        nakAfterError();
        return;
    case State::AwaitHeader:
    case State::CanSeen:
    case State::InBlock:
        countError(Result::Timeout);
        if (m_state != State::Done) {
            nakAfterError();
        }
        return;
    case State::Idle:
    case State::Done:
        return;
    }
}

void Receiver::cancel() {
    if (m_state != State::Done) {
        fail(Result::LocalCancel, true);
    }
}

void Receiver::abort(Result result) {
    if (m_state != State::Done) {
        fail(result, false);
    }
}

void Receiver::fail(Result result, bool sendCancel) {
    m_wire.stopTimer();
    if (sendCancel) {
        m_wire.send(cancelSequence());
    }
    m_state = State::Done;
    m_result = result;
}

std::vector<std::uint8_t> Receiver::takeData() {
    std::vector<std::uint8_t> out;
    out.swap(m_data);
    return out;
}

// ------------------------------------------------------------------------------------------------ Sender

Sender::Sender(Wire& wire, std::vector<std::uint8_t> data, Timing timing)
    : m_wire(wire), m_timing(timing), m_data(std::move(data)) {}

void Sender::start() {
    m_state = State::Handshake;
    m_wire.startTimer(m_timing.handshakeWaitMs);
}

std::uint64_t Sender::bytesSent() const {
    return std::min<std::uint64_t>(std::uint64_t(m_acked) * kBlockSize, m_data.size());
}

bool Sender::lastBlockSent() const {
    return (m_blockIndex + 1) * std::size_t(kBlockSize) >= m_data.size();
}

void Sender::sendCurrent() {
    if (m_state == State::AwaitEotAck) {
        m_wire.send(single(kEot));
    } else {
        const std::size_t offset = m_blockIndex * kBlockSize;
        m_wire.send(frameBlock(std::uint8_t(m_blockIndex + 1), m_data.data() + offset,
                               m_data.size() - offset));
    }
    m_wire.startTimer(m_timing.blockTimeoutMs);
}

void Sender::advance() {
    m_errors = 0;
    if (m_state == State::Handshake) {
        m_state = m_data.empty() ? State::AwaitEotAck : State::AwaitAck;
    } else if (m_state == State::AwaitAck) {
        ++m_acked;
        if (lastBlockSent()) {
            m_state = State::AwaitEotAck;
        } else {
            ++m_blockIndex;
        }
    } else {
        m_wire.stopTimer();
        m_state = State::Done;
        m_result = Result::Ok;
        return;
    }
    sendCurrent();
}

void Sender::retry() {
    if (++m_errors >= m_timing.maxErrors) {
        fail(Result::TooManyErrors, true);
        return;
    }
    sendCurrent();
}

void Sender::onBytes(const std::uint8_t* bytes, std::size_t size) {
    for (std::size_t i = 0; i < size && m_state != State::Done && m_state != State::Idle; ++i) {
        const std::uint8_t byte = bytes[i];
        if (byte == kCan) {
            if (m_lastWasCan) {
                fail(Result::RemoteCancel, false);
                return;
            }
            m_lastWasCan = true;
            continue;
        }
        m_lastWasCan = false;
        if (m_state == State::Handshake) {
            // A receiver asking for CRC ("C") gets no answer: it falls back to NAK, the checksum form.
            if (byte == kNak) {
                advance();
            }
        } else if (byte == kAck) {
            advance();
        } else if (byte == kNak) {
            retry();
        }
    }
}

void Sender::onTimeout() {
    switch (m_state) {
    case State::Handshake:
        fail(Result::Timeout, true);
        return;
    case State::AwaitAck:
    case State::AwaitEotAck:
        if (m_errors + 1 >= m_timing.maxErrors) {
            fail(Result::Timeout, true);
            return;
        }
        retry();
        return;
    case State::Idle:
    case State::Done:
        return;
    }
}

void Sender::cancel() {
    if (m_state != State::Done) {
        fail(Result::LocalCancel, true);
    }
}

void Sender::abort(Result result) {
    if (m_state != State::Done) {
        fail(result, false);
    }
}

void Sender::fail(Result result, bool sendCancel) {
    m_wire.stopTimer();
    if (sendCancel) {
        m_wire.send(cancelSequence());
    }
    m_state = State::Done;
    m_result = result;
}

}  // namespace orrery::xmodem
