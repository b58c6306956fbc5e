#include <gtest/gtest.h>

#include "portmap.h"

using orrery::serial::orderDevices;
using orrery::serial::PortMap;

namespace {

QProcessEnvironment envWith(const QStringList& assignments) {
    QProcessEnvironment env;
    for (const QString& a : assignments) {
        env.insert(a.section('=', 0, 0), a.section('=', 1));
    }
    return env;
}

TEST(PortMap, NumberOfPortName) {
    const struct {
        const char* name;
        int number;
    } cases[] = {
        {"COM1", 1}, {"COM4", 4}, {"COM9", 9}, {"com2", 2}, {"COM0", 0},
        {"COM", 0},  {"COM10", 0}, {"", 0},   {"LPT1", 0}, {"COMx", 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PortMap::numberOf(QString::fromLatin1(c.name)), c.number) << c.name;
    }
}

TEST(PortMap, SourcesAndPrecedence) {
    const QStringList discovered = {"/dev/serial/by-id/usb-A", "/dev/serial/by-id/usb-B", "/dev/ttyS0",
                                    "/dev/ttyS1", "/dev/ttyUSB7"};
    const struct {
        const char* what;
        QStringList env;
        QMap<int, QString> stored;
        QMap<int, QString> expected;
        bool automatic;
    } cases[] = {
        {"nothing chosen: four devices in order", {}, {},
         {{1, "/dev/serial/by-id/usb-A"}, {2, "/dev/serial/by-id/usb-B"}, {3, "/dev/ttyS0"}, {4, "/dev/ttyS1"}},
         true},
        {"settings entry alone", {}, {{2, "/dev/ttyACM0"}}, {{2, "/dev/ttyACM0"}}, false},
        {"environment beats settings", {"ORRERY_COM2=/dev/pts/7"}, {{2, "/dev/ttyACM0"}, {3, "/dev/x"}},
         {{2, "/dev/pts/7"}, {3, "/dev/x"}}, false},
        {"environment COM9", {"ORRERY_COM9=/tmp/sim"}, {}, {{9, "/tmp/sim"}}, false},
        {"empty environment value falls back to settings", {"ORRERY_COM1="}, {{1, "/dev/ttyS3"}},
         {{1, "/dev/ttyS3"}}, false},
    };
    for (const auto& c : cases) {
        const PortMap map = PortMap::resolve(envWith(c.env), c.stored, discovered);
        EXPECT_EQ(map.entries(), c.expected) << c.what;
        EXPECT_EQ(map.isAutomatic(), c.automatic) << c.what;
    }
}

TEST(PortMap, NoDevicesAtAllGivesAnEmptyMap) {
    const PortMap map = PortMap::resolve({}, {}, {});
    EXPECT_TRUE(map.isEmpty());
    EXPECT_EQ(map.device(1), QString());
    EXPECT_EQ(map.label(1), "COM1");
}

TEST(PortMap, DeviceOrderIsStable) {
    const struct {
        QStringList byId, others, targets, expected;
    } cases[] = {
        {{"/dev/serial/by-id/usb-Z", "/dev/serial/by-id/usb-A"},
         {"/dev/ttyUSB0", "/dev/ttyS10", "/dev/ttyS2", "/dev/ttyUSB1"},
         {"/dev/ttyUSB1", "/dev/ttyUSB0"},
         {"/dev/serial/by-id/usb-A", "/dev/serial/by-id/usb-Z", "/dev/ttyS2", "/dev/ttyS10"}},
        {{}, {"/dev/ttyS1", "/dev/ttyS0"}, {}, {"/dev/ttyS0", "/dev/ttyS1"}},
        {{"/dev/serial/by-id/x"}, {}, {"/dev/ttyACM0"}, {"/dev/serial/by-id/x"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(orderDevices(c.byId, c.others, c.targets), c.expected);
    }
}

TEST(PortMap, LabelShowsTheDeviceName) {
    PortMap map;
    map.assign(1, "/dev/serial/by-id/usb-FTDI_FT232R-if00-port0");
    map.assign(3, "/dev/ttyS0");
    map.assign(4, "/dev/pts/3");
    map.assign(5, "/tmp/sim/logger");
    map.assign(0, "/dev/ignored");
    map.assign(10, "/dev/ignored");
    EXPECT_EQ(map.label(1), "COM1  (usb-FTDI_FT232R-if00-port0)");
    EXPECT_EQ(map.label(3), "COM3  (ttyS0)");
    EXPECT_EQ(map.label(2), "COM2");
    EXPECT_EQ(map.label(4), "COM4  (/dev/pts/3)");
    EXPECT_EQ(map.label(5), "COM5  (/tmp/sim/logger)");
    EXPECT_EQ(map.entries().size(), 4);
}

TEST(PortMap, EnvironmentLabelNamesTheSimulatedLogger) {
    const PortMap map = PortMap::resolve(
        envWith({"ORRERY_COM1=/tmp/x/logger", "ORRERY_COM1_LABEL=simulated logger", "ORRERY_COM3_LABEL=stray"}),
        {{3, "/dev/ttyS0"}}, {});
    EXPECT_EQ(map.label(1), "COM1 (simulated logger)");
    EXPECT_EQ(map.label(3), "COM3  (ttyS0)") << "a label goes only with a device from the environment";
}

}  // namespace
