#include "cliprompts.h"

#include "loggerlink.h"

#include <QDateTime>
#include <csignal>
#include <ostream>

namespace orrery::loggerlink {

namespace {

volatile std::sig_atomic_t g_interrupts = 0;

void onInterrupt(int) {
    g_interrupts = g_interrupts + 1;
    if (g_interrupts >= 2) {
        std::signal(SIGINT, SIG_DFL);
        std::raise(SIGINT);
    }
}

constexpr int kBarWidth = 30;
// The bar is redrawn at most this often, so a fast load does not flood a slow terminal.
constexpr qint64 kRedrawMs = 100;

}  // namespace

void installInterruptHandler() {
    std::signal(SIGINT, onInterrupt);
}

bool cancelRequested() {
    return g_interrupts > 0;
}

// --- progress ----------------------------------------------------------------------------------------

void StderrProgress::start(const QString& caption, qint64 maximum, bool wrap) {
    m_caption = caption;
    m_maximum = maximum;
    m_wrap = wrap;
    m_value = 0;
    m_open = true;
    m_lastDrawnMs = -1000;
    draw(true);
}

bool StderrProgress::update(qint64 value) {
    m_value = value;
    draw(false);
    return cancelRequested();
}

bool StderrProgress::add(qint64 delta) {
    return update(m_value + delta);
}

bool StderrProgress::poll() {
    return cancelRequested();
}

void StderrProgress::close() {
    if (m_open && m_draw) {
        draw(true);
        m_err << "\n" << std::flush;
    }
    m_open = false;
}

void StderrProgress::draw(bool force) {
    if (!m_draw || !m_open) {
        return;
    }
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (!force && now - m_lastDrawnMs < kRedrawMs) {
        return;
    }
    m_lastDrawnMs = now;
    const qint64 shown = m_maximum > 0 ? (m_wrap ? m_value % m_maximum : std::min(m_value, m_maximum)) : 0;
    const int filled = m_maximum > 0 ? int(shown * kBarWidth / m_maximum) : 0;
    std::string bar(std::size_t(filled), '#');
    bar.resize(kBarWidth, ' ');
    m_err << "\r" << m_caption.toStdString() << " [" << bar << "] " << m_value;
    if (!m_wrap) {
        m_err << "/" << m_maximum;
    }
    m_err << std::flush;
}

// --- prompts -----------------------------------------------------------------------------------------

CliPrompts::CliPrompts(std::ostream& err, bool drawProgress) : m_err(err), m_progress(err, drawProgress) {}

void CliPrompts::showMessage(const QString& text, PromptIcon, const QString&) {
    m_messages << text;
    QString shown = text;
    // A message about the logger names the line it was tried on, so a wrong port shows at once.
    if (!m_device.isEmpty() && (text == link::kNotResponding || text == link::kErrorCommunicating)) {
        shown += QStringLiteral(" (on %1)").arg(m_device);
    }
    m_err << "loggerlink: " << shown.toStdString() << "\n" << std::flush;
}

// The link asks nothing of a command; a question reaching here is a fault, answered by cancelling so
// that a script never hangs.
int CliPrompts::choose(const QString&, const QString& text, const QStringList&, int, PromptIcon) {
    m_err << "loggerlink: " << text.toStdString() << " (not asked: cancelled)\n" << std::flush;
    return -1;
}

QString CliPrompts::openFileName(const QString&, const QString&, const QString&) {
    return {};
}

QString CliPrompts::saveFileName(const QString&, const QString&, const QString&) {
    return {};
}

bool CliPrompts::getText(const QString&, const QString&, QString&) {
    return false;
}

}  // namespace orrery::loggerlink
