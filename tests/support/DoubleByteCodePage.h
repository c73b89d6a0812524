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

// The samples of the code page this run was started under; null, with a
// failure reported, when RAVLIX_CODE_PAGE is missing or GetACP() is another.
inline const DoubleByteSample *SampleOfThisRun()
{
    const char *asked = getenv("RAVLIX_CODE_PAGE");
    if (!asked) {
        ADD_FAILURE() << "run through CTest, which names the code page in RAVLIX_CODE_PAGE";
        return nullptr;
    }
    if (strtoul(asked, nullptr, 10) != GetACP()) {
        const char *locale = getenv("LC_ALL");
        ADD_FAILURE() << "code page " << GetACP() << " instead of " << asked << " (LC_ALL=" << (locale ? locale : "")
                      << ")";
        return nullptr;
    }
    for (const DoubleByteSample &sample : kDoubleByteSamples) {
        if (sample.codePage == GetACP())
            return &sample;
    }
    ADD_FAILURE() << "no sample characters for code page " << GetACP();
    return nullptr;
}

class DoubleByteCodePage : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(nullptr, sample_ = SampleOfThisRun()); }

    std::string WithBackslashByte() const { return sample_->backslashTrail; }
    std::string WithBarByte() const { return sample_->barTrail; }

    const DoubleByteSample *sample_ = nullptr;
};

}  // namespace testing_support
