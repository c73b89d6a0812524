#include "DownloadPaths.h"

#include <string.h>
#include <windows.h>

#include "RavlixLibrary.h"
#include "util/ProfilePlace.h"

namespace {

// A relative name makes the profile functions use the Windows directory,
// which is where the plug-in keeps its settings; where that cannot be
// written, the plug-in keeps them in the user's folder, and so does the host.
ProfilePlace &SettingsPlace()
{
    static ProfilePlace place("KELMORA.ini");
    return place;
}

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::string LastComponent(const std::string &path)
{
    size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The URL's last path component, percent-decoded, with the characters a file
// name cannot hold replaced by '_'.
std::string NameFromUrl(const std::string &url)
{
    std::string path = LastComponent(url.substr(0, url.find_first_of("?#")));
    std::string name;
    for (size_t i = 0; i < path.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(path[i]);
        int high, low;
        if (c == '%' && i + 2 < path.size() && (high = HexValue(path[i + 1])) >= 0 &&
            (low = HexValue(path[i + 2])) >= 0) {
            c = static_cast<unsigned char>(high * 16 + low);
            i += 2;
        }
        bool forbidden = c < 0x20 || c == 0x7F || strchr("\\/:*?\"<>|", c) != nullptr;
        name += forbidden ? '_' : static_cast<char>(c);
    }
    if (name.find_first_not_of('.') == std::string::npos)
        name = "index.html";
    return name;
}

}  // namespace

std::string DownloadFolder()
{
    char folder[MAX_PATH];
    GetPrivateProfileStringA("DOWNLOAD", "DESTNPATH", "", folder, sizeof(folder),
                             SettingsPlace().FileWith("DOWNLOAD", "DESTNPATH").c_str());
    std::string result = folder[0] ? folder : ProgramFolder();
    if (result.back() != '\\' && result.back() != '/')
        result += '\\';
    return result;
}

bool SetDownloadFolder(const std::string &folder)
{
    char full[MAX_PATH];
    DWORD length = GetFullPathNameA(folder.c_str(), sizeof(full), full, nullptr);
    if (length == 0 || length >= sizeof(full))
        return false;
    std::string path = full;
    if (path.back() != '\\')
        path += '\\';
    CreateDirectoryA(path.c_str(), nullptr);
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return false;
    return SettingsPlace().Update(
        [&](ProfileUpdate &update, const std::string &) { update.Write("DOWNLOAD", "DESTNPATH", path.c_str()); });
}

std::string DestinationPath(const std::string &url, const std::string &name)
{
    return DownloadFolder() + (name.empty() ? NameFromUrl(url) : LastComponent(name));
}

long long FileSize(const std::string &path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
        return -1;
    return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}
