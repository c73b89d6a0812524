// TLS (SChannel through SSPI) over a Connection. Every wait is one of the
// Connection's, so the cancel event and the deadlines reach into the
// handshake and into every read and write of the encrypted stream.
#pragma once

#include <stddef.h>

#include "netquill/Connection.h"
#include "netquill/SecurityHandles.h"

class TlsChannel {
public:
    TlsChannel();
    ~TlsChannel();
    TlsChannel(const TlsChannel &) = delete;
    TlsChannel &operator=(const TlsChannel &) = delete;

    // Runs the handshake with server name indication for host over an open
    // connection, then checks the server's certificate. Returns a
    // WebRequestError: WebRequestTlsFailed when the handshake fails or the
    // server is not trusted. The connection must outlive the channel's use.
    int Start(Connection *connection, const char *host, HANDLE cancel, DWORD timeoutMs);

    IoStatus Send(const char *data, size_t size, HANDLE cancel, DWORD timeoutMs);

    // Waits up to timeoutMs for the first bytes, then hands out as much as
    // the records already received hold (at most capacity). IoClosed once
    // the server has sent its close notify; IoFailed when the connection
    // ends without one, so that a body delimited by the connection's end is
    // never taken as whole when it may have been cut short.
    IoStatus Receive(char *buffer, size_t capacity, size_t *received, HANDLE cancel, DWORD timeoutMs);

    void Close();

private:
    enum DecryptResult { Decrypted, NeedMore, PeerClosed, DecryptFailed };

    // Feeds the received bytes to InitializeSecurityContext until it
    // reports the handshake done, reading more whenever it asks for them.
    int Negotiate(const char *host, bool renegotiating, HANDLE cancel, DWORD deadline);
    DecryptResult DecryptNext(HANDLE cancel, DWORD deadline);
    IoStatus ReadMore(HANDLE cancel, DWORD deadline);
    IoStatus SendToken(const SecBuffer &token, HANDLE cancel, DWORD deadline);
    bool AllocateBuffers();

    Connection *connection_;
    ScopedCredentials credentials_;
    ScopedSecurityContext context_;
    SecPkgContext_StreamSizes sizes_;
    char host_[256];
    // Bytes received and not yet decrypted are [rawBegin_, rawEnd_) of raw_;
    // decrypted bytes not yet handed out are plain_ (inside raw_, before rawBegin_).
    char *raw_;
    size_t rawBegin_;
    size_t rawEnd_;
    const char *plain_;
    size_t plainSize_;
    bool peerClosed_;
    char *record_;  // where one record is encrypted before it goes out
};
