#include "util/UserProtection.h"

#include <windows.h>
#include <wincrypt.h>

#include <string.h>

#include "util/AsciiText.h"
#include "util/SystemFunction.h"

namespace {

// Ties a protected text to what it is for: a blob of another program's
// cannot be passed off as ours.
const char kPurpose[] = "Ravlix resume record";

DATA_BLOB Blob(const void *data, size_t size)
{
    DATA_BLOB blob;
    blob.cbData = static_cast<DWORD>(size);
    blob.pbData = static_cast<BYTE *>(const_cast<void *>(data));
    return blob;
}

}  // namespace

bool ProtectForUser(const char *text, std::string *hexOut)
{
    hexOut->clear();
    auto protect = SystemFunction<decltype(&CryptProtectData)>("crypt32.dll", "CryptProtectData");
    if (!protect)
        return false;
    DATA_BLOB in = Blob(text, strlen(text)), purpose = Blob(kPurpose, sizeof(kPurpose) - 1), out = {};
    if (!protect(&in, nullptr, &purpose, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN, &out))
        return false;
    static const char kDigits[] = "0123456789abcdef";
    for (DWORD i = 0; i < out.cbData; ++i) {
        hexOut->push_back(kDigits[out.pbData[i] >> 4]);
        hexOut->push_back(kDigits[out.pbData[i] & 15]);
    }
    LocalFree(out.pbData);
    return true;
}

bool UnprotectForUser(const char *hex, char *textOut, size_t capacity)
{
    textOut[0] = '\0';
    size_t length = strlen(hex);
    if (length == 0 || length % 2 != 0)
        return false;
    std::string bytes;
    for (size_t i = 0; i < length; i += 2) {
        int high = HexValue(hex[i]), low = HexValue(hex[i + 1]);
        if (high < 0 || low < 0)
            return false;
        bytes.push_back(static_cast<char>(high * 16 + low));
    }
    auto unprotect = SystemFunction<decltype(&CryptUnprotectData)>("crypt32.dll", "CryptUnprotectData");
    if (!unprotect)
        return false;
    DATA_BLOB in = Blob(bytes.data(), bytes.size()), purpose = Blob(kPurpose, sizeof(kPurpose) - 1), out = {};
    if (!unprotect(&in, nullptr, &purpose, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN, &out))
        return false;
    bool fits = out.cbData < capacity && !memchr(out.pbData, '\0', out.cbData);
    if (fits) {
        memcpy(textOut, out.pbData, out.cbData);
        textOut[out.cbData] = '\0';
    }
    SecureZeroMemory(out.pbData, out.cbData);
    LocalFree(out.pbData);
    return fits;
}
