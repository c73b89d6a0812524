#include "util/HttpDate.h"

#include <string.h>

namespace {

// Reads exactly count digits.
bool Digits(const char *&p, int count, int *out)
{
    int value = 0;
    for (int i = 0; i < count; ++i, ++p) {
        if (*p < '0' || *p > '9')
            return false;
        value = value * 10 + (*p - '0');
    }
    *out = value;
    return true;
}

bool Literal(const char *&p, const char *word)
{
    size_t length = strlen(word);
    if (strncmp(p, word, length) != 0)
        return false;
    p += length;
    return true;
}

// "Jan" .. "Dec", as 1 .. 12.
bool Month(const char *&p, int *out)
{
    static const char kMonths[] = "JanFebMarAprMayJunJulAugSepOctNovDec";
    for (int m = 0; m < 12; ++m) {
        if (strncmp(p, kMonths + 3 * m, 3) == 0) {
            p += 3;
            *out = m + 1;
            return true;
        }
    }
    return false;
}

// "hh:mm:ss"
bool TimeOfDay(const char *&p, SYSTEMTIME *t)
{
    int h, m, s;
    if (!Digits(p, 2, &h) || !Literal(p, ":") || !Digits(p, 2, &m) || !Literal(p, ":") || !Digits(p, 2, &s))
        return false;
    t->wHour = static_cast<WORD>(h);
    t->wMinute = static_cast<WORD>(m);
    t->wSecond = static_cast<WORD>(s);
    return h < 24 && m < 60 && s < 61;
}

// Skips the weekday's letters and returns what follows them.
const char *AfterWeekday(const char *p)
{
    while ((*p >= 'A' && *p <= 'Z') || (*p >= 'a' && *p <= 'z'))
        ++p;
    return p;
}

bool FixedOrRfc850(const char *p, SYSTEMTIME *t)
{
    int day, month, year;
    if (!Literal(p, ", ") || !Digits(p, 2, &day))
        return false;
    if (*p == ' ') {  // "06 Nov 1994"
        ++p;
        if (!Month(p, &month) || !Literal(p, " ") || !Digits(p, 4, &year))
            return false;
    } else {          // "06-Nov-94": a two-digit year more than 50 years ahead is in the past
        if (!Literal(p, "-") || !Month(p, &month) || !Literal(p, "-") || !Digits(p, 2, &year))
            return false;
        year += year < 70 ? 2000 : 1900;
    }
    t->wDay = static_cast<WORD>(day);
    t->wMonth = static_cast<WORD>(month);
    t->wYear = static_cast<WORD>(year);
    return Literal(p, " ") && TimeOfDay(p, t) && Literal(p, " GMT") && *p == '\0';
}

bool Asctime(const char *p, SYSTEMTIME *t)
{
    int month, day, year;
    if (!Literal(p, " ") || !Month(p, &month) || !Literal(p, " "))
        return false;
    // A one-digit day is padded with a blank.
    if (*p == ' ' ? !Digits(++p, 1, &day) : !Digits(p, 2, &day))
        return false;
    if (!Literal(p, " ") || !TimeOfDay(p, t) || !Literal(p, " ") || !Digits(p, 4, &year) || *p != '\0')
        return false;
    t->wDay = static_cast<WORD>(day);
    t->wMonth = static_cast<WORD>(month);
    t->wYear = static_cast<WORD>(year);
    return true;
}

}  // namespace

bool ParseHttpDate(const char *text, ULONGLONG *fileTimeOut)
{
    while (*text == ' ' || *text == '\t')
        ++text;
    SYSTEMTIME t = {};
    const char *p = AfterWeekday(text);
    if (p - text < 3 || !(*p == ',' ? FixedOrRfc850(p, &t) : Asctime(p, &t)))
        return false;
    // A leap second reads as the second before the next minute's.
    if (t.wSecond == 60)
        t.wSecond = 59;
    FILETIME time;
    if (t.wYear < 1601 || !SystemTimeToFileTime(&t, &time))
        return false;
    *fileTimeOut = (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    return true;
}
