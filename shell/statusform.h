#pragma once
// The progress dialog ("Status") shared by every long command: a count, a gauge and a Cancel button.
// It is shown without being modal; callers update it and poll it for Cancel, and each of those calls
// lets pending window events run so that the Cancel button can be pressed. Esc, the title bar's close
// button and the window manager's close (Alt+F4) are Cancel too: the dialog stays up until the command
// sees the Cancel and closes it, so a command can never run on behind a hidden dialog. It has no
// minimise or maximise button.
//
// In wrap mode the gauge shows the count modulo the maximum and no percentage, for work whose end is
// not known in advance; otherwise the gauge is capped at the maximum and shows a percentage.

#include <QDialog>
#include <functional>

#include "prompts.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace orrery::shell {

class TStatusDialog : public QDialog, public Progress {
    Q_OBJECT
public:
    explicit TStatusDialog(QWidget* parent = nullptr);

    // start() also shows the dialog: callers that only know the Progress interface never call show().
    void start(const QString& caption, qint64 maximum, bool wrap = false) override;
    bool update(qint64 value) override;
    bool add(qint64 delta) override;
    bool poll() override;
    void close() override;
    void requestCancel() override { m_cancelRequested = true; }
    // Esc.
    void reject() override { requestCancel(); }

    qint64 count() const { return m_count; }
    bool cancelRequested() const { return m_cancelRequested; }
    QLabel* countLabel() const { return m_label; }
    QProgressBar* gauge() const { return m_gauge; }
    QPushButton* cancelButton() const { return m_cancel; }

protected:
    // The close button and Alt+F4.
    void closeEvent(QCloseEvent* event) override;

private:
    void showCount();

    QLabel* m_label;
    QProgressBar* m_gauge;
    QPushButton* m_cancel;
    qint64 m_maximum = 0;
    qint64 m_count = 0;
    bool m_wrap = false;
    bool m_cancelRequested = false;
};

// The update operation as a plain callback, for code that takes a progress function.
std::function<bool(qint64)> progressCallback(Progress& progress);

}  // namespace orrery::shell
