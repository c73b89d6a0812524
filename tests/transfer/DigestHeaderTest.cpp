// Digests as servers, hosts and the settings file state them. The expected
// bytes are the known sha-256 and sha-512 of "" and "abc", so a row is
// right or wrong by the hash functions, not by this parser.
#include <gtest/gtest.h>

#include <ctype.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "transfer/DigestHeader.h"

namespace {

const char kEmpty256Hex[] = "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855";
const char kEmpty256[] = "47DEQpj8HBSa+/TImW+5JCeuQeRkm5NMpJWZG3hSuFU=";
const char kAbc256Hex[] = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
const char kAbc256[] = "ungWv48Bz+pBQUDeXa4iI7ADYaOWF3qctBD/YfIAFa0=";
const char kEmpty512Hex[] =
    "cf83e1357eefb8bdf1542850d66d8007d620e4050b5715dc83f4a921d36ce9ce"
    "47d0d13c5d85f2b0ff8318d2877eec2f63b931bd47417a81a538327af927da3e";
const char kEmpty512[] = "z4PhNX7vuL3xVChQ1m2AB9Yg5AULVxXcg/SpIdNs6c5H0NE8XYXysP+DGNKHfuwvY7kxvUdBeoGlODJ6+SfaPg==";
const char kAbc512[] = "3a81oZNherrMQXNJriBBMRLm+k6JqX6iCp7u5ktV05ohkpkqJ0/BqDa6PCOj/uu9RU1EI2Q86A4qmslPpUyknw==";
const char kStatus[] = "HTTP/1.1 200 OK\r\n";

// A digest from lowercase hex, decoded here rather than by the unit.
FileDigest Expected(LONG algorithm, const char *hex)
{
    FileDigest digest = {};
    digest.algorithm = algorithm;
    for (size_t k = 0; hex && 2 * k + 1 < strlen(hex); ++k) {
        const char pair[3] = {hex[2 * k], hex[2 * k + 1], '\0'};
        digest.bytes[k] = static_cast<BYTE>(strtoul(pair, nullptr, 16));
    }
    return digest;
}

// Something no parse could give, to see that *out was left alone.
FileDigest Untouched()
{
    FileDigest digest;
    digest.algorithm = 77;
    memset(digest.bytes, 0xA5, sizeof(digest.bytes));
    return digest;
}

std::string Answer(const std::string &fields)
{
    return kStatus + fields + "\r\n";
}

std::string Upper(std::string text)
{
    for (char &c : text)
        c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    return text;
}

TEST(DigestHeader, AnswersGiveTheirDigestOrNone)
{
    const std::string e256 = kEmpty256;
    const std::string e512 = kEmpty512;
    const std::string a256 = kAbc256;
    const std::string a512 = kAbc512;
    std::string dash256 = e256;
    std::string underscore256 = e256;
    dash256[dash256.find('+')] = '-';
    underscore256[underscore256.find('/')] = '_';
    const std::string longLine(1 << 20, 'x');
    const std::string hugeSequence = "sha-256=:" + std::string(1 << 20, 'A') + ":";
    const std::string embeddedNul = std::string(kStatus) + "X-A: 1" + std::string(1, '\0') +
                                    "\r\nRepr-Digest: sha-256=:" + e256 + ":\r\n\r\n";
    struct Case {
        const char *name;
        std::string header;
        DigestFinding finding;
        LONG algorithm;
        const char *hex;
    } cases[] = {
        {"repr sha-256", Answer("Repr-Digest: sha-256=:" + e256 + ":\r\n"), DigestFound, DigestSha256, kEmpty256Hex},
        {"repr sha-512", Answer("Repr-Digest: sha-512=:" + e512 + ":\r\n"), DigestFound, DigestSha512, kEmpty512Hex},
        {"parameters, one quoting a comma and another member",
         Answer("Repr-Digest: unixsum=30637;a=1;b=\"x, sha-256=:" + a256 + ":, \\\"y\", sha-512=:" + e512 +
                ":;c=?1\r\n"),
         DigestFound, DigestSha512, kEmpty512Hex},
        {"both algorithms: sha-256 chosen", Answer("Repr-Digest: sha-512=:" + e512 + ":, sha-256=:" + e256 + ":\r\n"),
         DigestFound, DigestSha256, kEmpty256Hex},
        {"uppercase key is another key", Answer("Repr-Digest: SHA-256=:" + e256 + ":\r\n"), DigestAbsent, 0, nullptr},
        {"uppercase key beside a valid one",
         Answer("Repr-Digest: Sha-256=:" + a256 + ":, sha-512=:" + e512 + ":\r\n"), DigestFound, DigestSha512,
         kEmpty512Hex},
        {"unknown algorithms only",
         Answer("Repr-Digest: md5=:1B2M2Y8AsgTpgAmY7PhCfg==:, sha=:2jmj7l5rSw0yVb/vlWAYkK/YBwk=:, unixsum=0\r\n"),
         DigestAbsent, 0, nullptr},
        {"unknown algorithm before a known one",
         Answer("Repr-Digest: md5=:1B2M2Y8AsgTpgAmY7PhCfg==:, sha-256=:" + e256 + ":\r\n"), DigestFound,
         DigestSha256, kEmpty256Hex},
        {"a character outside base64", Answer("Repr-Digest: sha-256=:" + e256.substr(0, 20) + "*" + e256.substr(21) + ":\r\n"),
         DigestAbsent, 0, nullptr},
        {"the URL-safe alphabet's -", Answer("Repr-Digest: sha-256=:" + dash256 + ":\r\n"), DigestAbsent, 0, nullptr},
        {"the URL-safe alphabet's _", Answer("Digest: SHA-256=" + underscore256 + "\r\n"), DigestAbsent, 0, nullptr},
        {"sha-512 bytes under sha-256", Answer("Repr-Digest: sha-256=:" + e512 + ":\r\n"), DigestAbsent, 0, nullptr},
        {"sha-256 bytes under sha-512", Answer("Repr-Digest: sha-512=:" + e256 + ":\r\n"), DigestAbsent, 0, nullptr},
        {"one byte short", Answer("Repr-Digest: sha-256=:47DEQpj8HBSa+/TImW+5JCeuQeRkm5NMpJWZG3hSuA==:\r\n"),
         DigestAbsent, 0, nullptr},
        {"one byte more", Answer("Repr-Digest: sha-256=:47DEQpj8HBSa+/TImW+5JCeuQeRkm5NMpJWZG3hSuFUA:\r\n"),
         DigestAbsent, 0, nullptr},
        {"non-zero pad bits, as RFC 8941 lets through",
         Answer("Repr-Digest: sha-256=:47DEQpj8HBSa+/TImW+5JCeuQeRkm5NMpJWZG3hSuFV=:\r\n"),
         DigestFound, DigestSha256, kEmpty256Hex},
        {"no colons in Repr-Digest", Answer("Repr-Digest: sha-256=" + e256 + "\r\n"), DigestAbsent, 0, nullptr},
        {"unpadded", Answer("Repr-Digest: sha-512=:" + e512.substr(0, 86) + ":\r\n"), DigestFound, DigestSha512,
         kEmpty512Hex},
        {"too much padding", Answer("Repr-Digest: sha-256=:" + e256 + "=:\r\n"), DigestAbsent, 0, nullptr},
        {"half the padding", Answer("Repr-Digest: sha-512=:" + e512.substr(0, 87) + ":\r\n"), DigestAbsent, 0, nullptr},
        {"an inner list is no byte sequence", Answer("Repr-Digest: sha-256=(:" + e256 + ":)\r\n"), DigestAbsent, 0,
         nullptr},
        {"garbage after the byte sequence", Answer("Repr-Digest: sha-256=:" + e256 + ":x\r\n"), DigestAbsent, 0, nullptr},
        {"Digest SHA-256", Answer("Digest: SHA-256=" + e256 + "\r\n"), DigestFound, DigestSha256, kEmpty256Hex},
        {"Digest sha-256 among others, any case",
         Answer("digest: MD5=1B2M2Y8AsgTpgAmY7PhCfg==,sha-256 = " + e256 + " , UNIXsum=0\r\n"), DigestFound,
         DigestSha256, kEmpty256Hex},
        {"Digest SHA-512", Answer("DIGEST:SHA-512=" + e512 + "\r\n"), DigestFound, DigestSha512, kEmpty512Hex},
        {"Digest value with colons", Answer("Digest: SHA-256=:" + e256 + ":\r\n"), DigestAbsent, 0, nullptr},
        {"Repr-Digest and Digest agree",
         Answer("Digest: SHA-256=" + e256 + "\r\nREPR-DIGEST: sha-256=:" + e256.substr(0, 43) + ":\r\n"), DigestFound,
         DigestSha256, kEmpty256Hex},
        {"two lines agree, field names in any case",
         Answer("repr-digest: sha-256=:" + e256 + ":\r\nRepr-Digest:sha-256=:" + e256 + ":\r\n"), DigestFound,
         DigestSha256, kEmpty256Hex},
        {"conflict: two lines",
         Answer("Repr-Digest: sha-256=:" + e256 + ":\r\nX-Other: 1\r\nRepr-Digest: sha-256=:" + a256 + ":\r\n"),
         DigestConflict, 0, nullptr},
        {"conflict: two members", Answer("Repr-Digest: sha-512=:" + e512 + ":, sha-512=:" + a512 + ":\r\n"),
         DigestConflict, 0, nullptr},
        {"conflict: Repr-Digest against Digest",
         Answer("Repr-Digest: sha-256=:" + e256 + ":\r\nDigest: SHA-256=" + a256 + "\r\n"), DigestConflict, 0, nullptr},
        {"conflict in the one algorithm not chosen",
         Answer("Repr-Digest: sha-256=:" + e256 + ":, sha-512=:" + e512 + ":\r\nDigest: sha-512=" + a512 + "\r\n"),
         DigestConflict, 0, nullptr},
        {"a malformed second value is no conflict",
         Answer("Repr-Digest: sha-256=:" + e256 + ":, sha-256=:" + a256.substr(1) + ":\r\n"), DigestFound,
         DigestSha256, kEmpty256Hex},
        {"lines ending in LF", std::string("HTTP/1.1 200 OK\nServer: x\nRepr-Digest: sha-256=:" + e256 + ":\n\n"),
         DigestFound, DigestSha256, kEmpty256Hex},
        {"after the empty line is the body",
         std::string(kStatus) + "Server: x\r\n\r\nRepr-Digest: sha-256=:" + e256 + ":\r\n", DigestAbsent, 0, nullptr},
        {"after an LF empty line is the body", std::string("HTTP/1.1 200 OK\n\nDigest: SHA-256=" + e256 + "\n"),
         DigestAbsent, 0, nullptr},
        {"the first line is the status line, whatever it says",
         std::string("Digest: SHA-256=" + e256 + "\r\nServer: x\r\n\r\n"), DigestAbsent, 0, nullptr},
        {"names that only start or end with Digest",
         Answer("Digest-Foo: SHA-256=" + e256 + "\r\nX-Digest: SHA-256=" + e256 + "\r\nContent-Digest: sha-256=:" +
                e256 + ":\r\nWant-Repr-Digest: sha-256=:" + e256 + ":\r\nDigest : SHA-256=" + e256 + "\r\n"),
         DigestAbsent, 0, nullptr},
        {"a megabyte line before the field",
         Answer("X-Long: " + longLine + "\r\nRepr-Digest: sha-256=:" + e256 + ":\r\n"), DigestFound, DigestSha256,
         kEmpty256Hex},
        {"a megabyte byte sequence costs only itself", Answer("Repr-Digest: " + hugeSequence + ", sha-512=:" + e512 + ":\r\n"),
         DigestFound, DigestSha512, kEmpty512Hex},
        {"a megabyte Digest value", Answer("Digest: SHA-256=" + longLine + "\r\n"), DigestAbsent, 0, nullptr},
        {"unterminated byte sequence at the end of the text",
         std::string(kStatus) + "Repr-Digest: sha-256=:" + e256.substr(0, 43), DigestAbsent, 0, nullptr},
        {"unterminated byte sequence, then a member",
         Answer("Repr-Digest: sha-256=:" + e256.substr(0, 43) + ", sha-512=:" + e512 + ":\r\n"), DigestFound,
         DigestSha512, kEmpty512Hex},
        {"unterminated quoted parameter swallows the rest",
         Answer("Repr-Digest: a=1;b=\"x, sha-256=:" + e256 + ":\r\n"), DigestAbsent, 0, nullptr},
        {"a NUL ends the text", embeddedNul, DigestAbsent, 0, nullptr},
        {"no fields", std::string(kStatus), DigestAbsent, 0, nullptr},
    };
    for (const Case &c : cases) {
        FileDigest out = Untouched();
        DigestFinding finding = ParseAnswerDigest(c.header.c_str(), &out);
        EXPECT_EQ(c.finding, finding) << c.name;
        FileDigest expected = c.finding == DigestFound ? Expected(c.algorithm, c.hex) : Untouched();
        EXPECT_EQ(expected.algorithm, out.algorithm) << c.name;
        int compared = c.finding == DigestFound ? DigestLength(c.algorithm) : kDigestMaxBytes;
        EXPECT_EQ(0, memcmp(expected.bytes, out.bytes, compared)) << c.name;
    }
}

TEST(DigestHeader, AHostsFragmentIsCutOffTheUrl)
{
    const std::string url = "https://files.example/pkg-1.0.tar.gz";
    const std::string e256 = kEmpty256Hex;
    const std::string e512 = kEmpty512Hex;
    struct Case {
        const char *name;
        std::string given;
        bool taken;
        std::string left;
        LONG algorithm;
        const char *hex;
    } cases[] = {
        {"lowercase hex", url + "#sha256=" + e256, true, url, DigestSha256, kEmpty256Hex},
        {"uppercase hex", url + "#sha256=" + Upper(e256), true, url, DigestSha256, kEmpty256Hex},
        {"sha512", url + "#sha512=" + e512, true, url, DigestSha512, kEmpty512Hex},
        {"key in uppercase", url + "#SHA256=" + e256, true, url, DigestSha256, kEmpty256Hex},
        {"key in mixed case", url + "#Sha512=" + Upper(e512), true, url, DigestSha512, kEmpty512Hex},
        {"with a query", url + "?mirror=2&sha256=1#sha256=" + e256, true, url + "?mirror=2&sha256=1", DigestSha256,
         kEmpty256Hex},
        {"one digit short", url + "#sha256=" + e256.substr(1), false, url, 0, nullptr},
        {"one digit more", url + "#sha256=" + e256 + "0", false, url, 0, nullptr},
        {"sha512 key, sha256 value", url + "#sha512=" + e256, false, url, 0, nullptr},
        {"sha256 key, sha512 value", url + "#sha256=" + e512, false, url, 0, nullptr},
        {"not hex", url + "#sha256=" + e256.substr(0, 63) + "g", false, url, 0, nullptr},
        {"no value", url + "#sha256=", false, url, 0, nullptr},
        {"more after the value", url + "#sha256=" + e256 + "&egg=pkg", false, url, 0, nullptr},
        {"other fragment kept", url + "#section-2", false, url + "#section-2", 0, nullptr},
        {"dashed name is another fragment", url + "#sha-256=" + e256, false, url + "#sha-256=" + e256, 0, nullptr},
        {"name without =", url + "#sha256", false, url + "#sha256", 0, nullptr},
        {"digest not first in the fragment", url + "#egg=pkg&sha256=" + e256, false,
         url + "#egg=pkg&sha256=" + e256, 0, nullptr},
        {"no fragment", url, false, url, 0, nullptr},
        {"empty fragment", url + "#", false, url + "#", 0, nullptr},
    };
    for (const Case &c : cases) {
        char given[512];
        ASSERT_LT(c.given.size(), sizeof(given)) << c.name;
        strcpy(given, c.given.c_str());
        FileDigest out = Untouched();
        EXPECT_EQ(c.taken, TakeUrlDigest(given, &out)) << c.name;
        EXPECT_STREQ(c.left.c_str(), given) << c.name;
        FileDigest expected = c.taken ? Expected(c.algorithm, c.hex) : Untouched();
        EXPECT_EQ(expected.algorithm, out.algorithm) << c.name;
        EXPECT_EQ(0, memcmp(expected.bytes, out.bytes, sizeof(out.bytes))) << c.name;
    }
}

TEST(DigestHeader, TheSettingsTextGivesTheSameDigestBack)
{
    const std::string e256 = kEmpty256Hex;
    const std::string e512 = kEmpty512Hex;
    struct Case {
        const char *name;
        FileDigest digest;
        std::string text;
    } kept[] = {
        {"sha-256 of nothing", Expected(DigestSha256, kEmpty256Hex), "sha256:" + e256},
        {"sha-256 of abc", Expected(DigestSha256, kAbc256Hex), std::string("sha256:") + kAbc256Hex},
        {"sha-512 of nothing", Expected(DigestSha512, kEmpty512Hex), "sha512:" + e512},
        {"none", Expected(DigestNone, nullptr), ""},
    };
    for (const Case &c : kept) {
        char text[kDigestTextSize + 1];
        memset(text, '#', sizeof(text));
        DigestToText(c.digest, text, kDigestTextSize);
        EXPECT_STREQ(c.text.c_str(), text) << c.name;
        EXPECT_EQ('#', text[kDigestTextSize]) << c.name;
        FileDigest back = Untouched();
        EXPECT_TRUE(DigestFromText(text, &back)) << c.name;
        EXPECT_TRUE(SameDigest(c.digest, back)) << c.name;
        EXPECT_EQ(c.digest.algorithm, back.algorithm) << c.name;
        EXPECT_EQ(0, memcmp(c.digest.bytes, back.bytes, DigestLength(c.digest.algorithm))) << c.name;

        // A buffer one short gets no half digest, and nothing past its end.
        int needed = static_cast<int>(c.text.size()) + 1;
        memset(text, '#', sizeof(text));
        DigestToText(c.digest, text, needed - 1);
        if (needed > 1) {
            EXPECT_STREQ("", text) << c.name;
        }
        EXPECT_EQ('#', text[needed > 1 ? needed - 1 : 0]) << c.name;
    }

    struct Malformed {
        const char *name;
        std::string text;
    } malformed[] = {
        {"one digit short", "sha256:" + e256.substr(1)},
        {"one digit more", "sha256:" + e256 + "0"},
        {"sha-512 digits under sha256", "sha256:" + e512},
        {"sha-256 digits under sha512", "sha512:" + e256},
        {"not hex", "sha256:" + e256.substr(0, 63) + "x"},
        {"prefix in uppercase", "SHA256:" + e256},
        {"the URL's spelling", "sha256=" + e256},
        {"the header's spelling", "sha-256:" + e256},
        {"a blank before", " sha256:" + e256},
        {"a blank after", "sha256:" + e256 + " "},
        {"unknown algorithm", "md5:d41d8cd98f00b204e9800998ecf8427e"},
        {"prefix only", "sha512:"},
    };
    for (const Malformed &c : malformed) {
        FileDigest out = Untouched();
        EXPECT_FALSE(DigestFromText(c.text.c_str(), &out)) << c.name;
        EXPECT_EQ(DigestNone, out.algorithm) << c.name;
    }

    FileDigest upper = Untouched();
    EXPECT_TRUE(DigestFromText(("sha256:" + Upper(e256)).c_str(), &upper));
    EXPECT_TRUE(SameDigest(Expected(DigestSha256, kEmpty256Hex), upper));
    EXPECT_FALSE(SameDigest(Expected(DigestSha256, kEmpty256Hex), Expected(DigestSha256, kAbc256Hex)));
    EXPECT_FALSE(SameDigest(Expected(DigestSha256, kEmpty512Hex), Expected(DigestSha512, kEmpty512Hex)));
}

}  // namespace
