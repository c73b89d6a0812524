#include <gtest/gtest.h>
#include <windows.h>

#include "util/HttpDate.h"

namespace {

ULONGLONG FileTimeOf(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second)
{
    SYSTEMTIME t = {};
    t.wYear = year;
    t.wMonth = month;
    t.wDay = day;
    t.wHour = hour;
    t.wMinute = minute;
    t.wSecond = second;
    FILETIME time;
    SystemTimeToFileTime(&t, &time);
    return (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

// The three forms a recipient reads, and what is none of them.
TEST(HttpDate, TheThreeFormsAndNothingElse)
{
    const ULONGLONG nov6 = FileTimeOf(1994, 11, 6, 8, 49, 37);
    struct Case {
        const char *text;
        bool parsed;
        ULONGLONG time;
    } cases[] = {
        {"Sun, 06 Nov 1994 08:49:37 GMT", true, nov6},
        {"  Sun, 06 Nov 1994 08:49:37 GMT", true, nov6},
        {"Sunday, 06-Nov-94 08:49:37 GMT", true, nov6},
        {"Sun Nov  6 08:49:37 1994", true, nov6},
        {"Thu, 01 Jan 2065 00:00:00 GMT", true, FileTimeOf(2065, 1, 1, 0, 0, 0)},
        {"Thursday, 01-Jan-65 00:00:00 GMT", true, FileTimeOf(2065, 1, 1, 0, 0, 0)},
        {"Wed, 01-Jan-70 00:00:00 GMT", true, FileTimeOf(1970, 1, 1, 0, 0, 0)},
        {"Mon Dec 31 23:59:60 2012", true, FileTimeOf(2012, 12, 31, 23, 59, 59)},  // a leap second
        {"Tue Nov 16 08:49:37 1994", true, FileTimeOf(1994, 11, 16, 8, 49, 37)},
        {"Sun, 06 Nov 1994 08:49:37 UTC", false, 0},
        {"Sun, 6 Nov 1994 08:49:37 GMT", false, 0},
        {"Sun, 06 Nov 1994 08:49:37 GMT trailing", false, 0},
        {"Sun, 06 Nov 1994 24:00:00 GMT", false, 0},
        {"Sun, 31 Feb 1994 08:49:37 GMT", false, 0},
        {"Sun, 06 Noc 1994 08:49:37 GMT", false, 0},
        {"Sun, 06 Nov 94 08:49:37 GMT", false, 0},
        {"Sun Nov 6 08:49:37 1994", false, 0},
        {"Sun, 06 Nov 1500 08:49:37 GMT", false, 0},
        {"06 Nov 1994 08:49:37 GMT", false, 0},
        {"1994-11-06T08:49:37Z", false, 0},
        {"", false, 0},
        {"Sun,", false, 0},
    };
    for (const Case &c : cases) {
        ULONGLONG time = 0;
        EXPECT_EQ(c.parsed, ParseHttpDate(c.text, &time)) << c.text;
        if (c.parsed) {
            EXPECT_EQ(c.time, time) << c.text;
        }
    }
}

}  // namespace
