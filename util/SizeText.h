#pragma once

// A byte count in decimal units, divided with truncation: "%db" up to 1000,
// "%dKb" up to 1000000, "%dMb" above. out holds at least 16 characters,
// enough for any size below 2^63.
void SizeText(unsigned long long bytes, char *out);
