#pragma once
// The "File Exists" dialog: what to do with a file that is already there (Overwrite, Append, Make
// back-up). The file name is shown whole when it fits the label, else shortened in the middle.

#include <QDialog>
#include <functional>

class QButtonGroup;
class QLabel;

namespace orrery::shell {

enum class FileExistsAction { Cancel = 0, Overwrite = 1, Append = 2, MakeBackup = 3 };

struct FileExistsChoice {
    FileExistsAction action = FileExistsAction::Cancel;
    int index = -1;  // 0 Overwrite, 1 Append, 2 Make back-up; what the caller stores as its setting
};

// The action for OK with the given radio index (-1: none chosen).
FileExistsAction actionForIndex(int index);

class TFileExistsForm : public QDialog {
    Q_OBJECT
public:
    explicit TFileExistsForm(QWidget* parent = nullptr);

    FileExistsChoice run(const QString& fileName, int preselectedIndex);
    void setRunner(std::function<bool(TFileExistsForm&)> runner) { m_runner = std::move(runner); }

    QLabel* nameLabel() const { return m_name; }
    QButtonGroup* choices() const { return m_choices; }

private:
    QLabel* m_name;
    QButtonGroup* m_choices;
    std::function<bool(TFileExistsForm&)> m_runner;
};

}  // namespace orrery::shell
