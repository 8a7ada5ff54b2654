#include <gtest/gtest.h>

#include <fstream>

#include "link/serial_devices.h"
#include "support/temp_dir.h"

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

// A device folder of our own: what is in it decides the list and the COM numbers.
TEST(SerialDeviceList, ADeviceFolderIsListedInTheDocumentedOrder) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows numbers its COM ports itself";
#endif
    testing::TempDir dev;
    for (const char* name : {"ttyS1", "ttyUSB10", "ttyACM0", "null", "ttyUSB2", "ttyS0.lock",
                             "ttyUSB0", "ttyS10", "ttyACM1", "tty1", "ttyUSB", "ttyS2"}) {
        std::ofstream(dev.path() / name);
    }
    std::filesystem::create_directory(dev.path() / "pts");
    std::ofstream(dev.path() / "pts" / "3");
    const std::string root = dev.path().string();
    const Paths expected = {root + "/ttyUSB0", root + "/ttyUSB2", root + "/ttyUSB10",
                            root + "/ttyACM0", root + "/ttyACM1", root + "/ttyS1",
                            root + "/ttyS2",   root + "/ttyS10"};
    const Paths listed = ListSerialDevices(dev.path());
    EXPECT_EQ(listed, expected);
    // COM1 is the first USB adapter, COM4 the first modem-class one.
    EXPECT_EQ(ComPortDevice(1, listed), root + "/ttyUSB0");
    EXPECT_EQ(ComPortDevice(3, listed), root + "/ttyUSB10");
    EXPECT_EQ(ComPortDevice(4, listed), root + "/ttyACM0");
    EXPECT_EQ(ComPortDevice(8, listed), root + "/ttyS10");
    EXPECT_EQ(ComPortDevice(9, listed), std::nullopt);
}

TEST(SerialDeviceList, AnEmptyOrMissingFolderHasNoDevices) {
    testing::TempDir dev;
    EXPECT_TRUE(ListSerialDevices(dev.path()).empty());
    EXPECT_TRUE(ListSerialDevices(dev.path() / "missing").empty());
}

#ifdef _WIN32
// COM n is the system's own COMn, in the form that also reaches COM10 and up.
TEST(ComPorts, ComNIsTheSystemsComN) {
    EXPECT_EQ(ComPortDevice(0), std::nullopt);
    EXPECT_EQ(ComPortDevice(1), "\\\\.\\COM1");
    EXPECT_EQ(ComPortDevice(12), "\\\\.\\COM12");
    for (const ComPort& port : ListComPorts())
        EXPECT_EQ(ComPortDevice(port.number), port.device);
}
#else
// COM n is the n-th device of the list, and the list is what ports shows.
TEST(ComPorts, ComNIsTheNthListedDevice) {
    const std::vector<ComPort> ports = ListComPorts();
    const Paths listed = ListSerialDevices();
    ASSERT_EQ(ports.size(), listed.size());
    for (size_t i = 0; i < ports.size(); ++i) {
        EXPECT_EQ(ports[i].number, i + 1);
        EXPECT_EQ(ports[i].device, listed[i]);
        EXPECT_EQ(ComPortDevice(ports[i].number), listed[i]);
    }
    EXPECT_EQ(ComPortDevice(0), std::nullopt);
    EXPECT_EQ(ComPortDevice(static_cast<unsigned>(ports.size() + 1)), std::nullopt);
}
#endif

}  // namespace
}  // namespace korvane
