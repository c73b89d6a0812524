#include "netquill/CertificateRevocation.h"

namespace {

// Whether crl, signed by issuer, lists subject.
bool ListedIn(PCCRL_CONTEXT crl, PCCERT_CONTEXT subject, PCCERT_CONTEXT issuer)
{
    if (!CryptVerifyCertificateSignatureEx(0, X509_ASN_ENCODING, CRYPT_VERIFY_CERT_SIGN_SUBJECT_CRL,
                                           const_cast<CRL_CONTEXT *>(crl), CRYPT_VERIFY_CERT_SIGN_ISSUER_CERT,
                                           const_cast<CERT_CONTEXT *>(issuer), 0, nullptr))
        return false;
    PCRL_ENTRY entry = nullptr;
    return CertFindCertificateInCRL(subject, crl, 0, nullptr, &entry) && entry;
}

// A list the store holds from issuer names subject.
bool ListedInStore(HCERTSTORE store, PCCERT_CONTEXT subject, PCCERT_CONTEXT issuer)
{
    bool listed = false;
    PCCRL_CONTEXT crl = nullptr;
    while (!listed && (crl = CertFindCRLInStore(store, X509_ASN_ENCODING, CRL_FIND_ISSUED_BY_AKI_FLAG,
                                                 CRL_FIND_ISSUED_BY, issuer, crl)))
        listed = ListedIn(crl, subject, issuer);
    if (crl)
        CertFreeCRLContext(crl);
    return listed;
}

}  // namespace

bool HoldsRevokedCertificate(PCCERT_CHAIN_CONTEXT chain)
{
    if (!chain || chain->cChain == 0)
        return false;
    const CERT_SIMPLE_CHAIN *simple = chain->rgpChain[0];
    HCERTSTORE authorities = CertOpenSystemStoreA(0, "CA");
    if (!authorities)
        return false;
    bool revoked = false;
    // The root is trusted as it is: no list revokes it.
    for (DWORD i = 0; i + 1 < simple->cElement && !revoked; ++i) {
        PCCERT_CONTEXT subject = simple->rgpElement[i]->pCertContext;
        PCCERT_CONTEXT issuer = simple->rgpElement[i + 1]->pCertContext;
        revoked = ListedInStore(authorities, subject, issuer);
    }
    CertCloseStore(authorities, 0);
    return revoked;
}
