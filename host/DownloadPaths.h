// Where the plug-in puts a download, worked out the way it does: the folder
// from DESTNPATH in KELMORA.ini (empty: the host's folder) and the name given
// or taken from the URL, so that the host can tell when the final file is in.
#pragma once

#include <string>

// The download folder the plug-in uses now, with a trailing backslash.
std::string DownloadFolder();

// Creates folder if needed and stores its full path as the download folder
// setting. False when the folder cannot be made.
bool SetDownloadFolder(const std::string &folder);

// The final path of a download of url, saved as name ("" for the URL's name).
std::string DestinationPath(const std::string &url, const std::string &name);

// Size of a file, or -1 when it does not exist.
long long FileSize(const std::string &path);
