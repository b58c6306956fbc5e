#pragma once
// The two small range dialogs of the offload commands: "Off-load Datafile" (start and end address of
// data memory) and "Disk Off-load" (first and last disk file number), each with "Off-load" and "Cancel".

#include <QDialog>
#include <functional>

#include "offload.h"

class QLineEdit;

namespace orrery::shell {

class TOffloadRangeDialog : public QDialog {
    Q_OBJECT
public:
    TOffloadRangeDialog(link::OffloadKind kind, QWidget* parent = nullptr);

    // Shows the dialog with the given texts; false when cancelled, else the texts as typed.
    bool run(QString& startText, QString& endText);
    void setRunner(std::function<bool(TOffloadRangeDialog&)> runner) { m_runner = std::move(runner); }
    QLineEdit* startEdit() const { return m_start; }
    QLineEdit* endEdit() const { return m_end; }

private:
    QLineEdit* m_start;
    QLineEdit* m_end;
    std::function<bool(TOffloadRangeDialog&)> m_runner;
};

// StartAddrEdit / EndAddrEdit
class TSerOffloadDialog : public TOffloadRangeDialog {
public:
    explicit TSerOffloadDialog(QWidget* parent = nullptr) : TOffloadRangeDialog(link::OffloadKind::Serial, parent) {}
};

// StartDFEdit / EndDFEdit
class TDiskOffloadDialog : public TOffloadRangeDialog {
public:
    explicit TDiskOffloadDialog(QWidget* parent = nullptr) : TOffloadRangeDialog(link::OffloadKind::Disk, parent) {}
};

}  // namespace orrery::shell
