// Port settings: applying the six strings to the port, and the two port dialogs.
#include <gtest/gtest.h>

#include <QButtonGroup>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>

#include "commsettingsform.h"
#include "selectports.h"

using namespace orrery;
using namespace orrery::serial;

namespace {

TEST(CommSettings, ApplyingTheStrings) {
    const struct {
        const char* what;
        CommSettings in;
        int number;
        LineSettings expected;
        QStringList problems;
    } cases[] = {
        {"defaults", {}, 0, {19200, 8, 1, Parity::None, SwFlow::None}, {}},
        {"everything set", {"COM3", "9600", "7", "2", "Odd", "XON/XOFF"}, 3, {9600, 7, 2, Parity::Odd, SwFlow::Both}, {}},
        {"even parity", {"COM1", "300", "8", "1", "Even", "None"}, 1, {300, 8, 1, Parity::Even, SwFlow::None}, {}},
        {"lower-case texts are not recognised", {"COM2", "1200", "8", "1", "none", "xon/xoff"}, 2,
         {1200, 8, 1, Parity::Odd, SwFlow::Both}, {}},
        {"a baud rate that is no number keeps the old one", {"COM1", "fast", "8", "1", "None", "None"}, 1,
         {57600, 8, 1, Parity::None, SwFlow::None}, {"'fast' is not a valid integer value"}},
        {"port name without a digit is no port", {"COMX", "57600", "8", "1", "None", "None"}, 0,
         {57600, 8, 1, Parity::None, SwFlow::None}, {}},
        {"empty port name is no port", {"", "57600", "8", "1", "None", "None"}, 0,
         {57600, 8, 1, Parity::None, SwFlow::None}, {}},
    };
    for (const auto& c : cases) {
        TApdComPort port;
        port.setBaud(57600);
        port.setParity(Parity::Odd);
        port.setSwFlowOptions(SwFlow::Both);
        EXPECT_EQ(applyCommSettings(port, c.in), c.problems) << c.what;
        EXPECT_EQ(port.comNumber(), c.number) << c.what;
        EXPECT_EQ(port.lineSettings(), c.expected) << c.what;
    }
}

TEST(CommSettings, CurrentValuesOfThePort) {
    TApdComPort port;
    port.setComNumber(2);
    port.setBaud(4800);
    port.setDataBits(7);
    port.setStopBits(2);
    port.setParity(Parity::Even);
    port.setSwFlowOptions(SwFlow::Both);
    EXPECT_EQ(commSettingsOf(port), (CommSettings{"COM2", "4800", "7", "2", "Even", "XON/XOFF"}));
    port.setSwFlowOptions(SwFlow::Transmit);
    port.setComNumber(0);
    EXPECT_EQ(commSettingsOf(port).handshake, "None");
    EXPECT_EQ(commSettingsOf(port).port, "COM0");
}

QStringList checkedIn(const QDialog& dialog) {
    QStringList out;
    for (const QGroupBox* box : dialog.findChildren<QGroupBox*>()) {
        for (const QRadioButton* r : box->findChildren<QRadioButton*>()) {
            if (r->isChecked()) {
                out << box->title() + "=" + r->text();
            }
        }
    }
    out.sort();
    return out;
}

QRadioButton* radio(const QDialog& dialog, const QString& group, const QString& text) {
    for (const QGroupBox* box : dialog.findChildren<QGroupBox*>()) {
        if (box->title() == group) {
            for (QRadioButton* r : box->findChildren<QRadioButton*>()) {
                if (r->text() == text) {
                    return r;
                }
            }
        }
    }
    return nullptr;
}

TEST(CommSettingsDialog, GroupsAndTheirSelection) {
    TCommSettingsDialog dialog;
    EXPECT_EQ(dialog.windowTitle(), "Serial Port Settings");
    QStringList titles;
    for (const QGroupBox* box : dialog.findChildren<QGroupBox*>()) {
        titles << box->title();
    }
    titles.sort();
    EXPECT_EQ(titles, (QStringList{"Baud Rate", "ComPort", "Data Bits", "Handshake", "Parity", "Stop Bits"}));

    PortMap map;
    map.assign(2, "/dev/serial/by-id/usb-FTDI-if00");
    dialog.setValues({"com2", "19200", "8", "1", "none", "XON/XOFF"}, {"COM2"}, map);
    EXPECT_EQ(checkedIn(dialog), (QStringList{"Baud Rate=19200", "ComPort=COM2  (usb-FTDI-if00)", "Data Bits=8",
                                              "Handshake=XON/XOFF", "Parity=None", "Stop Bits=1"}))
        << "entries are matched ignoring case";
    EXPECT_EQ(dialog.values(), (CommSettings{"COM2", "19200", "8", "1", "None", "XON/XOFF"}));
}

TEST(CommSettingsDialog, ValuesNotAmongTheChoices) {
    TCommSettingsDialog dialog;
    dialog.setValues({"COM4", "115200", "8", "1", "Mark", "None"}, {"COM1", "COM2"}, {});
    EXPECT_EQ(checkedIn(dialog), (QStringList{"Data Bits=8", "Handshake=None", "Stop Bits=1"}));
    const CommSettings v = dialog.values();
    EXPECT_EQ(v.port, "COM0") << "no port selected is no port";
    EXPECT_EQ(v.baud, "115200") << "an unselected group keeps the current value";
    EXPECT_EQ(v.parity, "Mark");
    radio(dialog, "ComPort", "COM1")->setChecked(true);
    radio(dialog, "Baud Rate", "600")->setChecked(true);
    radio(dialog, "Parity", "Odd")->setChecked(true);
    EXPECT_EQ(dialog.values(), (CommSettings{"COM1", "600", "8", "1", "Odd", "None"}));
}

TEST(CommSettingsDialog, ReusedDialogShowsOnlyTheNewPorts) {
    TCommSettingsDialog dialog;
    dialog.setValues({}, {"COM1", "COM2", "COM3"}, {});
    dialog.setValues({"COM2"}, {"COM2"}, {});
    QStringList ports;
    for (const QGroupBox* box : dialog.findChildren<QGroupBox*>()) {
        if (box->title() == "ComPort") {
            for (const QRadioButton* r : box->findChildren<QRadioButton*>()) {
                ports << r->text();
            }
        }
    }
    EXPECT_EQ(ports, QStringList{"COM2"});
}

TEST(SelectPortsDialog, TextsAndChoice) {
    TSelectPortsDialog dialog;
    EXPECT_EQ(dialog.windowTitle(), "Select Ports");
    QStringList texts;
    for (const QLabel* l : dialog.findChildren<QLabel*>()) {
        texts << l->text();
    }
    EXPECT_TRUE(texts.contains("The settings contain no entry for this program"));
    EXPECT_TRUE(texts.contains("A Com Port must be specified before the program can continue"));
    EXPECT_TRUE(texts.contains("Choose a Com Port from this list"));
    PortMap map;
    map.assign(1, "/dev/ttyUSB0");
    dialog.setPorts({"COM1", "COM3"}, map);
    EXPECT_EQ(dialog.chosenPort(), "") << "nothing is chosen for the user";
    const auto radios = dialog.findChildren<QRadioButton*>();
    ASSERT_EQ(radios.size(), 2);
    EXPECT_EQ(radios.at(0)->text(), "COM1  (ttyUSB0)");
    radios.at(1)->setChecked(true);
    EXPECT_EQ(dialog.chosenPort(), "COM3");

    dialog.setPorts({"COM2"}, map);
    EXPECT_EQ(dialog.chosenPort(), "COM2") << "a single port is the choice";
    dialog.setPorts({}, map);
    EXPECT_EQ(dialog.chosenPort(), "");
}

}  // namespace
