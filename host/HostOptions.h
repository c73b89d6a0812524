// The host's command line.
#pragma once

#include <string>
#include <vector>

struct HostOptions {
    std::vector<std::string> urls;
    int connections = 5;
    std::string proxy;        // "" direct, else host:port
    std::string name;         // destination name; only with a single URL
    std::string folder;       // new download folder setting, "" keeps the current one
    long long limit = -1;     // bytes per second for all downloads, 0 none; -1 keeps the setting
    int background = -1;      // 1 yield to other traffic, 0 not; -1 keeps the setting
    bool exitWhenDone = false;
    bool help = false;
};

// False (with the reason in error) when the command line cannot be used.
bool ParseHostOptions(int argc, char **argv, HostOptions *options, std::string *error);

// A rate in bytes per second, as --limit takes it: a whole number, with k
// (KiB) or M (MiB) after it as curl's --limit-rate has; -1 when it is none.
long long ParseRate(const char *text);

// The text --help prints.
const char *HostUsage();
