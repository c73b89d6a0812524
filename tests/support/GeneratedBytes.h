// The bytes tests/peers/generated-server.py serves under /gen/<size>.bin,
// computed here the same way, and a comparison of a file on disk with them
// that reads the file in pieces (a 32-bit process holds no 5 GB file).
#pragma once

#include <windows.h>

#include <string.h>

#include <string>
#include <vector>

namespace testing_support {

class GeneratedBytes {
public:
    static const DWORD kBlock = 1u << 20;
    static const DWORD kStep = 7919;

    GeneratedBytes() : twice_(2 * kBlock)
    {
        unsigned long long state = 0x9E3779B97F4A7C15ull;
        for (DWORD at = 0; at < kBlock; at += 8) {
            state ^= state << 13;
            state ^= state >> 7;
            state ^= state << 17;
            memcpy(&twice_[at], &state, 8);  // little-endian, as the server packs it
        }
        memcpy(&twice_[kBlock], &twice_[0], kBlock);
    }

    // count bytes from offset into out.
    void Fill(unsigned long long offset, BYTE *out, size_t count) const
    {
        while (count > 0) {
            unsigned long long block = offset / kBlock;
            DWORD within = static_cast<DWORD>(offset % kBlock);
            size_t take = kBlock - within < count ? kBlock - within : count;
            DWORD start = static_cast<DWORD>((within + block * kStep) % kBlock);
            memcpy(out, &twice_[start], take);
            out += take;
            offset += take;
            count -= take;
        }
    }

private:
    std::vector<BYTE> twice_;  // the base block twice, so that a rotation is one copy
};

// Compares bytes first..end-1 of path with the generator; "" when they match,
// else where they first differ. expectedSize, when not ~0, must be the file's size.
inline std::string DifferenceFromGenerated(const std::string &path, unsigned long long first, unsigned long long end,
                                           unsigned long long expectedSize = ~0ull)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return "cannot open " + path;
    LARGE_INTEGER size;
    GetFileSizeEx(file, &size);
    std::string difference;
    if (expectedSize != ~0ull && static_cast<unsigned long long>(size.QuadPart) != expectedSize)
        difference = "size " + std::to_string(size.QuadPart) + " instead of " + std::to_string(expectedSize);
    static const GeneratedBytes generator;
    const DWORD piece = 4u << 20;
    std::vector<BYTE> got(piece), want(piece);
    for (unsigned long long at = first; difference.empty() && at < end;) {
        DWORD take = end - at < piece ? static_cast<DWORD>(end - at) : piece;
        OVERLAPPED position = {};
        position.Offset = static_cast<DWORD>(at);
        position.OffsetHigh = static_cast<DWORD>(at >> 32);
        DWORD read = 0;
        if (!ReadFile(file, got.data(), take, &read, &position) || read != take) {
            difference = "short read at " + std::to_string(at);
            break;
        }
        generator.Fill(at, want.data(), take);
        if (memcmp(got.data(), want.data(), take) != 0) {
            DWORD i = 0;
            while (got[i] == want[i])
                ++i;
            difference = "first wrong byte at " + std::to_string(at + i);
        }
        at += take;
    }
    CloseHandle(file);
    return difference;
}

}  // namespace testing_support
