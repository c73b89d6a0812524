#include "transfer/DigestHeader.h"

#include <string.h>

#include "util/AsciiText.h"

namespace {

const int kAlgorithmPrefixLength = 7;  // "sha256:", "sha512:", "sha256="

// A value of the standard base64 alphabet (RFC 4648), or -1: the URL-safe
// one is no part of either field's grammar.
int Base64Value(char c)
{
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return -1;
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

const char *SkipBlanks(const char *p, const char *end)
{
    while (p < end && IsBlank(*p))
        ++p;
    return p;
}

const char *TrimBlanks(const char *begin, const char *end)
{
    while (end > begin && IsBlank(end[-1]))
        --end;
    return end;
}

// Exactly length bytes from [begin, end). Padding, when there is any, must
// be right; without it the count of characters alone tells the length.
// Non-zero pad bits are let through, as RFC 8941 asks of its parsers.
bool DecodeBase64(const char *begin, const char *end, BYTE *out, int length)
{
    ptrdiff_t count = end - begin;
    int padding = 0;
    while (padding < 2 && end - padding > begin && end[-1 - padding] == '=')
        ++padding;
    ptrdiff_t characters = count - padding;
    if ((padding > 0 && count % 4 != 0) || characters % 4 == 1 || characters * 3 / 4 != length)
        return false;
    unsigned bits = 0;
    int bitCount = 0;
    int written = 0;
    for (const char *p = begin; p < begin + characters; ++p) {
        int value = Base64Value(*p);
        if (value < 0)
            return false;
        bits = (bits << 6) | static_cast<unsigned>(value);
        bitCount += 6;
        if (bitCount >= 8) {
            bitCount -= 8;
            out[written++] = static_cast<BYTE>(bits >> bitCount);
            bits &= (1u << bitCount) - 1;
        }
    }
    return true;
}

// Exactly count bytes from 2 * count hex digits, either case.
bool DecodeHex(const char *text, int count, BYTE *out)
{
    for (int k = 0; k < count; ++k) {
        int high = HexValue(text[2 * k]);
        int low = high < 0 ? -1 : HexValue(text[2 * k + 1]);
        if (low < 0)
            return false;
        out[k] = static_cast<BYTE>((high << 4) | low);
    }
    return true;
}

// What the fields said so far, one slot per algorithm.
struct Findings {
    FileDigest digests[2];
    bool known[2];
    bool conflict;
};

void NoteBase64(Findings &findings, LONG algorithm, const char *begin, const char *end)
{
    FileDigest digest = {};
    digest.algorithm = algorithm;
    if (!DecodeBase64(begin, end, digest.bytes, DigestLength(algorithm)))
        return;
    int slot = algorithm == DigestSha256 ? 0 : 1;
    if (findings.known[slot])
        findings.conflict = findings.conflict || !SameDigest(findings.digests[slot], digest);
    findings.digests[slot] = digest;
    findings.known[slot] = true;
}

// The position after the comma that ends the member at p, or end. A quoted
// string (in a parameter, say) may hold a comma of its own.
const char *SkipMember(const char *p, const char *end)
{
    for (; p < end && *p != ','; ++p) {
        if (*p != '"')
            continue;
        for (++p; p < end && *p != '"'; ++p) {
            if (*p == '\\' && p + 1 < end)
                ++p;
        }
        if (p == end)
            return end;
    }
    return p < end ? p + 1 : end;
}

// Repr-Digest, an RFC 8941 dictionary, member by member. Keys are compared
// exactly: the grammar has lowercase keys only, so "SHA-256" is some other
// key. Parameters after a value say nothing about the bytes.
void ReadReprDigest(const char *p, const char *end, Findings &findings)
{
    while (p < end) {
        p = SkipBlanks(p, end);
        const char *key = p;
        while (p < end && !IsBlank(*p) && *p != '=' && *p != ',' && *p != ';')
            ++p;
        LONG algorithm = DigestNone;
        if (p - key == kAlgorithmPrefixLength && memcmp(key, "sha-256", kAlgorithmPrefixLength) == 0)
            algorithm = DigestSha256;
        else if (p - key == kAlgorithmPrefixLength && memcmp(key, "sha-512", kAlgorithmPrefixLength) == 0)
            algorithm = DigestSha512;
        if (algorithm != DigestNone && end - p >= 2 && p[0] == '=' && p[1] == ':') {
            const char *value = p + 2;
            const char *close = value;
            while (close < end && (Base64Value(*close) >= 0 || *close == '='))
                ++close;
            if (close < end && *close == ':') {
                p = SkipBlanks(close + 1, end);
                if (p == end || *p == ',' || *p == ';')
                    NoteBase64(findings, algorithm, value, close);
            }
        }
        p = SkipMember(p, end);
    }
}

// Digest (RFC 3230): "algorithm=value" items apart by commas, names in any
// case; blanks around the '=' as that era's grammar let them be.
void ReadDigest(const char *p, const char *end, Findings &findings)
{
    while (p < end) {
        const char *comma = static_cast<const char *>(memchr(p, ',', end - p));
        if (!comma)
            comma = end;
        const char *equals = static_cast<const char *>(memchr(p, '=', comma - p));
        if (equals) {
            const char *name = SkipBlanks(p, equals);
            const char *nameEnd = TrimBlanks(name, equals);
            const char *value = SkipBlanks(equals + 1, comma);
            const char *valueEnd = TrimBlanks(value, comma);
            if (EqualsNoCase(name, nameEnd, "sha-256"))
                NoteBase64(findings, DigestSha256, value, valueEnd);
            else if (EqualsNoCase(name, nameEnd, "sha-512"))
                NoteBase64(findings, DigestSha512, value, valueEnd);
        }
        p = comma < end ? comma + 1 : end;
    }
}

}  // namespace

int DigestLength(LONG algorithm)
{
    switch (algorithm) {
    case DigestSha256:
        return 32;
    case DigestSha512:
        return 64;
    default:
        return 0;
    }
}

bool SameDigest(const FileDigest &a, const FileDigest &b)
{
    return a.algorithm == b.algorithm && memcmp(a.bytes, b.bytes, DigestLength(a.algorithm)) == 0;
}

DigestFinding ParseAnswerDigest(const char *header, FileDigest *out)
{
    Findings findings = {};
    // The status line is no field; an empty line ends the fields.
    const char *line = header ? strchr(header, '\n') : nullptr;
    while (line && *++line && *line != '\r' && *line != '\n') {
        const char *end = line;
        while (*end && *end != '\n')
            ++end;
        const char *valueEnd = end > line && end[-1] == '\r' ? end - 1 : end;
        const char *colon = static_cast<const char *>(memchr(line, ':', valueEnd - line));
        if (colon && EqualsNoCase(line, colon, "repr-digest"))
            ReadReprDigest(colon + 1, valueEnd, findings);
        else if (colon && EqualsNoCase(line, colon, "digest"))
            ReadDigest(colon + 1, valueEnd, findings);
        if (findings.conflict)
            return DigestConflict;
        line = *end ? end : nullptr;
    }
    if (!findings.known[0] && !findings.known[1])
        return DigestAbsent;
    *out = findings.known[0] ? findings.digests[0] : findings.digests[1];
    return DigestFound;
}

bool TakeUrlDigest(char *url, FileDigest *out)
{
    char *fragment = url ? strchr(url, '#') : nullptr;
    if (!fragment)
        return false;
    const char *key = fragment + 1;
    LONG algorithm = DigestNone;
    if (EqualsNoCase(key, key + strnlen(key, kAlgorithmPrefixLength), "sha256="))
        algorithm = DigestSha256;
    else if (EqualsNoCase(key, key + strnlen(key, kAlgorithmPrefixLength), "sha512="))
        algorithm = DigestSha512;
    if (algorithm == DigestNone)
        return false;
    const char *hex = key + kAlgorithmPrefixLength;
    int length = DigestLength(algorithm);
    FileDigest digest = {};
    digest.algorithm = algorithm;
    bool valid = strnlen(hex, 2 * length + 1) == static_cast<size_t>(2 * length) &&
                 DecodeHex(hex, length, digest.bytes);
    *fragment = '\0';
    if (valid)
        *out = digest;
    return valid;
}

void DigestToText(const FileDigest &digest, char *out, int outSize)
{
    if (outSize <= 0)
        return;
    out[0] = '\0';
    int length = DigestLength(digest.algorithm);
    if (length == 0 || outSize < kAlgorithmPrefixLength + 2 * length + 1)
        return;
    memcpy(out, digest.algorithm == DigestSha256 ? "sha256:" : "sha512:", kAlgorithmPrefixLength);
    const char kHexDigits[] = "0123456789abcdef";
    char *hex = out + kAlgorithmPrefixLength;
    for (int k = 0; k < length; ++k) {
        hex[2 * k] = kHexDigits[digest.bytes[k] >> 4];
        hex[2 * k + 1] = kHexDigits[digest.bytes[k] & 15];
    }
    hex[2 * length] = '\0';
}

bool DigestFromText(const char *text, FileDigest *out)
{
    FileDigest digest = {};
    *out = digest;
    if (!text)
        return false;
    if (!*text)
        return true;
    if (strncmp(text, "sha256:", kAlgorithmPrefixLength) == 0)
        digest.algorithm = DigestSha256;
    else if (strncmp(text, "sha512:", kAlgorithmPrefixLength) == 0)
        digest.algorithm = DigestSha512;
    else
        return false;
    const char *hex = text + kAlgorithmPrefixLength;
    int length = DigestLength(digest.algorithm);
    if (strnlen(hex, 2 * length + 1) != static_cast<size_t>(2 * length) || !DecodeHex(hex, length, digest.bytes))
        return false;
    *out = digest;
    return true;
}
