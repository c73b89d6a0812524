// The SSPI functions, through the table secur32.dll hands out. secur32.dll
// is loaded on the first TLS connection rather than with Netquill: most
// downloads are plain HTTP, and loading it costs a host's start some 15 ms
// under Wine.
#pragma once

#include <winsock2.h>
#include <windows.h>
#define SECURITY_WIN32
#include <security.h>

// Null when secur32.dll or its table cannot be had; then no TLS connection
// starts, and no handle or buffer of SSPI exists to be released.
const SecurityFunctionTableA *Sspi();
