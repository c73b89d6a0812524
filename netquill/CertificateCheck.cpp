#include "netquill/CertificateCheck.h"

#include <schannel.h>

#include "netquill/SecurityHandles.h"

namespace {

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

bool IsServerTrusted(CtxtHandle *context, const char *host)
{
    ScopedCertificate certificate;
    if (Sspi()->QueryContextAttributesA(context, SECPKG_ATTR_REMOTE_CERT_CONTEXT, certificate.Receive()) != SEC_E_OK ||
        !certificate.Get())
        return false;
    ScopedCertificateChain chain;
    if (!BuildChain(certificate.Get(), &chain))
        return false;

    WCHAR serverName[256];
    if (!MultiByteToWideChar(CP_ACP, 0, host, -1, serverName, sizeof(serverName) / sizeof(serverName[0])))
        return false;
    HTTPSPolicyCallbackData ssl = {};
    ssl.cbStruct = sizeof(ssl);
    ssl.dwAuthType = AUTHTYPE_SERVER;
    ssl.fdwChecks = 0;  // nothing ignored: authority, dates and name all count
    ssl.pwszServerName = serverName;
    CERT_CHAIN_POLICY_PARA policy = {};
    policy.cbSize = sizeof(policy);
    policy.pvExtraPolicyPara = &ssl;
    CERT_CHAIN_POLICY_STATUS status = {};
    status.cbSize = sizeof(status);
    return CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain.Get(), &policy, &status) &&
           status.dwError == 0;
}
