#include "pairbackend.h"

namespace orrery::serial {

void VirtualLine::send(const QByteArray& bytes) {
    if (m_backend == nullptr) {
        return;  // nobody listening: like a real line, the bytes are gone
    }
    m_toPort += bytes;
    m_backend->announceInput();
}

QByteArray VirtualLine::takeReceived() {
    if (m_backend != nullptr) {
        m_backend->pump();
    }
    QByteArray out;
    out.swap(m_received);
    return out;
}

void VirtualLine::unplug() {
    if (m_backend != nullptr) {
        m_backend->announceLost();
    }
}

VirtualLine& PairBench::addDevice(const QString& name) {
    auto& slot = m_lines[name];
    if (!slot) {
        slot = std::make_shared<VirtualLine>();
    }
    return *slot;
}

void PairBench::removeDevice(const QString& name) {
    if (auto it = m_lines.find(name); it != m_lines.end()) {
        (*it)->unplug();
        m_lines.erase(it);
    }
}

VirtualLine* PairBench::line(const QString& name) const {
    auto it = m_lines.find(name);
    return it == m_lines.end() ? nullptr : it->get();
}

BackendFactory PairBench::factory() {
    std::shared_ptr<PairBench> self = shared_from_this();
    return [self]() -> std::unique_ptr<SerialBackend> { return std::make_unique<PairBackend>(self); };
}

PairBackend::PairBackend(std::shared_ptr<PairBench> bench, QObject* parent)
    : SerialBackend(parent), m_bench(std::move(bench)) {}

PairBackend::~PairBackend() {
    close();
}

bool PairBackend::open(const QString& device, const LineSettings& settings, QString& error) {
    close();
    auto it = m_bench->m_lines.find(device);
    if (it == m_bench->m_lines.end()) {
        error = QString::fromLatin1(kNoSuchDevice);
        return false;
    }
    VirtualLine& line = **it;
    if (!line.m_openFailure.isEmpty()) {
        error = line.m_openFailure;
        return false;
    }
    if (line.m_backend != nullptr) {
        error = QString::fromLatin1(kInUse);
        return false;
    }
    line.m_backend = this;
    m_line = *it;
    if (!apply(settings, error)) {
        close();
        return false;
    }
    line.m_toPort.clear();
    line.m_break = false;
    ++line.m_opens;
    return true;
}

void PairBackend::close() {
    if (m_line) {
        m_line->m_backend = nullptr;
        m_line->m_break = false;
        m_line.reset();
    }
    m_pending.clear();
}

bool PairBackend::apply(const LineSettings& settings, QString& error) {
    if (!m_line) {
        return false;
    }
    if (m_line->m_refusedDataBits != 0 && m_line->m_refusedDataBits == settings.dataBits) {
        error = QStringLiteral("the device refuses these settings (%1 data bits)").arg(settings.dataBits);
        return false;
    }
    m_line->m_settings = settings;
    return true;
}

void PairBackend::write(const QByteArray& bytes) {
    if (!m_line) {
        return;
    }
    m_pending += bytes;
    pump();
}

QByteArray PairBackend::readAll() {
    if (!m_line) {
        return {};
    }
    QByteArray out;
    out.swap(m_line->m_toPort);
    return out;
}

void PairBackend::pump() {
    if (m_line && !m_line->m_holdOutput && !m_pending.isEmpty()) {
        QByteArray sent;
        sent.swap(m_pending);
        m_line->m_received += sent;
        if (m_line->m_transmitHook) {
            m_line->m_transmitHook(sent);
        }
    }
}

void PairBackend::clearInput() {
    if (m_line) {
        m_line->m_toPort.clear();
    }
}

bool PairBackend::setBreak(bool on) {
    if (!m_line) {
        return false;
    }
    if (m_line->m_break != on) {
        ++m_line->m_breakChanges;
    }
    m_line->m_break = on;
    return true;
}

void PairBackend::announceLost() {
    close();
    emit lost(QString::fromLatin1(kDisconnected));
}

}  // namespace orrery::serial
