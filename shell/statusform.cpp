#include "statusform.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <climits>

namespace orrery::shell {

TStatusDialog::TStatusDialog(QWidget* parent)
    : QDialog(parent,
              Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
    setWindowTitle(QStringLiteral("Status"));
    setModal(false);
    m_label = new QLabel(QStringLiteral("0"));
    m_label->setAlignment(Qt::AlignCenter);
    m_gauge = new QProgressBar;
    m_gauge->setMinimumWidth(300);
    QPalette p = m_gauge->palette();
    p.setColor(QPalette::Highlight, Qt::blue);
    p.setColor(QPalette::Base, QColor(0xc0, 0xc0, 0xc0));
    m_gauge->setPalette(p);
    m_cancel = new QPushButton(QStringLiteral("Cancel"));
    connect(m_cancel, &QPushButton::clicked, this, [this] { m_cancelRequested = true; });

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_cancel);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_label);
    layout->addWidget(m_gauge);
    layout->addLayout(buttons);
}

void TStatusDialog::start(const QString& caption, qint64 maximum, bool wrap) {
    setWindowTitle(caption);
    m_maximum = std::max<qint64>(0, maximum);
    m_wrap = wrap;
    m_count = 0;
    m_cancelRequested = false;
    m_gauge->setRange(0, int(std::min<qint64>(m_maximum, INT_MAX)));
    m_gauge->setTextVisible(!wrap);
    showCount();
    show();
    raise();
    QApplication::processEvents();
}

void TStatusDialog::showCount() {
    m_label->setText(QString::number(m_count));
    qint64 shown = 0;
    if (m_maximum > 0) {
        // A maximum of 0 would make the modulo undefined; the gauge then simply stays empty.
        shown = m_wrap ? m_count % m_maximum : std::clamp<qint64>(m_count, 0, m_maximum);
    }
    m_gauge->setValue(int(std::min<qint64>(shown, INT_MAX)));
}

bool TStatusDialog::update(qint64 value) {
    m_count = value;
    showCount();
    return poll();
}

bool TStatusDialog::add(qint64 delta) {
    m_count += delta;
    showCount();
    return poll();
}

bool TStatusDialog::poll() {
    QApplication::processEvents();
    return m_cancelRequested;
}

void TStatusDialog::close() { hide(); }

void TStatusDialog::closeEvent(QCloseEvent* event) {
    if (isVisible()) {
        requestCancel();
    }
    event->ignore();
}

std::function<bool(qint64)> progressCallback(Progress& progress) {
    return [&progress](qint64 value) { return progress.update(value); };
}

}  // namespace orrery::shell
