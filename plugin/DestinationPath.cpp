#include "plugin/DestinationPath.h"

#include <stdio.h>
#include <string.h>

#include "store/RecordClaims.h"
#include "store/SettingsFile.h"
#include "util/AnsiCharacters.h"
#include "util/NameRules.h"
#include "util/PathText.h"
#include "util/TemporarySuffix.h"
#include "util/UrlFileName.h"

namespace {

// Names tried after a URL's own name is taken.
const int kLastAlternative = 99;

bool Exists(const char *path)
{
    return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

// folder + name, with "_<number>" before the name's extension when number
// is above 1; false when it does not fit.
bool JoinPath(const Destination &destination, int number, char *path)
{
    char name[kTextSize];
    if (number <= 1) {
        strcpy(name, destination.name);
    } else {
        const char *dot = FindLastAnsiCharacter(destination.name, '.');
        int stem = dot && dot != destination.name ? static_cast<int>(dot - destination.name)
                                                  : static_cast<int>(strlen(destination.name));
        if (snprintf(name, sizeof(name), "%.*s_%d%s", stem, destination.name, number, destination.name + stem) >=
            static_cast<int>(sizeof(name)))
            return false;
    }
    return snprintf(path, kTextSize, "%s%s", destination.folder, name) < kTextSize;
}

}  // namespace

bool ComposeDestination(const char *url, const char *destinationName, Destination *destination)
{
    ReadDownloadFolderSetting(destination->folder, kTextSize);
    if (destination->folder[0] == '\0')
        HostFolder(destination->folder, kTextSize);
    if (!EnsureTrailingSlash(destination->folder, kTextSize))
        return false;
    destination->nameFromUrl = !destinationName || destinationName[0] == '\0';
    bool named = destination->nameFromUrl ? FileNameFromUrl(url, destination->name, kTextSize)
                                          : HostFileName(destinationName, destination->name, kTextSize);
    char tempPath[kTextSize];
    return named && JoinPath(*destination, 1, destination->path) && TemporaryPathOf(destination->path, tempPath);
}

bool TemporaryPathOf(const char *path, char *tempPath)
{
    if (strlen(path) + sizeof(kTemporarySuffix) > static_cast<size_t>(kTextSize))
        return false;
    strcpy(tempPath, path);
    strcat(tempPath, kTemporarySuffix);
    return IsSafeTemporaryPath(tempPath);
}

HANDLE ClaimPath(const char *path)
{
    char tempPath[kTextSize];
    return TemporaryPathOf(path, tempPath) ? ClaimTempPath(tempPath) : nullptr;
}

HANDLE ClaimDestination(const Destination &destination, char *path)
{
    strcpy(path, destination.path);
    if (HANDLE claim = ClaimPath(path))
        return claim;
    if (!destination.nameFromUrl)
        return nullptr;
    // An alternative that exists on disk would need the overwrite question
    // for a name the user never saw: only new files are taken.
    for (int number = 2; number <= kLastAlternative; ++number) {
        char tempPath[kTextSize];
        if (!JoinPath(destination, number, path) || !TemporaryPathOf(path, tempPath))
            return nullptr;
        if (Exists(path) || Exists(tempPath))
            continue;
        if (HANDLE claim = ClaimTempPath(tempPath))
            return claim;
    }
    return nullptr;
}
