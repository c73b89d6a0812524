// The suffix of a download's temporary file: the destination path followed
// by it. The wide spelling is for checks that run on UTF-16.
#pragma once

const char kTemporarySuffix[] = ".hhh";
const wchar_t kTemporarySuffixWide[] = L".hhh";
const int kTemporarySuffixLength = 4;
