// Whether the server at the other end of a finished TLS handshake may be
// trusted: its chain ends in an authority of the system's trust store, no
// certificate of it is out of date, and it names the host that was asked for.
// The handshake itself checks nothing (the credentials ask for manual
// validation), so no byte of the request goes out before this has passed.
#pragma once

#include "netquill/SecurityInterface.h"

bool IsServerTrusted(CtxtHandle *context, const char *host);
