#include "mmErrMsg.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace {

const char DefaultText[] = "invalid parameter passed to error translation routine!";

const std::map<uint32_t, std::string> &KnownTexts()
{
    static const std::map<uint32_t, std::string> Texts = {{0, "no error"},
                                                          {1, "unspecified error"},
                                                          {2, "device ID out of range"},
                                                          {3, "driver failed enable"},
                                                          {4, "device already allocated"},
                                                          {5, "device handle is invalid"},
                                                          {6, "no device driver present"},
                                                          {7, "memory allocation error"},
                                                          {8, "function isn't supported"},
                                                          {9, "error value out of range"},
                                                          {10, "invalid flag passed"},
                                                          {11, "invalid parameter passed"},
                                                          {32, "unsupported wave format"},
                                                          {33, "still something playing"},
                                                          {34, "header not prepared"},
                                                          {35, "device is synchronous"},
                                                          {64, "header not prepared"},
                                                          {65, "still something playing"},
                                                          {66, "no current map"},
                                                          {67, "hardware is still busy"},
                                                          {68, "port no longer connected"},
                                                          {69, "invalid setup"},
                                                          {97, "request not completed"},
                                                          {129, "time struct size"},
                                                          {165, "bad parameters"},
                                                          {166, "request not completed"},
                                                          {167, "joystick is unplugged"},
                                                          {257, "file not found"},
                                                          {258, "out of memory"},
                                                          {259, "cannot open"},
                                                          {260, "cannot close"},
                                                          {261, "cannot read"},
                                                          {262, "cannot write"},
                                                          {263, "cannot seek"},
                                                          {264, "cannot expand file"},
                                                          {265, "chunk not found"},
                                                          {266, "file is unbuffered"}};
    return Texts;
}

// Every 16-bit code: the listed ones give their text, all others the default.
TEST(MMErrorText, EveryLowCodeGivesItsTextOrTheDefault)
{
    for (uint32_t Code = 0; Code <= 0xFFFF; ++Code) {
        const auto Known = KnownTexts().find(Code);
        const std::string Expected = Known != KnownTexts().end() ? Known->second : DefaultText;
        ASSERT_EQ(Expected, MMErrorText(Code)) << "code " << Code;
    }
}

TEST(MMErrorText, OnlyTheLowSixteenBitsCount)
{
    EXPECT_STREQ("device ID out of range", MMErrorText(0x10002));
    EXPECT_STREQ("no error", MMErrorText(0xFFFF0000u));
    EXPECT_STREQ("file is unbuffered", MMErrorText(0x80000000u | 266));
    EXPECT_STREQ(DefaultText, MMErrorText(0xFFFFFFFFu));
    // The same text object every time: callers may keep the pointer.
    EXPECT_EQ(MMErrorText(6), MMErrorText(0x70006));
}

} // namespace
