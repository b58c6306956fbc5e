#include "ptyserver.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <thread>

namespace orrery::loggersim {

namespace {

Micros steadyMicros() {
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

constexpr Micros kUnreadLimit = 1'000'000;
constexpr Micros kExitGrace = 2'000'000;
constexpr Micros kArrivalWait = 300'000;

}  // namespace

PtyServer::~PtyServer() {
    if (!m_link.empty()) {
        // Only our own link is removed: someone may have put another in its place meanwhile.
        std::error_code ec;
        if (std::filesystem::is_symlink(m_link, ec) && std::filesystem::read_symlink(m_link, ec) == m_device) {
            std::filesystem::remove(m_link, ec);
        }
    }
    if (m_slave >= 0) ::close(m_slave);
    if (m_master >= 0) ::close(m_master);
}

bool PtyServer::open(const std::string& link, std::string& error) {
    struct termios raw {};
    cfmakeraw(&raw);
    cfsetispeed(&raw, B19200);
    cfsetospeed(&raw, B19200);
    char name[256] = {};
    if (openpty(&m_master, &m_slave, name, &raw, nullptr) != 0) {
        error = std::string("cannot open a pseudo-terminal: ") + std::strerror(errno);
        return false;
    }
    m_device = name;
    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
    ::fcntl(m_master, F_SETFD, FD_CLOEXEC);
    ::fcntl(m_slave, F_SETFD, FD_CLOEXEC);
    if (link.empty()) return true;

    namespace fs = std::filesystem;
    std::error_code ec;
    const auto status = fs::symlink_status(link, ec);
    if (fs::exists(status) && !fs::is_symlink(status)) {
        error = "--link: " + link + " exists and is not a symbolic link";
        return false;
    }
    // Made beside its final name and renamed over it, so the path never points nowhere.
    const std::string temp = link + ".loggersim-" + std::to_string(::getpid());
    fs::remove(temp, ec);
    fs::create_symlink(m_device, temp, ec);
    if (!ec) fs::rename(temp, link, ec);
    if (ec) {
        fs::remove(temp, ec);
        error = "--link: cannot make " + link + ": " + ec.message();
        return false;
    }
    m_link = link;
    return true;
}

bool PtyServer::writePending() {
    while (!m_pending.empty()) {
        const ssize_t n = ::write(m_master, m_pending.data(), m_pending.size());
        if (n > 0) {
            m_pending.erase(0, std::size_t(n));
            m_stuckSince = -1;
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        break;
    }
    if (m_pending.empty()) return true;
    const Micros now = steadyMicros();
    if (m_stuckSince < 0) {
        m_stuckSince = now;
    } else if (now - m_stuckSince > kUnreadLimit) {
        // Nobody reads the line: what waits unread is lost, as on a real line with no listener.
        ::tcflush(m_slave, TCIFLUSH);
        m_stuckSince = -1;
    }
    return false;
}

void PtyServer::waitForReader() {
    // Bytes written to the master reach the slave's queue a moment later, and closing the master
    // discards what is still queued; so wait for the last answer to arrive there, then to be read.
    const Micros start = steadyMicros();
    bool arrived = false;
    while (steadyMicros() - start < kExitGrace) {
        writePending();
        int unread = 0;
        if (::ioctl(m_slave, FIONREAD, &unread) != 0) return;
        if (unread > 0) arrived = true;
        const bool settled = arrived || steadyMicros() - start > kArrivalWait;
        if (m_pending.empty() && settled && unread == 0) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

void PtyServer::serve(LoggerLine& line, long exitAfter, const std::atomic<bool>& stop) {
    const Micros start = steadyMicros();
    auto now = [start] { return steadyMicros() - start; };
    std::uint8_t buffer[4096];
    // The stop signals are held back except inside ppoll(), so that one arriving between the check of
    // `stop` and the wait cannot leave the wait sleeping on.
    sigset_t stopSignals;
    sigset_t waitMask;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGHUP);
    sigprocmask(SIG_BLOCK, &stopSignals, &waitMask);
    sigdelset(&waitMask, SIGTERM);
    sigdelset(&waitMask, SIGINT);
    sigdelset(&waitMask, SIGHUP);
    while (!stop) {
        m_pending += line.toWorkbench(now());
        writePending();
        if (exitAfter >= 0 && line.model().commandsDone() >= exitAfter && line.model().idle() && line.quiet() &&
            m_pending.empty()) {
            waitForReader();
            return;
        }
        const Micros wake = line.nextWake();
        int timeout = -1;
        if (wake != kNever) timeout = int(std::clamp<Micros>((wake - now() + 999) / 1000, 0, 1000));
        if (!m_pending.empty()) timeout = (timeout < 0 || timeout > 20) ? 20 : timeout;
        struct pollfd fd {m_master, POLLIN, 0};
        struct timespec limit {timeout / 1000, (timeout % 1000) * 1'000'000L};
        const int ready = ::ppoll(&fd, 1, timeout < 0 ? nullptr : &limit, &waitMask);
        if (ready < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (ready > 0 && (fd.revents & POLLIN)) {
            const ssize_t n = ::read(m_master, buffer, sizeof buffer);
            if (n > 0) line.fromWorkbench(buffer, std::size_t(n), now());
        } else if (ready > 0 && (fd.revents & (POLLHUP | POLLERR))) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
}

}  // namespace orrery::loggersim
