#include "netquill/TlsChannel.h"

#include <schannel.h>
#include <string.h>

#include "components/WebRequest.h"
#include "netquill/CertificateCheck.h"

namespace {

// Received bytes are read in big gulps: under Wine each recv is a round trip
// to the wineserver, and a TLS record is at most about 16 KiB. 512 KiB, as
// the plain body's reads: in alternating rounds of 256 MiB over https as fast
// as 1 MiB, and five connections' own memory 9 MiB instead of 12; 256 KiB
// was no faster and saved one more.
const size_t kRawCapacity = 512 * 1024;
// One record out: header, at most 16 KiB of data, trailer.
const size_t kRecordCapacity = 16 * 1024 + 1024;
// The content type of a TLS record that carries an alert (the first byte of its header).
const char kAlertRecord = 21;

const DWORD kContextFlags = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT | ISC_REQ_CONFIDENTIALITY |
                            ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_STREAM | ISC_REQ_EXTENDED_ERROR;

DWORD Remaining(DWORD deadline)
{
    LONG left = static_cast<LONG>(deadline - GetTickCount());
    return left > 0 ? static_cast<DWORD>(left) : 0;
}

int ErrorOf(IoStatus status)
{
    if (status == IoCancelled)
        return WebRequestCancelled;
    if (status == IoTimedOut)
        return WebRequestTimedOut;
    return WebRequestTlsFailed;
}

}  // namespace

TlsChannel::TlsChannel()
    : connection_(nullptr), sizes_(), raw_(nullptr), rawBegin_(0), rawEnd_(0), plain_(nullptr), plainSize_(0),
      peerClosed_(false), record_(nullptr)
{
    host_[0] = '\0';
}

TlsChannel::~TlsChannel()
{
    Close();
}

