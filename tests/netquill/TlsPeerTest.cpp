// The component over https against nginx with certificates of a test
// authority that the test run installs into the trust store, and with ones
// that must be refused. Every body is compared with its file.
#include <gtest/gtest.h>
#include <stdio.h>
#include <windows.h>
#include <wincrypt.h>

#include <memory>
#include <string>

#include "netquill/TestRequest.h"
#include "peers/PeerFiles.h"

namespace {

const int kTrusted = 0;
const int kSelfSigned = 1;
const int kExpired = 2;
const int kWrongHost = 3;
const int kCutting = 5;
const int kRevoked = 7;
const int kRevokedListed = 8;  // names the list's URL as its distribution point

std::string File(const char *name)
{
    std::string contents;
    EXPECT_TRUE(ReadPeerFile(name, &contents)) << name;
    return contents;
}

std::string Range(size_t first, size_t last, size_t total)
{
    char text[96];
    sprintf(text, "Range:bytes=%d-%d/%d\r\n", static_cast<int>(first), static_cast<int>(last), static_cast<int>(total));
    return text;
}

void ExpectSegmented(const std::string &url, const std::string &file, int parts, const char *proxy = "")
{
    size_t segment = file.size() / parts;
    std::unique_ptr<TestRequest> requests[5];
    for (int i = 0; i < parts; ++i) {
        size_t first = i * segment;
        size_t last = i == parts - 1 ? file.size() - 1 : (i + 1) * segment - 1;
        requests[i].reset(new TestRequest);
        ASSERT_TRUE(requests[i]->Open(url, Range(first, last, file.size()).c_str(), true, proxy)) << url;
        EXPECT_EQ(0u, requests[i]->Header().find("HTTP/1.1 206"));
    }
    std::string assembled;
    for (int i = 0; i < parts; ++i) {
        size_t length = i == parts - 1 ? file.size() - i * segment : segment;
        EXPECT_TRUE(requests[i]->WaitForBytes(length, 120000)) << i;
        assembled += requests[i]->Received();
        EXPECT_FALSE(requests[i]->DeliveryRulesBroken());
    }
    EXPECT_TRUE(assembled == file) << url;
}

void ExpectRefused(int offset)
{
    TestRequest request;
    EXPECT_FALSE(request.Open(TlsPeerUrl(offset, "/f1048576.bin"))) << offset;
    EXPECT_EQ(WebRequestTlsFailed, request.LastError()) << offset;
    EXPECT_EQ("", request.Header());
    char byte;
    EXPECT_EQ(0u, request.Read(&byte, 1));
}

TEST(Https, WholeFilesThroughRead)
{
    for (const char *name : {"f1.bin", "f5001.bin", "f1048576.bin", "f67108864.bin"}) {
        TestRequest request;
        ASSERT_TRUE(request.Open(TlsPeerUrl(kTrusted, (std::string("/") + name).c_str()))) << request.LastError();
        EXPECT_EQ(0u, request.Header().find("HTTP/1.1 200 OK\r\n"));
        EXPECT_TRUE(request.ReadAll(1024 * 1024) == File(name)) << name;
        EXPECT_EQ(WebRequestOk, request.LastError());
    }
}

TEST(Https, SmallReadsOfLargeRecords)
{
    TestRequest request;
    ASSERT_TRUE(request.Open(TlsPeerUrl(kTrusted, "/f1048576.bin")));
    EXPECT_TRUE(request.ReadAll(5000) == File("f1048576.bin"));
}

TEST(Https, RangeThroughRead)
{
    std::string file = File("f1048576.bin");
    TestRequest request;
    ASSERT_TRUE(request.Open(TlsPeerUrl(kTrusted, "/f1048576.bin"), Range(1000, 300000, file.size()).c_str()));
    EXPECT_EQ(0u, request.Header().find("HTTP/1.1 206"));
    EXPECT_TRUE(request.ReadAll(65536) == file.substr(1000, 299001));
}

TEST(Https, SegmentsInCallbackMode)
{
    ExpectSegmented(TlsPeerUrl(kTrusted, "/f1048576.bin"), File("f1048576.bin"), 5);
    ExpectSegmented(TlsPeerUrl(kTrusted, "/f67108864.bin"), File("f67108864.bin"), 5);
}

TEST(Https, UntrustedServersRefused)
{
    ExpectRefused(kSelfSigned);
    ExpectRefused(kExpired);
    ExpectRefused(kWrongHost);
}

// The user's intermediate authorities' store itself (the system's "CA" store
// is it and the machine's together).
HCERTSTORE UserAuthorities()
{
    return CertOpenStore(CERT_STORE_PROV_SYSTEM_REGISTRY_A, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER, "CA");
}

// Takes the revocation list out of the user's intermediate authorities'
// store: the registry key the store keeps it under, named by its SHA-1 hash
// (Wine's store crashes or hangs deleting a list).
void RemoveList(const std::string &list)
{
    BYTE hash[20];
    DWORD length = sizeof(hash);
    ASSERT_TRUE(CryptHashCertificate(0, CALG_SHA1, 0, reinterpret_cast<const BYTE *>(list.data()),
                                     static_cast<DWORD>(list.size()), hash, &length));
    std::string key = "Software\\Microsoft\\SystemCertificates\\CA\\CRLs\\";
    for (DWORD i = 0; i < length; ++i) {
        char hex[3];
        sprintf(hex, "%02X", hash[i]);
        key += hex;
    }
    RegDeleteKeyA(HKEY_CURRENT_USER, key.c_str());
}

// The test authority's revocation list (tests/peers/tls-certs.sh) names both
// revoked certificates: where the system keeps it, in the intermediate
// authorities' store, they are refused, and the valid one still passes.
// Where it has no list, they pass: the check does not fail closed on what it
// cannot know, and fetches nothing (one of them names where nginx serves the
// list: a fetch would have found it and refused).
TEST(Https, ACertificateRevokedInAListTheSystemKeepsIsRefused)
{
    std::string list = File("ca.crl");
    ASSERT_FALSE(list.empty());
    RemoveList(list);  // one a failed run left
    for (int offset : {kRevoked, kRevokedListed}) {
        TestRequest request;
        EXPECT_TRUE(request.Open(TlsPeerUrl(offset, "/f10007.bin"))) << offset << " error " << request.LastError();
        EXPECT_EQ(File("f10007.bin"), request.ReadAll(65536)) << offset;
    }

    // The system writes a store's changes when it is closed.
    HCERTSTORE authorities = UserAuthorities();
    ASSERT_NE(nullptr, authorities);
    ASSERT_TRUE(CertAddEncodedCRLToStore(authorities, X509_ASN_ENCODING, reinterpret_cast<const BYTE *>(list.data()),
                                         static_cast<DWORD>(list.size()), CERT_STORE_ADD_REPLACE_EXISTING, nullptr));
    CertCloseStore(authorities, 0);
    ExpectRefused(kRevoked);
    ExpectRefused(kRevokedListed);
    TestRequest valid;
    EXPECT_TRUE(valid.Open(TlsPeerUrl(kTrusted, "/f10007.bin"))) << valid.LastError();
    EXPECT_EQ(File("f10007.bin"), valid.ReadAll(65536));
    RemoveList(list);

}

TEST(Https, RedirectFromHttpToHttps)
{
    TestRequest request;
    ASSERT_TRUE(request.Open(PeerUrl("RAVLIX_NGINX_PORT", "/to-https/f10007.bin")));
    EXPECT_EQ(0u, request.Header().find("HTTP/1.1 200 OK\r\n"));
    EXPECT_TRUE(request.ReadAll(5000) == File("f10007.bin"));
}

// Past such a hop anyone on the way could hand out another file.
TEST(Https, RedirectFromHttpsToHttpIsRefused)
{
    TestRequest request;
    EXPECT_FALSE(request.Open(TlsPeerUrl(kTrusted, "/to-http/f10007.bin"), Range(7, 9000, 10007).c_str(), true));
    EXPECT_EQ(WebRequestInsecureRedirect, request.LastError());
    EXPECT_EQ(0, request.Deliveries());
}

// An address in the URL is matched against the certificate's IP address
// names only, as browsers do, and is sent as no server name.
TEST(Https, AnAddressIsMatchedAgainstTheCertificatesAddresses)
{
    for (const char *host : {"127.0.0.1", "[::1]"}) {
        TestRequest request;
        ASSERT_TRUE(request.Open(TlsPeerUrl(kTrusted, "/f10007.bin", host))) << host << " error " << request.LastError();
        EXPECT_TRUE(request.ReadAll(5000) == File("f10007.bin")) << host;
    }
    // The address does not lift the other checks: authority, dates, and a
    // certificate that names only wrong.example.
    for (int offset : {kSelfSigned, kExpired, kWrongHost}) {
        TestRequest refused;
        EXPECT_FALSE(refused.Open(TlsPeerUrl(offset, "/f1.bin", "127.0.0.1"))) << offset;
        EXPECT_EQ(WebRequestTlsFailed, refused.LastError()) << offset;
    }
}

TEST(Https, RedirectWithinHttps)
{
    TestRequest request;
    ASSERT_TRUE(request.Open(TlsPeerUrl(kTrusted, "/moved/f5001.bin")));
    EXPECT_TRUE(request.ReadAll(5000) == File("f5001.bin"));
}

TEST(Https, ThroughConnectProxy)
{
    std::string proxy = TlsProxy();
    TestRequest request;
    ASSERT_TRUE(request.Open(TlsPeerUrl(kTrusted, "/f1048576.bin"), nullptr, false, proxy.c_str()))
        << request.LastError();
    EXPECT_TRUE(request.ReadAll(65536) == File("f1048576.bin"));
    ExpectSegmented(TlsPeerUrl(kTrusted, "/f1048576.bin"), File("f1048576.bin"), 3, proxy.c_str());
}

TEST(Https, UntrustedServerRefusedThroughProxy)
{
    TestRequest request;
    EXPECT_FALSE(request.Open(TlsPeerUrl(kWrongHost, "/f1.bin"), nullptr, false, TlsProxy().c_str()));
    EXPECT_EQ(WebRequestTlsFailed, request.LastError());
}

// A TLS stream that ends without the server's close notify may have been
// cut by anyone on the way: a body that ends with the connection is then a
// failure, never a clean end, even when every byte seems to be there. With
// the close notify it is the body's clean end.
TEST(Https, AnEndWithoutCloseNotifyIsAFailure)
{
    std::string file = File("f1048576.bin");
    const struct {
        const char *path;
        size_t received;  // the bytes the server sends
        bool clean;
    } cases[] = {
        {"/close-notify/f1048576.bin", file.size(), true},
        {"/cut/f1048576.bin", file.size(), false},
        {"/cut-length/f1048576.bin", file.size() / 2, false},
        {"/cut-chunked/f1048576.bin", file.size() / 2, false},
    };
    for (const auto &c : cases) {
        for (bool withCallback : {false, true}) {
            SCOPED_TRACE(std::string(c.path) + (withCallback ? " (callback)" : " (Read)"));
            TestRequest request;
            ASSERT_TRUE(request.Open(TlsPeerUrl(kCutting, c.path), nullptr, withCallback)) << request.LastError();
            std::string received;
            if (withCallback) {
                if (c.clean)
                    EXPECT_TRUE(request.WaitForBytes(c.received, 60000));
                else
                    EXPECT_TRUE(request.WaitForFailure(60000));
                received = request.Received();
            } else {
                received = request.ReadAll(65536);
            }
            EXPECT_TRUE(received == file.substr(0, c.received)) << received.size();
            EXPECT_EQ(c.clean, request.LastError() == WebRequestOk) << request.LastError();
        }
    }
}

// A cancel ends a running https download: Read hands out at most what was
// already decrypted, then 0, long before the end of the file, and every
// byte handed out is the file's.
TEST(Https, CancelDuringDownload)
{
    std::string file = File("f67108864.bin");
    TestRequest request;
    ASSERT_TRUE(request.Open(TlsPeerUrl(kTrusted, "/f67108864.bin")));
    std::string start(65536, '\0');
    unsigned first = request.Read(&start[0], 65536);
    ASSERT_GT(first, 0u);
    start.resize(first);
    request.Cancel();
    std::string rest = request.ReadAll(65536);
    EXPECT_LT(start.size() + rest.size(), file.size());
    EXPECT_TRUE(start + rest == file.substr(0, start.size() + rest.size()));
    EXPECT_EQ(WebRequestCancelled, request.LastError());
}

// Close during a running callback download: once it returns, no delivery
// follows, and what arrived is the start of the range.
TEST(Https, CloseDuringCallbackDownload)
{
    std::string file = File("f67108864.bin");
    TestRequest request;
    ASSERT_TRUE(request.Open(TlsPeerUrl(kTrusted, "/f67108864.bin"), Range(0, file.size() - 1, file.size()).c_str(),
                             true));
    ASSERT_TRUE(request.WaitForBytes(1, 30000));
    request.Close();
    int deliveries = request.Deliveries();
    std::string received = request.Received();
    Sleep(200);
    EXPECT_EQ(deliveries, request.Deliveries());
    EXPECT_TRUE(received == file.substr(0, received.size()));
}

}  // namespace
