#include "netquill/CertificateCheck.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <schannel.h>
#include <string.h>

#include "netquill/CertificateRevocation.h"
#include "netquill/SecurityHandles.h"

namespace {

// SECURITY_FLAG_IGNORE_CERT_CN_INVALID of wininet.h: the policy leaves the name to the caller.
const DWORD kNameCheckedByCaller = 0x00001000;

// The bytes of an address literal (4 or 16); 0 when host is a name.
size_t AddressBytes(const char *host, unsigned char *bytes)
{
    addrinfo hints = {};
    hints.ai_family = AF_UNSPEC;
    hints.ai_flags = AI_NUMERICHOST;
    addrinfo *list = nullptr;
    if (getaddrinfo(host, nullptr, &hints, &list) != 0 || !list)
        return 0;
    size_t length = 0;
    if (list->ai_family == AF_INET) {
        length = 4;
        memcpy(bytes, &reinterpret_cast<const sockaddr_in *>(list->ai_addr)->sin_addr, length);
    } else if (list->ai_family == AF_INET6) {
        length = 16;
        memcpy(bytes, &reinterpret_cast<const sockaddr_in6 *>(list->ai_addr)->sin6_addr, length);
    }
    freeaddrinfo(list);
    return length;
}

// Whether the certificate's subject alternative names hold the address
// among their IP address entries.
bool NamesAddress(PCCERT_CONTEXT certificate, const unsigned char *address, size_t length)
{
    PCERT_EXTENSION extension = CertFindExtension(szOID_SUBJECT_ALT_NAME2, certificate->pCertInfo->cExtension,
                                                  certificate->pCertInfo->rgExtension);
    if (!extension)
        return false;
    CERT_ALT_NAME_INFO *names = nullptr;
    DWORD size = 0;
    if (!CryptDecodeObjectEx(X509_ASN_ENCODING, X509_ALTERNATE_NAME, extension->Value.pbData,
                             extension->Value.cbData, CRYPT_DECODE_ALLOC_FLAG, nullptr, &names, &size))
        return false;
    bool found = false;
    for (DWORD i = 0; i < names->cAltEntry && !found; ++i) {
        const CERT_ALT_NAME_ENTRY &entry = names->rgAltEntry[i];
        found = entry.dwAltNameChoice == CERT_ALT_NAME_IP_ADDRESS && entry.IPAddress.cbData == length &&
                memcmp(entry.IPAddress.pbData, address, length) == 0;
    }
    LocalFree(names);
    return found;
}

bool BuildChain(PCCERT_CONTEXT certificate, ScopedCertificateChain *chain)
{
    static LPSTR kServerUsages[] = {const_cast<LPSTR>(szOID_PKIX_KP_SERVER_AUTH),
                                    const_cast<LPSTR>(szOID_SERVER_GATED_CRYPTO),
                                    const_cast<LPSTR>(szOID_SGC_NETSCAPE)};
    CERT_CHAIN_PARA para = {};
    para.cbSize = sizeof(para);
    para.RequestedUsage.dwType = USAGE_MATCH_TYPE_OR;
    para.RequestedUsage.Usage.cUsageIdentifier = sizeof(kServerUsages) / sizeof(kServerUsages[0]);
    para.RequestedUsage.Usage.rgpszUsageIdentifier = kServerUsages;
    // The certificate's own store holds the intermediates the server sent.
    // Nothing is fetched from the network (a missing intermediate, as the
    // certificate's authority information names it): such a fetch has no
    // bound that a cancel reaches, and a server is to send its chain, as
    // curl and Firefox expect too.
    return CertGetCertificateChain(nullptr, certificate, nullptr, certificate->hCertStore, &para,
                                   CERT_CHAIN_CACHE_ONLY_URL_RETRIEVAL, nullptr, chain->Receive()) != FALSE;
}

}  // namespace

bool IsAddressLiteral(const char *host)
{
    unsigned char address[16];
    return AddressBytes(host, address) != 0;
}

bool IsServerTrusted(CtxtHandle *context, const char *host)
{
    ScopedCertificate certificate;
    if (Sspi()->QueryContextAttributesA(context, SECPKG_ATTR_REMOTE_CERT_CONTEXT, certificate.Receive()) != SEC_E_OK ||
        !certificate.Get())
        return false;
    ScopedCertificateChain chain;
    if (!BuildChain(certificate.Get(), &chain) || HoldsRevokedCertificate(chain.Get()))
        return false;

    HTTPSPolicyCallbackData ssl = {};
    ssl.cbStruct = sizeof(ssl);
    ssl.dwAuthType = AUTHTYPE_SERVER;
    ssl.fdwChecks = 0;  // nothing ignored: authority, dates and name all count
    WCHAR serverName[256];
    unsigned char address[16];
    if (size_t length = AddressBytes(host, address)) {
        // The system's policy compares names as text; an address is matched
        // here, and the policy checks all else.
        if (!NamesAddress(certificate.Get(), address, length))
            return false;
        ssl.fdwChecks = kNameCheckedByCaller;
    } else {
        if (!MultiByteToWideChar(CP_ACP, 0, host, -1, serverName, sizeof(serverName) / sizeof(serverName[0])))
            return false;
        ssl.pwszServerName = serverName;
    }
    CERT_CHAIN_POLICY_PARA policy = {};
    policy.cbSize = sizeof(policy);
    policy.pvExtraPolicyPara = &ssl;
    CERT_CHAIN_POLICY_STATUS status = {};
    status.cbSize = sizeof(status);
    return CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain.Get(), &policy, &status) &&
           status.dwError == 0;
}
