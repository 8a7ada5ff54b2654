#include "protocol/panel_input_checks.h"

#include <gtest/gtest.h>

#include "protocol/panel_operations.h"

namespace korvane {
namespace {

// Every placeholder of every reason got its value, in both languages.
void ExpectFilled(const InputCheck& check) {
    for (const auto* reasons : {&check.refusals, &check.warnings}) {
        for (const InputReason& r : *reasons) {
            for (UiLanguage language : {UiLanguage::Chinese, UiLanguage::English})
                EXPECT_EQ(r.Text(language).find('{'), std::string::npos) << r.Text(language);
        }
    }
}

PanelNetworkRecord Record(const char* ip, const char* mask, const char* gateway,
                          const char* port = "21845") {
    NetworkTexts texts;
    texts.ip = ip;
    texts.mask = mask;
    texts.gateway = gateway;
    texts.port = port;
    return texts.ToRecord();
}

struct NetworkCase {
    const char* ip;
    const char* mask;
    const char* gateway;
    const char* port;
    bool refused;
    bool warned;
};

TEST(CheckPanelNetwork, RefusesWhatCutsTheUserOffAndWarnsOfAForeignGateway) {
    const NetworkCase cases[] = {
        {"192.168.0.100", "255.255.255.0", "192.168.0.1", "21845", false, false},
        {"10.1.2.3", "255.0.0.0", "0.0.0.0", "1", false, false},  // no gateway at all
        {"10.1.2.3", "255.255.255.0", "192.168.0.1", "21845", false, true},
        {"0.0.0.0", "255.255.255.0", "0.0.0.0", "21845", true, false},
        {"255.255.255.255", "255.255.255.0", "0.0.0.0", "21845", true, false},
        {"127.0.0.1", "255.0.0.0", "0.0.0.0", "21845", true, false},
        {"224.0.0.1", "255.255.255.0", "0.0.0.0", "21845", true, false},
        {"240.1.1.1", "255.255.255.0", "0.0.0.0", "21845", true, false},
        {"223.255.255.1", "255.255.255.0", "0.0.0.0", "21845", false, false},
        {"192.168.0.100", "0.0.0.0", "192.168.0.1", "21845", true, false},
        {"192.168.0.100", "255.0.255.0", "192.168.0.1", "21845", true, false},
        {"192.168.0.100", "255.255.255.1", "192.168.0.1", "21845", true, false},
        {"192.168.0.100", "255.255.255.128", "192.168.0.1", "21845", false, false},
        {"192.168.0.100", "255.255.255.255", "0.0.0.0", "21845", false, false},
        {"192.168.0.0", "255.255.255.0", "192.168.0.1", "21845", true, false},
        {"192.168.0.255", "255.255.255.0", "192.168.0.1", "21845", true, false},
        {"192.168.0.100", "255.255.255.0", "192.168.0.1", "0", true, false},
    };
    for (const auto& c : cases) {
        const InputCheck check = CheckPanelNetwork(Record(c.ip, c.mask, c.gateway, c.port));
        EXPECT_EQ(check.Refused(), c.refused) << c.ip << " " << c.mask << " port " << c.port;
        EXPECT_EQ(!check.warnings.empty(), c.warned) << c.ip << " " << c.mask << " " << c.gateway;
        ExpectFilled(check);
    }
}

TEST(CheckPanelNetwork, SaysWhatIsWrongInWordsTheUserCanActOn) {
    const InputCheck mask = CheckPanelNetwork(Record("192.168.0.100", "255.0.255.0", "0.0.0.0"));
    ASSERT_EQ(mask.refusals.size(), 1u);
    EXPECT_NE(mask.refusals[0].Text(UiLanguage::English).find("255.0.255.0"), std::string::npos);

    const InputCheck gateway =
        CheckPanelNetwork(Record("10.1.2.3", "255.255.255.0", "192.168.0.1"));
    ASSERT_EQ(gateway.warnings.size(), 1u);
    EXPECT_EQ(gateway.warnings[0].Text(UiLanguage::English),
              "gateway 192.168.0.1 lies outside the panel's subnet 10.1.2.0 (mask "
              "255.255.255.0); the panel will not reach other networks through it");
}

TEST(CheckPanelClock, AcceptsOnlyCalendarTimesInTheYearsThePanelReportsBack) {
    struct ClockCase {
        ClockValue clock;
        bool refused;
    };
    const ClockCase cases[] = {
        {{2026, 12, 7, 8, 30, 0}, false},    {{2000, 1, 1, 0, 0, 0}, false},
        {{2099, 12, 31, 23, 59, 59}, false}, {{2024, 2, 29, 12, 0, 0}, false},
        {{1, 1, 1, 0, 0, 0}, true},          {{1999, 12, 31, 23, 59, 59}, true},
        {{2100, 1, 1, 0, 0, 0}, true},       {{2023, 2, 29, 12, 0, 0}, true},
        {{2026, 13, 1, 0, 0, 0}, true},      {{2026, 0, 1, 0, 0, 0}, true},
        {{2026, 1, 1, 24, 0, 0}, true},      {{2026, 1, 1, 0, 60, 0}, true},
        {{2026, 1, 1, 0, 0, -1}, true},
    };
    for (const auto& c : cases) {
        const InputCheck check = CheckPanelClock(c.clock);
        EXPECT_EQ(check.Refused(), c.refused) << c.clock.Text();
        ExpectFilled(check);
    }
    EXPECT_EQ(CheckPanelClock({1, 1, 1, 0, 0, 0}).refusals.at(0).Text(UiLanguage::English),
              "year 1: the panel keeps years 2000 to 2099 and could not report another back");
}

}  // namespace
}  // namespace korvane
