#pragma once
// TViewVariableDialog ("View Variables"): the grid of a symbol file's variables with their values read
// from the logger. A thin window over link::VariableViewer, which owns the items, the texts of every cell
// and the reads; the dialog shows those texts and passes on its buttons and clicks.
//
// The header row is the table's own header: a click on "Address (hex)" or "Data (...)" toggles the
// address or float form. A click on a value cell reads that one variable.

#include <QDialog>
#include <functional>
#include <memory>

#include "viewvariables.h"

class QPushButton;
class QTableWidget;

namespace orrery {

class Prompts;

class TViewVariableDialog : public QDialog {
    Q_OBJECT
public:
    explicit TViewVariableDialog(QWidget* parent = nullptr);
    ~TViewVariableDialog() override;

    // The viewer for one session of memory access (made by the caller around each showing).
    void setViewer(link::VariableViewer* viewer);
    link::VariableViewer* viewer() const { return m_viewer; }

    // Runs the dialog modally: FormShow, then the user's clicks until "Done". Tests replace the runner
    // to script the clicks without blocking.
    void run();
    void setRunner(std::function<void(TViewVariableDialog&)> runner) { m_runner = std::move(runner); }

    void FormShow();
    void OpenButtonClick();
    void AllDataButtonClick();
    // A left click released over the cell it was pressed on; row 0 is the header row.
    void cellClick(int column, int row);
    // Rewrites the table from the viewer's texts.
    void refresh();

    QTableWidget* grid() const { return StringGrid1; }
    QPushButton* openButton() const { return OpenButton; }
    QPushButton* allDataButton() const { return AllDataButton; }
    QPushButton* doneButton() const { return DoneButton; }

private:
    QTableWidget* StringGrid1;
    QPushButton* OpenButton;
    QPushButton* AllDataButton;
    QPushButton* DoneButton;
    link::VariableViewer* m_viewer = nullptr;
    std::function<void(TViewVariableDialog&)> m_runner;
};

}  // namespace orrery
