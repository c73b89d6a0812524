#include <gtest/gtest.h>

#include <string>

#include "transfer/TaskFile.h"

namespace {

// The final path of a temporary file is its path without ".hhh": only a
// path that ends in the suffix after some name has one, so that nothing the
// plug-in did not make is ever renamed over a file.
TEST(FinalPathOf, DropsTheSuffixOfANamedTemporaryFileOnly)
{
    struct Case {
        const char *tempPath;
        const char *finalPath;  // null: none
    } cases[] = {
        {"C:\\down\\a.bin.hhh", "C:\\down\\a.bin"},
        {"C:\\down/sub/a.hhh", "C:\\down/sub/a"},
        {"a.bin.HHH", "a.bin"},          // the suffix is matched as Windows matches names
        {"a.bin.hhh.hhh", "a.bin.hhh"},  // one suffix only
        {"C:\\down\\.hhh", nullptr},     // the folder itself
        {"C:\\down/.hhh", nullptr},
        {".hhh", nullptr},
        {"C:\\down\\a.bin", nullptr},
        {"C:\\down\\a.bin.hh", nullptr},
        {"", nullptr},
    };
    for (const Case &c : cases) {
        char finalPath[kTextSize] = "unchanged";
        bool named = FinalPathOf(c.tempPath, finalPath);
        EXPECT_EQ(c.finalPath != nullptr, named) << c.tempPath;
        if (c.finalPath && named) {
            EXPECT_EQ(std::string(c.finalPath), finalPath) << c.tempPath;
        }
    }
}

}  // namespace
