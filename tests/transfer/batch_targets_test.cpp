#include "transfer/batch_targets.h"

#include <gtest/gtest.h>

namespace korvane {
namespace {

uint32_t Octets(uint8_t a, uint8_t b, uint8_t c, uint8_t d) {
    return uint32_t{a} | uint32_t{b} << 8 | uint32_t{c} << 16 | uint32_t{d} << 24;
}

TEST(BatchTargets, AddressesRangesAndDevicesInOneText) {
    const BatchEntries e =
        ParseBatchEntries("192.168.0.5:600, 10.0.0.254-10.0.1.1;\n/dev/ttyUSB0\tCOM3 com12", 21845);
    ASSERT_TRUE(e.problems.empty());
    ASSERT_EQ(e.targets.size(), 8u);
    EXPECT_EQ(e.targets[0].mode, LinkMode::Udp);
    EXPECT_EQ(e.targets[0].address, Octets(192, 168, 0, 5));
    EXPECT_EQ(e.targets[0].port, 600);
    // A range crosses the third octet and takes the default port.
    EXPECT_EQ(e.targets[1].address, Octets(10, 0, 0, 254));
    EXPECT_EQ(e.targets[2].address, Octets(10, 0, 0, 255));
    EXPECT_EQ(e.targets[3].address, Octets(10, 0, 1, 0));
    EXPECT_EQ(e.targets[4].address, Octets(10, 0, 1, 1));
    EXPECT_EQ(e.targets[4].port, 21845);
    EXPECT_EQ(e.targets[5].mode, LinkMode::Serial);
    EXPECT_EQ(e.targets[5].serial_device, "/dev/ttyUSB0");
    EXPECT_EQ(e.targets[6].mode, LinkMode::Serial);
    EXPECT_EQ(e.targets[6].com, 3);
    EXPECT_TRUE(e.targets[6].serial_device.empty());
    EXPECT_EQ(e.targets[7].com, 12);
}

TEST(BatchTargets, EachBadEntryIsNamedAndTheGoodOnesStay) {
    const BatchEntries e = ParseBatchEntries(
        "1.2.3.4:0 1.2.3.4:65536 1.2.3.4: 1.2.3.4:7x 1.2.3 host.example 1.2.3.9-1.2.3.1 "
        "10.0.0.0-10.0.4.0 1.2.3.4:65535",
        1);
    ASSERT_EQ(e.targets.size(), 1u);
    EXPECT_EQ(e.targets[0].port, 65535);
    const std::vector<std::pair<std::string, BatchEntryFault>> expected = {
        {"1.2.3.4:0", BatchEntryFault::BadPort},
        {"1.2.3.4:65536", BatchEntryFault::BadPort},
        {"1.2.3.4:", BatchEntryFault::BadPort},
        {"1.2.3.4:7x", BatchEntryFault::BadPort},
        {"1.2.3", BatchEntryFault::NotAnAddress},
        {"host.example", BatchEntryFault::NotAnAddress},
        {"1.2.3.9-1.2.3.1", BatchEntryFault::BadRange},    // backwards
        {"10.0.0.0-10.0.4.0", BatchEntryFault::BadRange},  // over kMaxBatchRange
    };
    ASSERT_EQ(e.problems.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(e.problems[i].entry, expected[i].first);
        EXPECT_EQ(e.problems[i].fault, expected[i].second) << expected[i].first;
    }
}

TEST(BatchTargets, ComWithoutAUsableNumberIsADevicePath) {
    // COM0 and COM256 are no port numbers the settings hold: used as written.
    for (const char* name : {"COM0", "COM256", "COMX"}) {
        const LinkSettings s = SerialBatchTarget(name);
        EXPECT_EQ(s.serial_device, name);
    }
    EXPECT_FALSE(NamesSerialDevice(""));
    EXPECT_FALSE(NamesSerialDevice("10.0.0.1"));
}

}  // namespace
}  // namespace korvane
