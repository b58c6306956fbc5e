#pragma once
// The one "Find / Replace" dialog of the workbench: the search and replacement texts with their
// histories, the option check boxes and their defaults. It lives for the whole run; its histories and
// defaults are loaded from and saved to the settings section "Find".

#include <QDialog>
#include <QStringList>
#include <functional>

#include "settings.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;

namespace orrery::shell {

// The seven option values of the dialog (all but "Use as default").
struct FindReplaceChecks {
    bool startAtTop = true;
    bool selectedText = false;
    bool wholeWords = false;
    bool caseSensitive = false;
    bool wrapAround = false;
    bool promptOnReplace = true;
    bool replaceAll = false;
    bool operator==(const FindReplaceChecks&) const = default;
};

inline constexpr int kHistorySize = 8;
// » typed into a combo box stands for a tab character.
inline constexpr QChar kTabMarker = QChar(0xBB);

// Puts text at the top of a most-recent-first history of at most kHistorySize entries. An entry equal
// to it ignoring case is moved rather than repeated; empty texts are not added.
void addToHistory(QStringList& history, const QString& text);
QString tabMarkersToTabs(QString text);

class TFindReplaceForm : public QDialog {
    Q_OBJECT
public:
    enum class Mode { Find, Replace };

    explicit TFindReplaceForm(QWidget* parent = nullptr);

    // Prepares the dialog for a command and runs it; true when closed with "Find". Tests replace the
    // modal part with setRunner() and act on the prepared dialog instead.
    bool run(Mode mode);
    void setRunner(std::function<bool(TFindReplaceForm&)> runner) { m_runner = std::move(runner); }
    void prepare(Mode mode);

    // The texts of the combo boxes with every » turned into a tab.
    QString searchText() const;
    QString replacementText() const;
    FindReplaceChecks checks() const;
    void setChecks(const FindReplaceChecks& checks);

    const FindReplaceChecks& defaults() const { return m_defaults; }
    void setDefaults(const FindReplaceChecks& defaults) { m_defaults = defaults; }
    const QStringList& findHistory() const { return m_findHistory; }
    const QStringList& replaceHistory() const { return m_replaceHistory; }

    // The dialog's part of the settings: histories and defaults.
    void loadFrom(const settings::FindSection& section);
    settings::FindSection section() const;

    QComboBox* findCombo() const { return m_findCombo; }
    QComboBox* replaceCombo() const { return m_replaceCombo; }
    QCheckBox* useAsDefaultBox() const { return m_useAsDefault; }
    QPushButton* findButton() const { return m_findButton; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void findClicked();
    void historyChosen(QComboBox* combo, QStringList& history, int index);
    static void fillCombo(QComboBox* combo, const QStringList& history);

    QComboBox* m_findCombo;
    QComboBox* m_replaceCombo;
    QLabel* m_replaceLabel;
    QCheckBox* m_startAtTop;
    QCheckBox* m_selectedText;
    QCheckBox* m_wholeWords;
    QCheckBox* m_caseSensitive;
    QCheckBox* m_wrapAround;
    QCheckBox* m_useAsDefault;
    QCheckBox* m_promptOnReplace;
    QCheckBox* m_replaceAll;
    QPushButton* m_findButton;
    FindReplaceChecks m_defaults;
    QStringList m_findHistory;
    QStringList m_replaceHistory;
    std::function<bool(TFindReplaceForm&)> m_runner;
};

}  // namespace orrery::shell