bool TlsChannel::AllocateBuffers()
{
    if (!raw_)
        raw_ = static_cast<char *>(VirtualAlloc(nullptr, kRawCapacity, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    if (!record_)
        record_ = static_cast<char *>(VirtualAlloc(nullptr, kRecordCapacity, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    return raw_ && record_;
}

int TlsChannel::Start(Connection *connection, const char *host, HANDLE cancel, DWORD timeoutMs)
{
    Close();
    connection_ = connection;
    DWORD deadline = GetTickCount() + timeoutMs;
    size_t hostLength = strlen(host);
    if (hostLength >= sizeof(host_))
        return WebRequestBadUrl;
    memcpy(host_, host, hostLength + 1);
    if (!AllocateBuffers())
        return WebRequestNoResources;

    SCHANNEL_CRED cred = {};
    cred.dwVersion = SCHANNEL_CRED_VERSION;
    // The certificate is checked by IsServerTrusted once the handshake is
    // done, with the host name, before any byte of the request goes out.
    cred.dwFlags = SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS;
    TimeStamp expiry;
    const SecurityFunctionTableA *sspi = Sspi();
    if (!sspi)
        return WebRequestTlsFailed;
    if (sspi->AcquireCredentialsHandleA(nullptr, const_cast<char *>(UNISP_NAME_A), SECPKG_CRED_OUTBOUND, nullptr,
                                        &cred, nullptr, nullptr, credentials_.Get(), &expiry) != SEC_E_OK)
        return WebRequestTlsFailed;
    int error = Negotiate(host_, false, cancel, deadline);
    if (error != WebRequestOk)
        return error;
    if (!IsServerTrusted(context_.Get(), host_))
        return WebRequestTlsFailed;
    if (sspi->QueryContextAttributesA(context_.Get(), SECPKG_ATTR_STREAM_SIZES, &sizes_) != SEC_E_OK ||
        sizes_.cbHeader + sizes_.cbMaximumMessage + sizes_.cbTrailer > kRecordCapacity)
        return WebRequestTlsFailed;
    return WebRequestOk;
}

IoStatus TlsChannel::SendToken(const SecBuffer &token, HANDLE cancel, DWORD deadline)
{
    ScopedContextBuffer owned(token.pvBuffer);
    if (!token.pvBuffer || token.cbBuffer == 0)
        return IoOk;
    return connection_->Send(static_cast<const char *>(token.pvBuffer), token.cbBuffer, cancel, Remaining(deadline));
}

int TlsChannel::Negotiate(const char *host, bool renegotiating, HANDLE cancel, DWORD deadline)
{
    bool first = !renegotiating;
    // A renegotiation starts with the bytes that came after the record that
    // asked for it, if any; InitializeSecurityContext says when it needs more.
    bool needInput = false;
    char *serverName = IsAddressLiteral(host) ? nullptr : const_cast<char *>(host);
    for (;;) {
        if (needInput) {
            IoStatus status = ReadMore(cancel, deadline);
            if (status != IoOk)
                return ErrorOf(status);
        }
        SecBuffer in[2] = {};
        in[0].BufferType = SECBUFFER_TOKEN;
        in[0].pvBuffer = raw_ + rawBegin_;
        in[0].cbBuffer = static_cast<unsigned long>(rawEnd_ - rawBegin_);
        in[1].BufferType = SECBUFFER_EMPTY;
        SecBufferDesc inDesc = {SECBUFFER_VERSION, 2, in};
        SecBuffer out[1] = {};
        out[0].BufferType = SECBUFFER_TOKEN;
        SecBufferDesc outDesc = {SECBUFFER_VERSION, 1, out};
        unsigned long attributes = 0;
        TimeStamp expiry;
        // An address is no server name (RFC 6066 3): none is sent for it.
        SECURITY_STATUS result = Sspi()->InitializeSecurityContextA(
            credentials_.Get(), first ? nullptr : context_.Get(), serverName, kContextFlags, 0, 0,
            first ? nullptr : &inDesc, 0, context_.Get(), &outDesc, &attributes, &expiry);
        bool wasFirst = first;
        first = false;
        IoStatus sent = SendToken(out[0], cancel, deadline);
        if (sent != IoOk)
            return ErrorOf(sent);
        if (result == SEC_E_INCOMPLETE_MESSAGE) {
            needInput = true;
            continue;
        }
        if (result != SEC_E_OK && result != SEC_I_CONTINUE_NEEDED)
            return WebRequestTlsFailed;
        if (!wasFirst) {
            // What the handshake did not take is the start of the next message.
            if (in[1].BufferType == SECBUFFER_EXTRA && in[1].cbBuffer > 0)
                rawBegin_ = rawEnd_ - in[1].cbBuffer;
            else
                rawBegin_ = rawEnd_;
        }
        if (result == SEC_E_OK)
            return WebRequestOk;
        needInput = rawBegin_ == rawEnd_;
    }
}

IoStatus TlsChannel::ReadMore(HANDLE cancel, DWORD deadline)
{
    // Nothing decrypted is waiting (plainSize_ is 0), so the undecrypted rest
    // can move to the front.
    if (rawBegin_ > 0) {
        memmove(raw_, raw_ + rawBegin_, rawEnd_ - rawBegin_);
        rawEnd_ -= rawBegin_;
        rawBegin_ = 0;
    }
    if (rawEnd_ == kRawCapacity)
        return IoFailed;
    size_t received;
    IoStatus status = connection_->Receive(raw_ + rawEnd_, kRawCapacity - rawEnd_, &received, cancel, Remaining(deadline));
    if (status == IoOk)
        rawEnd_ += received;
    return status;
}

TlsChannel::DecryptResult TlsChannel::DecryptNext(HANDLE cancel, DWORD deadline)
{
    if (rawBegin_ == rawEnd_)
        return NeedMore;
    bool alertRecord = raw_[rawBegin_] == kAlertRecord;
    SecBuffer buffers[4] = {};
    buffers[0].BufferType = SECBUFFER_DATA;
    buffers[0].pvBuffer = raw_ + rawBegin_;
    buffers[0].cbBuffer = static_cast<unsigned long>(rawEnd_ - rawBegin_);
    for (int i = 1; i < 4; ++i)
        buffers[i].BufferType = SECBUFFER_EMPTY;
    SecBufferDesc desc = {SECBUFFER_VERSION, 4, buffers};
    // Decrypts in place: the data buffer it reports lies inside raw_.
    SECURITY_STATUS result = Sspi()->DecryptMessage(context_.Get(), &desc, 0, nullptr);
    if (result == SEC_E_INCOMPLETE_MESSAGE)
        return NeedMore;
    if (result == SEC_I_CONTEXT_EXPIRED)
        return PeerClosed;  // the server's close notify
    if (result != SEC_E_OK && result != SEC_I_RENEGOTIATE)
        return DecryptFailed;
    size_t extra = 0;
    for (int i = 1; i < 4; ++i) {
        if (buffers[i].BufferType == SECBUFFER_DATA) {
            plain_ = static_cast<const char *>(buffers[i].pvBuffer);
            plainSize_ = buffers[i].cbBuffer;
        } else if (buffers[i].BufferType == SECBUFFER_EXTRA) {
            extra = buffers[i].cbBuffer;
        }
    }
    rawBegin_ = rawEnd_ - extra;
    // Wine's schannel gives the close notify as an alert record that
    // decrypts to nothing; any other alert fails the decryption there. (Under
    // TLS 1.3, which it does not offer, every record shows as application
    // data, and such an end would read as a cut one.)
    if (result == SEC_E_OK && alertRecord && plainSize_ == 0)
        return PeerClosed;
    if (result == SEC_I_RENEGOTIATE) {
        // Hands what the server sent after the record to the handshake; a
        // server that renegotiates has nothing decrypted to give meanwhile.
        plainSize_ = 0;
        if (Negotiate(host_, true, cancel, deadline) != WebRequestOk)
            return DecryptFailed;
    }
    return Decrypted;
}

IoStatus TlsChannel::Receive(char *buffer, size_t capacity, size_t *received, HANDLE cancel, DWORD timeoutMs)
{
    *received = 0;
    DWORD deadline = GetTickCount() + timeoutMs;
    for (;;) {
        // Decrypts every whole record already here, so the caller gets large pieces.
        bool failed = false;
        while (*received < capacity) {
            if (plainSize_ > 0) {
                size_t take = capacity - *received < plainSize_ ? capacity - *received : plainSize_;
                memcpy(buffer + *received, plain_, take);
                *received += take;
                plain_ += take;
                plainSize_ -= take;
                continue;
            }
            if (peerClosed_)
                break;
            DecryptResult result = DecryptNext(cancel, deadline);
            if (result == NeedMore)
                break;
            if (result == PeerClosed)
                peerClosed_ = true;
            else if (result == DecryptFailed) {
                failed = true;
                break;
            }
        }
        if (*received > 0)
            return IoOk;
        if (failed)
            return IoFailed;
        if (peerClosed_)
            return IoClosed;
        IoStatus status = ReadMore(cancel, deadline);
        // An end of the connection without the close notify may be an
        // attacker's: nothing shows that the bytes so far are all the server sent.
        if (status == IoClosed)
            return IoFailed;
        if (status != IoOk)
            return status;
    }
}

IoStatus TlsChannel::Send(const char *data, size_t size, HANDLE cancel, DWORD timeoutMs)
{
    DWORD deadline = GetTickCount() + timeoutMs;
    while (size > 0) {
        size_t chunk = size < sizes_.cbMaximumMessage ? size : sizes_.cbMaximumMessage;
        memcpy(record_ + sizes_.cbHeader, data, chunk);
        SecBuffer buffers[4] = {};
        buffers[0].BufferType = SECBUFFER_STREAM_HEADER;
        buffers[0].pvBuffer = record_;
        buffers[0].cbBuffer = sizes_.cbHeader;
        buffers[1].BufferType = SECBUFFER_DATA;
        buffers[1].pvBuffer = record_ + sizes_.cbHeader;
        buffers[1].cbBuffer = static_cast<unsigned long>(chunk);
        buffers[2].BufferType = SECBUFFER_STREAM_TRAILER;
        buffers[2].pvBuffer = record_ + sizes_.cbHeader + chunk;
        buffers[2].cbBuffer = sizes_.cbTrailer;
        buffers[3].BufferType = SECBUFFER_EMPTY;
        SecBufferDesc desc = {SECBUFFER_VERSION, 4, buffers};
        if (Sspi()->EncryptMessage(context_.Get(), 0, &desc, 0) != SEC_E_OK)
            return IoFailed;
        // The trailer may come out shorter than its maximum.
        size_t length = buffers[0].cbBuffer + buffers[1].cbBuffer + buffers[2].cbBuffer;
        IoStatus status = connection_->Send(record_, length, cancel, Remaining(deadline));
        if (status != IoOk)
            return status;
        data += chunk;
        size -= chunk;
    }
    return IoOk;
}

void TlsChannel::Close()
{
    context_.Close();
    credentials_.Close();
    if (raw_) {
        VirtualFree(raw_, 0, MEM_RELEASE);
        raw_ = nullptr;
    }
    if (record_) {
        VirtualFree(record_, 0, MEM_RELEASE);
        record_ = nullptr;
    }
    rawBegin_ = rawEnd_ = 0;
    plain_ = nullptr;
    plainSize_ = 0;
    peerClosed_ = false;
    connection_ = nullptr;
}
