// Owning wrappers for the SSPI and certificate objects of a TLS connection,
// so that every early return of the handshake or the check releases them.
#pragma once

#include <winsock2.h>
#include <windows.h>
#include <wincrypt.h>

#include "netquill/SecurityInterface.h"

// Empty handles are {0, 0}: SSPI never hands out such a pair.
class ScopedCredentials {
public:
    ScopedCredentials() { Clear(); }
    ~ScopedCredentials() { Close(); }
    ScopedCredentials(const ScopedCredentials &) = delete;
    ScopedCredentials &operator=(const ScopedCredentials &) = delete;

    CredHandle *Get() { return &handle_; }
    bool IsSet() const { return handle_.dwLower || handle_.dwUpper; }
    void Close()
    {
        if (IsSet())
            Sspi()->FreeCredentialsHandle(&handle_);
        Clear();
    }

private:
    void Clear() { handle_.dwLower = handle_.dwUpper = 0; }
    CredHandle handle_;
};

class ScopedSecurityContext {
public:
    ScopedSecurityContext() { Clear(); }
    ~ScopedSecurityContext() { Close(); }
    ScopedSecurityContext(const ScopedSecurityContext &) = delete;
    ScopedSecurityContext &operator=(const ScopedSecurityContext &) = delete;

    CtxtHandle *Get() { return &handle_; }
    bool IsSet() const { return handle_.dwLower || handle_.dwUpper; }
    void Close()
    {
        if (IsSet())
            Sspi()->DeleteSecurityContext(&handle_);
        Clear();
    }

private:
    void Clear() { handle_.dwLower = handle_.dwUpper = 0; }
    CtxtHandle handle_;
};

class ScopedCertificate {
public:
    ScopedCertificate() : context_(nullptr) {}
    ~ScopedCertificate()
    {
        if (context_)
            CertFreeCertificateContext(context_);
    }
    ScopedCertificate(const ScopedCertificate &) = delete;
    ScopedCertificate &operator=(const ScopedCertificate &) = delete;

    PCCERT_CONTEXT Get() const { return context_; }
    // For calls that hand out a new reference.
    PCCERT_CONTEXT *Receive() { return &context_; }

private:
    PCCERT_CONTEXT context_;
};

class ScopedCertificateChain {
public:
    ScopedCertificateChain() : chain_(nullptr) {}
    ~ScopedCertificateChain()
    {
        if (chain_)
            CertFreeCertificateChain(chain_);
    }
    ScopedCertificateChain(const ScopedCertificateChain &) = delete;
    ScopedCertificateChain &operator=(const ScopedCertificateChain &) = delete;

    PCCERT_CHAIN_CONTEXT Get() const { return chain_; }
    PCCERT_CHAIN_CONTEXT *Receive() { return &chain_; }

private:
    PCCERT_CHAIN_CONTEXT chain_;
};

// A buffer that SSPI allocated (ISC_REQ_ALLOCATE_MEMORY).
class ScopedContextBuffer {
public:
    explicit ScopedContextBuffer(void *buffer) : buffer_(buffer) {}
    ~ScopedContextBuffer()
    {
        if (buffer_)
            Sspi()->FreeContextBuffer(buffer_);
    }
    ScopedContextBuffer(const ScopedContextBuffer &) = delete;
    ScopedContextBuffer &operator=(const ScopedContextBuffer &) = delete;

private:
    void *buffer_;
};
