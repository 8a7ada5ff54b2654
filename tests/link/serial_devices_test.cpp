#include <gtest/gtest.h>

#include "link/serial_devices.h"

namespace korvane {
namespace {

using Paths = std::vector<std::string>;

TEST(SerialDeviceOrder, AdaptersFirstThenModemsThenOnBoardPortsEachInNumericOrder) {
    const Paths present = {"/dev/ttyS1",   "/dev/ttyUSB10", "/dev/null",     "/dev/ttyACM0",
                           "/dev/ttyS0",   "/dev/ttyUSB2",  "/dev/ttyS10",   "/dev/ttyS2",
                           "/dev/tty1",    "/dev/ttyUSB",   "/dev/ttyUSB0x", "/dev/ttyS0.lock",
                           "/dev/ttyACM1", "/dev/ttyUSB2",  "/dev/pts/3",    "/dev/ttyUSB-panel"};
    EXPECT_EQ(OrderSerialDevices(present),
              (Paths{"/dev/ttyUSB2", "/dev/ttyUSB10", "/dev/ttyACM0", "/dev/ttyACM1", "/dev/ttyS0",
                     "/dev/ttyS1", "/dev/ttyS2", "/dev/ttyS10"}));
}

TEST(SerialDeviceOrder, ComNumbersCountFromOneWithinTheList) {
    const Paths ordered = {"/dev/ttyUSB0", "/dev/ttyACM0", "/dev/ttyS0"};
    struct Case {
        unsigned com;
        std::optional<std::string> device;
    };
    const Case cases[] = {{0, std::nullopt}, {1, "/dev/ttyUSB0"}, {2, "/dev/ttyACM0"},
                          {3, "/dev/ttyS0"}, {4, std::nullopt},   {65535, std::nullopt}};
    for (const Case& c : cases)
        EXPECT_EQ(ComPortDevice(c.com, ordered), c.device) << c.com;
    EXPECT_EQ(ComPortDevice(1, {}), std::nullopt);
}

TEST(SerialDeviceOrder, ListedDevicesAreInTheDocumentedOrder) {
    const Paths listed = ListSerialDevices();
    EXPECT_EQ(OrderSerialDevices(listed), listed);
}

}  // namespace
}  // namespace korvane
