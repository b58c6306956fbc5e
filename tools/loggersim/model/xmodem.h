#pragma once
// The logger's own XMODEM: a sender (offloads, "sx" typed at the prompt) and a receiver ("rx"), as
// event-driven state machines fed with received bytes and the time, like the logger model itself.
//
// A block on the line:
//
//   +-----+-------+--------+------------------+---------------------------------+
//   | SOH | block | ~block | 128 data bytes   | checksum (1 byte, sum mod 256)  |
//   | 01  | 1..FF | FF-blk | last one padded  |  or CRC-16 (2 bytes, MSB first) |
//   +-----+-------+--------+  with 1A         +---------------------------------+
//
// The receiver asks for the plain checksum form (NAK); the sender answers NAK with checksums and "C"
// with CRC-16, so that both plain and CRC receivers can take a logger's offload. The transfer ends with
// EOT, acknowledged by ACK; two CANs from the other side end it at once.

#include <cstdint>
#include <string>
#include <vector>

#include "programrunner.h"

namespace orrery::loggersim {

namespace xmodem {
inline constexpr std::uint8_t kSoh = 0x01;
inline constexpr std::uint8_t kEot = 0x04;
inline constexpr std::uint8_t kAck = 0x06;
inline constexpr std::uint8_t kNak = 0x15;
inline constexpr std::uint8_t kCan = 0x18;
inline constexpr std::uint8_t kCrcRequest = 'C';
inline constexpr std::uint8_t kPad = 0x1A;
inline constexpr std::size_t kBlockSize = 128;
// How long the sender waits for the receiver's first request, and for each acknowledgement.
inline constexpr Micros kStartWait = 60'000'000;
inline constexpr Micros kAckWait = 10'000'000;
// The receiver repeats its request (NAK) this often, this many times, before it gives up.
inline constexpr Micros kRequestInterval = 3'000'000;
inline constexpr int kRequestTries = 20;
// Silence inside a block, or between blocks, after which the receiver asks again.
inline constexpr Micros kByteWait = 1'000'000;
inline constexpr Micros kBlockWait = 10'000'000;
inline constexpr int kMaxRetries = 10;
inline constexpr std::size_t kMaxReceived = 16u << 20;

std::uint8_t checksum(const std::uint8_t* bytes, std::size_t count);
std::uint16_t crc16(const std::uint8_t* bytes, std::size_t count);
}  // namespace xmodem

class XmodemSender {
public:
    XmodemSender(std::vector<std::uint8_t> data, Micros now);
    void receive(std::uint8_t byte, Micros now);
    void tick(Micros now);
    Micros nextWake() const { return m_finished ? INT64_MAX : m_deadline; }
    std::string takeOutput();
    bool finished() const { return m_finished; }
    bool succeeded() const { return m_succeeded; }
    const std::string& error() const { return m_error; }
    std::size_t blocksSent() const { return m_block - 1; }

private:
    enum class Phase { Start, Block, Eot };
    void sendBlock();
    void resend(Micros now);
    void fail(const std::string& why);

    std::vector<std::uint8_t> m_data;
    std::string m_out;
    std::string m_error;
    Phase m_phase = Phase::Start;
    std::size_t m_block = 1;  // 1-based number of the block in flight
    Micros m_deadline;
    int m_retries = 0;
    bool m_crc = false;
    bool m_lastWasCan = false;
    bool m_finished = false;
    bool m_succeeded = false;
};

class XmodemReceiver {
public:
    explicit XmodemReceiver(Micros now);
    void receive(std::uint8_t byte, Micros now);
    void tick(Micros now);
    Micros nextWake() const { return m_finished ? INT64_MAX : m_deadline; }
    std::string takeOutput();
    bool finished() const { return m_finished; }
    bool succeeded() const { return m_succeeded; }
    const std::string& error() const { return m_error; }
    // Everything received, padding of the last block included (XMODEM carries no length).
    const std::vector<std::uint8_t>& data() const { return m_data; }

private:
    void blockComplete(Micros now);
    void askAgain(Micros now);
    void fail(const std::string& why);

    std::vector<std::uint8_t> m_data;
    std::vector<std::uint8_t> m_block;  // the block being received, from SOH on
    std::string m_out;
    std::string m_error;
    Micros m_deadline;
    int m_requests = 1;
    int m_retries = 0;
    std::uint8_t m_expected = 1;
    bool m_started = false;  // a first block has arrived
    bool m_lastWasCan = false;
    bool m_finished = false;
    bool m_succeeded = false;
};

}  // namespace orrery::loggersim
