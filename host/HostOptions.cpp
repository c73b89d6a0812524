#include "HostOptions.h"

#include <stdlib.h>
#include <string.h>

const char *HostUsage()
{
    return "Usage: RavlixHost [options] URL...\n"
           "Loads Ravlix.dll from this program's folder, shows its floating window and\n"
           "hands every URL over to it.\n"
           "\n"
           "  --connections N   parallel range connections per download, 1..5 (default 5)\n"
           "  --proxy [USER:PASSWORD@]HOST:PORT\n"
           "                    fetch through this HTTP proxy (default: direct)\n"
           "  --name NAME       destination file name (only with a single URL; default:\n"
           "                    the last part of the URL's path)\n"
           "  --folder DIR      make DIR the download folder: it is stored as DESTNPATH in\n"
           "                    KELMORA.ini and stays the setting for later runs (default:\n"
           "                    the folder already set there, else this program's folder)\n"
           "  --limit RATE      cap the speed of all downloads together at RATE bytes per\n"
           "                    second (k and M after the number: KiB and MiB; 0: no cap);\n"
           "                    kept in KELMORA.ini for later runs (default: the setting)\n"
           "  --background      the downloads yield to other traffic on the line, taking\n"
           "                    only what it leaves; kept for later runs\n"
           "  --foreground      the downloads go at full speed (or the cap); kept\n"
           "  --exit-when-done  exit once every download is in its final file (for scripts);\n"
           "                    without it the host stays open like a player until Ctrl+C\n"
           "  --help            this text\n"
           "\n"
           "Exit status: 0 when every URL given was downloaded, else 1; 2 for a bad\n"
           "command line or a missing Ravlix.dll.\n";
}

namespace {

bool TakeValue(int argc, char **argv, int *index, std::string *value, std::string *error)
{
    if (*index + 1 >= argc) {
        *error = std::string(argv[*index]) + " needs a value";
        return false;
    }
    *value = argv[++*index];
    return true;
}

bool ParseConnections(const std::string &text, int *connections)
{
    char *end = nullptr;
    long value = strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || value < 1 || value > 5)
        return false;
    *connections = static_cast<int>(value);
    return true;
}

}  // namespace

long long ParseRate(const char *text)
{
    char *end = nullptr;
    if (*text < '0' || *text > '9')
        return -1;
    unsigned long long value = strtoull(text, &end, 10);
    unsigned long long unit = 1;
    if (*end == 'k' || *end == 'K')
        unit = 1024;
    else if (*end == 'm' || *end == 'M')
        unit = 1024 * 1024;
    if (unit != 1)
        ++end;
    // The plug-in takes up to 2 GiB/s less a byte.
    if (*end != '\0' || value > 0x7FFFFFFFull / unit)
        return -1;
    return static_cast<long long>(value * unit);
}

bool ParseHostOptions(int argc, char **argv, HostOptions *options, std::string *error)
{
    for (int i = 1; i < argc; ++i) {
        const char *argument = argv[i];
        std::string value;
        if (strcmp(argument, "--help") == 0 || strcmp(argument, "-h") == 0 || strcmp(argument, "/?") == 0) {
            options->help = true;
        } else if (strcmp(argument, "--exit-when-done") == 0) {
            options->exitWhenDone = true;
        } else if (strcmp(argument, "--background") == 0 || strcmp(argument, "--foreground") == 0) {
            options->background = strcmp(argument, "--background") == 0 ? 1 : 0;
        } else if (strcmp(argument, "--limit") == 0) {
            if (!TakeValue(argc, argv, &i, &value, error))
                return false;
            options->limit = ParseRate(value.c_str());
            if (options->limit < 0) {
                *error = "--limit takes bytes per second up to 2047M, such as 4M or 512k, not \"" + value + "\"";
                return false;
            }
        } else if (strcmp(argument, "--connections") == 0) {
            if (!TakeValue(argc, argv, &i, &value, error))
                return false;
            if (!ParseConnections(value, &options->connections)) {
                *error = "--connections takes a number from 1 to 5, not \"" + value + "\"";
                return false;
            }
        } else if (strcmp(argument, "--proxy") == 0) {
            if (!TakeValue(argc, argv, &i, &options->proxy, error))
                return false;
        } else if (strcmp(argument, "--name") == 0) {
            if (!TakeValue(argc, argv, &i, &options->name, error))
                return false;
        } else if (strcmp(argument, "--folder") == 0) {
            if (!TakeValue(argc, argv, &i, &options->folder, error))
                return false;
        } else if (strncmp(argument, "--", 2) == 0) {
            *error = std::string("unknown option ") + argument;
            return false;
        } else {
            options->urls.push_back(argument);
        }
    }
    if (!options->name.empty() && options->urls.size() != 1) {
        *error = "--name needs exactly one URL";
        return false;
    }
    return true;
}
