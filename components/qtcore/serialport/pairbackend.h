#pragma once
// An in-process serial line for tests: a bench of named virtual devices, each a line whose far end the
// test drives (send bytes to the port, read what the port sent, see the break state and the settings,
// hold back the output, pull the plug).
//
//   auto bench = std::make_shared<PairBench>();
//   VirtualLine& line = bench->addDevice("/dev/virt1");
//   port.setBackendFactory(bench->factory());
//   line.send("abc");            // arrives in the port's input buffer
//   line.takeReceived();         // what the port transmitted

#include <QHash>
#include <functional>
#include <memory>

#include "serialbackend.h"

namespace orrery::serial {

class PairBackend;

class VirtualLine {
public:
    // Far end -> port.
    void send(const QByteArray& bytes);
    // Port -> far end: everything transmitted so far.
    QByteArray takeReceived();
    const QByteArray& received() const { return m_received; }
    // Called with each run of bytes as the port puts it on the line, so that a simulated peer can
    // answer (tools/loggersim/loggeronline.h). The hook must not call back into the port.
    void setTransmitHook(std::function<void(const QByteArray&)> hook) { m_transmitHook = std::move(hook); }

    // While held, the port's output stays queued in the port (its output buffer fills up).
    void holdOutput(bool hold) { m_holdOutput = hold; }
    // The next open fails with this reason ("in use by another program", ...); empty clears it.
    void failNextOpens(const QString& reason) { m_openFailure = reason; }
    // Settings the line refuses (e.g. a pseudo-terminal that cannot do parity).
    void refuseDataBits(int bits) { m_refusedDataBits = bits; }
    // The device disappears while open, as an unplugged USB adapter does.
    void unplug();

    bool breakOn() const { return m_break; }
    int breakChanges() const { return m_breakChanges; }
    bool isOpen() const { return m_backend != nullptr; }
    int openCount() const { return m_opens; }
    const LineSettings& settings() const { return m_settings; }

private:
    friend class PairBackend;
    QByteArray m_toPort;
    QByteArray m_received;
    std::function<void(const QByteArray&)> m_transmitHook;
    QString m_openFailure;
    LineSettings m_settings;
    PairBackend* m_backend = nullptr;
    int m_refusedDataBits = 0;
    int m_opens = 0;
    int m_breakChanges = 0;
    bool m_holdOutput = false;
    bool m_break = false;
};

class PairBench : public std::enable_shared_from_this<PairBench> {
public:
    VirtualLine& addDevice(const QString& name);
    void removeDevice(const QString& name);
    VirtualLine* line(const QString& name) const;
    BackendFactory factory();

private:
    friend class PairBackend;
    QHash<QString, std::shared_ptr<VirtualLine>> m_lines;
};

class PairBackend : public SerialBackend {
    Q_OBJECT
public:
    explicit PairBackend(std::shared_ptr<PairBench> bench, QObject* parent = nullptr);
    ~PairBackend() override;

    bool open(const QString& device, const LineSettings& settings, QString& error) override;
    void close() override;
    bool isOpen() const override { return m_line != nullptr; }
    bool apply(const LineSettings& settings, QString& error) override;
    void write(const QByteArray& bytes) override;
    QByteArray readAll() override;
    qint64 bytesToWrite() const override { return m_pending.size(); }
    void pump() override;
    void clearInput() override;
    void clearOutput() override { m_pending.clear(); }
    bool setBreak(bool on) override;

private:
    friend class VirtualLine;
    void announceInput() { emit readyRead(); }
    void announceLost();

    std::shared_ptr<PairBench> m_bench;
    std::shared_ptr<VirtualLine> m_line;
    QByteArray m_pending;
};

}  // namespace orrery::serial
