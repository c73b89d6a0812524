// The file a scripted server serves to the engine's fault tests, and the
// faults it plays: refused, dropped, stalled and shifted answers, and a file
// replaced at a chosen connection.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>

#include "netquill/ScriptedServer.h"

// What the scripted server serves; tests change it between sessions.
struct Resource {
    std::mutex lock;
    std::string body;
    std::string etag;         // sent when not empty
    bool weakEtag = false;    // the ETag is sent as W/"etag"
    std::atomic<int> rangesServed{0};  // 206 answers sent
    bool honourRanges = true; // false: 200 with the whole body to every request
    bool http10 = false;
    size_t dropAfter = 0;     // close each response after this many body bytes (0: never)
    size_t stallAfter = 0;    // stop sending, keep the connection open (0: never)
    size_t piece = 0;         // send in pieces with a pause (0: at once)
    size_t burst = 0;         // with piece: this many bytes of each answer go at once, the rest in pieces
    DWORD pauseMs = 0;
    bool sendLength = true;
    std::string lengthText;   // overrides the Content-Length value
    int refuseFrom = 0;       // connections refuseFrom .. refuseFrom + refuseCount - 1
    int refuseCount = 0;      // are answered 503 Service Unavailable
    bool honourIfRange = false; // true: an If-Range other than the ETag gets the whole body (200)
    int wholeFrom = -1;       // from this connection on, ranges are answered 200 with the whole body
    int shiftedFrom = -1;     // from this connection on, ranges are answered one byte later than asked
    int silentFrom = -1;      // from this connection on, the server reads the request and says nothing
    int slowConnection = -1;  // this connection pauses ten times as long after each piece
    int fastConnection = -1;  // this connection sends without a pause
    int replaceAt = -1;       // when this connection comes, the file is replaced (Replace) before it is served
    std::string fieldsBefore; // header lines sent before Content-Length

    std::string Body()
    {
        std::lock_guard<std::mutex> hold(lock);
        return body;
    }
};

// Another version of the same length, as a server holds once its file was replaced.
std::string OtherVersion(std::string body);

// The file becomes OtherVersion of itself, with the ETag etag.
void Replace(Resource &resource, const std::string &etag);

// Answers one connection as the resource says.
void Serve(ScriptedConnection &connection, Resource &resource);
