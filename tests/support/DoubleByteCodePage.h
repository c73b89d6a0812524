// Cases that run under a double-byte ANSI code page: CTest starts their
// program with LC_ALL set to a locale, from which Wine takes the process's
// code page, and RAVLIX_CODE_PAGE naming the code page the cases must find
// (tests/util/CMakeLists.txt). The fixture fails when GetACP() is another,
// so that no case passes under a code page it was not written for.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <windows.h>

#include <string>

namespace testing_support {

// Characters of one code page whose second byte is that of "\" or of "|",
// in the code page and as percent-escaped UTF-8.
struct DoubleByteSample {
    unsigned codePage;
    const char *backslashTrail, *backslashTrailUtf8;
    const char *barTrail, *barTrailUtf8;
};

const DoubleByteSample kDoubleByteSamples[] = {
    {936, "\x81\x5C", "%E4%B9%97", "\x81\x7C", "%E4%BA%85"},  // 乗, 亅
    {932, "\x95\x5C", "%E8%A1%A8", "\x95\x7C", "%E6%80%96"},  // 表, 怖
    {950, "\xA5\x5C", "%E5%8A%9F", "\xA5\x7C", "%E5%9B%9B"},  // 功, 四
};

class DoubleByteCodePage : public ::testing::Test {
protected:
    void SetUp() override
    {
        const char *asked = getenv("RAVLIX_CODE_PAGE");
        ASSERT_NE(nullptr, asked) << "run through CTest, which names the code page in RAVLIX_CODE_PAGE";
        ASSERT_EQ(strtoul(asked, nullptr, 10), GetACP()) << "LC_ALL=" << (getenv("LC_ALL") ? getenv("LC_ALL") : "");
        for (const DoubleByteSample &sample : kDoubleByteSamples) {
            if (sample.codePage == GetACP())
                sample_ = &sample;
        }
        ASSERT_NE(nullptr, sample_) << "no sample characters for code page " << GetACP();
    }

    std::string WithBackslashByte() const { return sample_->backslashTrail; }
    std::string WithBarByte() const { return sample_->barTrail; }

    const DoubleByteSample *sample_ = nullptr;
};

}  // namespace testing_support
