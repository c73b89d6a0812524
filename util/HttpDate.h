// An HTTP date (RFC 9110 5.6.7) as a point in time. Senders use the fixed
// form "Sun, 06 Nov 1994 08:49:37 GMT"; a recipient must also read the
// obsolete RFC 850 form "Sunday, 06-Nov-94 08:49:37 GMT" and C's asctime form
// "Sun Nov  6 08:49:37 1994". All are UTC.
#pragma once

#include <windows.h>

// The date as a FILETIME (100 ns units since 1601, UTC); false for anything
// that is none of the three forms or no real moment. The weekday is not
// checked against the date, as RFC 9110 allows.
bool ParseHttpDate(const char *text, ULONGLONG *fileTimeOut);
