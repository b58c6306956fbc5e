#pragma once
// The workbench's two port questions answered by a test: "Select Ports" gives selectAnswer (no port
// chosen unless the test says so) and "Serial Port Settings" gives setupAnswer (cancelled unless the test
// says so). Each remembers what it was offered and shown, and how often it was asked.
#include <optional>

#include <QString>
#include <QStringList>

#include "commsettingsform.h"

namespace orrery {

class ScriptedPortDialogs : public PortDialogs {
public:
    ScriptedPortDialogs() = default;
    explicit ScriptedPortDialogs(const QString& port) : selectAnswer(port) {}

    std::optional<QString> selectPort(const QStringList& available, const serial::PortMap&) override {
        offeredAtSelect = available;
        ++selectCalls;
        return selectAnswer;
    }
    std::optional<CommSettings> portSettings(const CommSettings& current, const QStringList& available,
                                             const serial::PortMap&) override {
        shownCurrent = current;
        offeredAtSetup = available;
        ++setupCalls;
        return setupAnswer;
    }

    std::optional<QString> selectAnswer;
    std::optional<CommSettings> setupAnswer;
    QStringList offeredAtSelect, offeredAtSetup;
    CommSettings shownCurrent;
    int selectCalls = 0;
    int setupCalls = 0;
};

}  // namespace orrery
