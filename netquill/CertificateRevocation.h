// Whether a server's chain holds a revoked certificate, as far as the system
// knows without asking the network: a revocation list it keeps in the
// intermediate authorities' store ("CA"), signed by a certificate's issuer,
// names the certificate. Nothing is fetched (no list from a distribution
// point, no OCSP answer): a fetch has no bound that a cancel reaches. Where
// no list tells, the certificate counts as not revoked, as browsers treat a
// revocation check that cannot be made.
#pragma once

#include <windows.h>
#include <wincrypt.h>

bool HoldsRevokedCertificate(PCCERT_CHAIN_CONTEXT chain);
