#pragma once
// Serves one simulated logger on a pseudo-terminal: the logger's side is the master, the workbench opens
// the slave device like any serial port.
//
// The server keeps a descriptor of the slave open itself, in raw mode, so that the line stays up and
// raw between the workbench's sessions (a pty whose slave nobody holds reports hang-ups and forgets its
// settings). Bytes the logger sends while no one listens pile up in the slave's input queue; once they
// have waited a second unread they are discarded, as a real line would lose them.

#include <atomic>
#include <string>

#include "loggerline.h"

namespace orrery::loggersim {

class PtyServer {
public:
    PtyServer() = default;
    ~PtyServer();
    PtyServer(const PtyServer&) = delete;
    PtyServer& operator=(const PtyServer&) = delete;

    // Opens the pseudo-terminal, and the symbolic link when link is not empty (an existing symbolic link
    // there is replaced; anything else there is refused).
    bool open(const std::string& link, std::string& error);
    const std::string& devicePath() const { return m_device; }

    // Serves until stop is set, or, with exitAfter >= 0, until that many commands are done and their
    // answers have been read by the other side (or have waited two seconds).
    void serve(LoggerLine& line, long exitAfter, const std::atomic<bool>& stop);

private:
    bool writePending();
    void waitForReader();

    int m_master = -1;
    int m_slave = -1;
    std::string m_device;
    std::string m_link;
    std::string m_pending;
    long long m_stuckSince = -1;
};

}  // namespace orrery::loggersim
