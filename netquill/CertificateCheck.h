// Whether the server at the other end of a finished TLS handshake may be
// trusted: its chain ends in an authority of the system's trust store, no
// certificate of it is out of date or revoked as far as the system knows
// (CertificateRevocation.h), and it names the host that was asked for.
// The handshake itself checks nothing (the credentials ask for manual
// validation), so no byte of the request goes out before this has passed.
#pragma once

#include "netquill/SecurityInterface.h"

// An IPv4 or IPv6 address literal (without brackets), as opposed to a name.
// Such a host is sent as no server name, and a certificate names it only
// among its IP address names, as browsers match it.
bool IsAddressLiteral(const char *host);

bool IsServerTrusted(CtxtHandle *context, const char *host);
