#include "protocol/status.h"

#include <gtest/gtest.h>

#include "protocol/command_codes.h"

namespace korvane {
namespace {

struct StatusCase {
    uint8_t command;
    uint8_t status;
    const char* text;  // expected text, null for none
    MessageKind kind;
    LinkResult result;
};

constexpr auto E = MessageKind::Error;
constexpr auto P = MessageKind::Plain;
constexpr auto kOk = LinkResult::Ok;
constexpr auto kNo = LinkResult::PanelRefused;

class StatusRows : public testing::TestWithParam<StatusCase> {};

TEST_P(StatusRows, ShowTheirMessageAndSetTheResult) {
    const auto& c = GetParam();
    FrameBuffer reply{};
    reply[4] = c.command;
    reply[5] = c.status;
    RecordingSink sink;
    int version = 1;
    const LinkResult r = ApplyStatus(reply, true, LinkResult::Ok, sink, version);
    EXPECT_EQ(r, c.result);
    if (c.text) {
        EXPECT_EQ(sink.Messages(), (std::vector<Message>{{c.kind, c.text}}));
    } else {
        EXPECT_TRUE(sink.Messages().empty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, StatusRows,
    testing::Values(
        StatusCase{0x01, 0, "失败，标识字串错误", E, kNo}, StatusCase{0x01, 1, nullptr, E, kOk},
        StatusCase{0x01, 2, nullptr, E, kOk},
        StatusCase{0x01, 240, "失败, 未能进入下载状态", E, kNo},
        StatusCase{0x01, 241, nullptr, E, kNo}, StatusCase{0x03, 0, "失败", E, kNo},
        StatusCase{0x03, 1, nullptr, E, kOk}, StatusCase{0x03, 7, nullptr, E, kOk},
        StatusCase{0x0A, 0, "校验失败", E, kNo}, StatusCase{0x0A, 1, "成功", P, kOk},
        StatusCase{0x0A, 240, "失败，版本号错误", P, kNo}, StatusCase{0x0F, 0, "失败", E, kNo},
        StatusCase{0x0F, 1, "成功", P, kOk}, StatusCase{0x20, 0, "设置失败", E, kNo},
        StatusCase{0x20, 1, "设置成功", P, kOk}, StatusCase{0x21, 0, "失败", E, kNo},
        StatusCase{0x21, 1, nullptr, E, kOk}, StatusCase{0x2B, 0, "失败", E, kNo},
        StatusCase{0x2B, 7, nullptr, E, kOk}, StatusCase{0x2C, 0, "设置失败", E, kNo},
        StatusCase{0x2C, 1, "设置成功", P, kOk},
        StatusCase{0x82, 0, nullptr, E, LinkResult::ChecksumError},
        StatusCase{0x82, 1, nullptr, E, kOk}, StatusCase{0x82, 240, nullptr, E, kOk},
        StatusCase{0x82, 2, "写入地址非法", E, kNo}, StatusCase{0x82, 241, "FLASH写入失败", E, kNo},
        StatusCase{0x82, 242, "写入总校验失败", E, kNo},
        StatusCase{0x82, 243, "内核校验和错误，写入失败", E, kNo},
        StatusCase{0x8F, 0, "校验失败", E, kNo}, StatusCase{0x8F, 1, nullptr, E, kOk},
        StatusCase{0x8F, 241, "删除失败，中断下载", E, kNo},
        StatusCase{0x8F, 242, "查空失败，中断下载", E, kNo},
        StatusCase{0x8F, 243, "写FLASH地址越界", E, kNo}, StatusCase{0x55, 0, nullptr, E, kOk}));

TEST(Status, SuccessTextFollowsTheFlag) {
    FrameBuffer reply{};
    reply[4] = cmd::kSetParameter;
    reply[5] = 1;
    RecordingSink sink;
    int version = 1;
    EXPECT_EQ(ApplyStatus(reply, false, LinkResult::Ok, sink, version), LinkResult::Ok);
    EXPECT_TRUE(sink.Messages().empty());
    // Failures are shown whatever the flag says.
    reply[5] = 0;
    EXPECT_EQ(ApplyStatus(reply, false, LinkResult::Ok, sink, version), LinkResult::PanelRefused);
    EXPECT_EQ(sink.Texts(), std::vector<std::string>{"设置失败"});
}

TEST(Status, EnterDownloadSetsTheProtocolVersionOnlyOnSuccess) {
    FrameBuffer reply{};
    reply[4] = cmd::kEnterDownload;
    RecordingSink sink;
    int version = 1;
    reply[5] = 2;
    ApplyStatus(reply, true, LinkResult::Ok, sink, version);
    EXPECT_EQ(version, 2);
    reply[5] = 240;
    ApplyStatus(reply, true, LinkResult::Ok, sink, version);
    EXPECT_EQ(version, 2);
    reply[5] = 1;
    ApplyStatus(reply, true, LinkResult::Ok, sink, version);
    EXPECT_EQ(version, 1);
}

TEST(Status, UnlistedStatusOfAQueryKeepsTheCurrentResult) {
    for (const uint8_t command : {cmd::kQueryState, cmd::kGetParameter, cmd::kGetClock}) {
        FrameBuffer reply{};
        reply[4] = command;
        reply[5] = 99;
        RecordingSink sink;
        int version = 1;
        EXPECT_EQ(ApplyStatus(reply, true, LinkResult::ChecksumError, sink, version),
                  LinkResult::ChecksumError);
        EXPECT_TRUE(sink.Messages().empty());
    }
}

// A command that changes the panel and gets a status nobody knows has not
// been seen to succeed: refused, with the command and the status named.
TEST(Status, UnlistedStatusOfAChangeIsARefusalNamingCommandAndStatus) {
    struct Case {
        uint8_t command, status;
        const char* text;
    };
    const Case cases[] = {
        {0x01, 7, "失败，命令0x01返回未知状态7"},     {0x0A, 2, "失败，命令0x0A返回未知状态2"},
        {0x0F, 240, "失败，命令0x0F返回未知状态240"}, {0x20, 2, "失败，命令0x20返回未知状态2"},
        {0x2C, 2, "失败，命令0x2C返回未知状态2"},     {0x82, 255, "失败，命令0x82返回未知状态255"},
        {0x82, 5, "失败，命令0x82返回未知状态5"},     {0x82, 244, "失败，命令0x82返回未知状态244"},
        {0x82, 245, "失败，命令0x82返回未知状态245"}, {0x8F, 2, "失败，命令0x8F返回未知状态2"},
    };
    for (const Case& c : cases) {
        FrameBuffer reply{};
        reply[4] = c.command;
        reply[5] = c.status;
        RecordingSink sink;
        int version = 1;
        EXPECT_EQ(ApplyStatus(reply, false, LinkResult::Ok, sink, version),
                  LinkResult::PanelRefused)
            << int{c.command} << "/" << int{c.status};
        EXPECT_EQ(sink.Messages(), (std::vector<Message>{{MessageKind::Error, c.text}}));
        EXPECT_EQ(sink.Ids(), std::vector<TextId>{TextId::StatusUnknown});
        EXPECT_EQ(version, 1);
    }
}

}  // namespace
}  // namespace korvane
