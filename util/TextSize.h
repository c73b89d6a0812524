// The size of every path, URL, proxy and label buffer of the plug-in, its
// terminator included: what the settings file's records and the host's
// calls have always carried.
#pragma once

const int kTextSize = 260;
