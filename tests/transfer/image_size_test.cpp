#include <gtest/gtest.h>

#include "transfer/image_kind.h"

namespace korvane {
namespace {

TEST(CheckImageSize, RefusesAnImageThatWouldReachTheNextRegion) {
    struct Case {
        ImageKind kind;
        uint64_t bytes;
        bool refused;
        bool warned;
    };
    const Case cases[] = {
        {ImageKind::BootLoader, 0x80000, false, false},
        {ImageKind::BootLoader, 0x80001, true, false},
        {ImageKind::BootLoader, 4u << 20, true, false},  // a kernel picked at the wrong button
        {ImageKind::Kernel, 0x200000, false, false},
        {ImageKind::Kernel, 0x200001, true, false},
        {ImageKind::Kernel, 0, false, true},
        {ImageKind::BootLoader, 0, false, true},
        {ImageKind::FileSystem, 64u << 20, false, false},
        {ImageKind::Logo, 8u << 20, false, false},  // the picture rules govern the logo
        {ImageKind::Logo, 0, false, true},
    };
    for (const Case& c : cases) {
        const InputCheck check = CheckImageSize(c.kind, c.bytes);
        EXPECT_EQ(check.Refused(), c.refused) << static_cast<int>(c.kind) << " " << c.bytes;
        EXPECT_EQ(!check.warnings.empty(), c.warned) << static_cast<int>(c.kind) << " " << c.bytes;
        // Every placeholder got its value, in both languages.
        for (const auto* reasons : {&check.refusals, &check.warnings}) {
            for (const InputReason& r : *reasons) {
                for (UiLanguage language : {UiLanguage::Chinese, UiLanguage::English})
                    EXPECT_EQ(r.Text(language).find('{'), std::string::npos) << r.Text(language);
            }
        }
    }
    EXPECT_EQ(ImageRoom(ImageKind::BootLoader), 0x80000u);
    EXPECT_EQ(ImageRoom(ImageKind::Kernel), 0x200000u);
    EXPECT_FALSE(ImageRoom(ImageKind::Logo));
}

TEST(CheckImageSize, NamesTheRegionThatWouldBeOverwritten) {
    const InputCheck boot = CheckImageSize(ImageKind::BootLoader, 0x80001);
    ASSERT_EQ(boot.refusals.size(), 1u);
    EXPECT_EQ(boot.refusals[0].Text(UiLanguage::English),
              "the bootloader image is 524289 bytes (0x80001); from 0x0 it would overwrite the "
              "kernel at 0x80000 (at most 0x80000 bytes fit)");
    const InputCheck kernel = CheckImageSize(ImageKind::Kernel, 0x300000);
    ASSERT_EQ(kernel.refusals.size(), 1u);
    const std::string kernel_reason = kernel.refusals[0].Text(UiLanguage::English);
    EXPECT_NE(kernel_reason.find("overwrite the file system at 0x280000"), std::string::npos)
        << kernel_reason;
}

}  // namespace
}  // namespace korvane
