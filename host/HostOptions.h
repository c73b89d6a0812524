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
    bool exitWhenDone = false;
    bool help = false;
};

// False (with the reason in error) when the command line cannot be used.
bool ParseHostOptions(int argc, char **argv, HostOptions *options, std::string *error);

// The text --help prints.
const char *HostUsage();
