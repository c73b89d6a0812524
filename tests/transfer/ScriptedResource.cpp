#include "ScriptedResource.h"

std::string OtherVersion(std::string body)
{
    for (char &c : body)
        c = static_cast<char>(~c);
    return body;
}

namespace {

// Called with the resource's lock held.
void ReplaceHeld(Resource &resource, const std::string &etag)
{
    resource.body = OtherVersion(resource.body);
    resource.etag = etag;
}

}  // namespace

void Replace(Resource &resource, const std::string &etag)
{
    std::lock_guard<std::mutex> hold(resource.lock);
    ReplaceHeld(resource, etag);
}

void Serve(ScriptedConnection &connection, Resource &resource)
{
    if (!connection.ReadRequest())
        return;
    std::unique_lock<std::mutex> hold(resource.lock);
    if (connection.Index() == resource.replaceAt)
        ReplaceHeld(resource, resource.etag + "-replaced");
    std::string body = resource.body;
    Resource copy;
    copy.etag = resource.etag;
    copy.weakEtag = resource.weakEtag;
    copy.honourRanges = resource.honourRanges;
    copy.http10 = resource.http10;
    copy.dropAfter = resource.dropAfter;
    copy.stallAfter = resource.stallAfter;
    copy.piece = resource.piece;
    copy.burst = resource.burst;
    copy.pauseMs = resource.pauseMs * (connection.Index() == resource.slowConnection ? 10 : 1);
    if (connection.Index() == resource.fastConnection)
        copy.pauseMs = 0;
    copy.sendLength = resource.sendLength;
    copy.lengthText = resource.lengthText;
    copy.fieldsBefore = resource.fieldsBefore;
    bool staleIfRange = resource.honourIfRange &&
                        connection.Request().find("\r\nIf-Range: \"" + resource.etag + "\"\r\n") == std::string::npos &&
                        connection.Request().find("\r\nIf-Range: ") != std::string::npos;
    bool whole = resource.wholeFrom >= 0 && connection.Index() >= resource.wholeFrom;
    bool shifted = resource.shiftedFrom >= 0 && connection.Index() >= resource.shiftedFrom;
    if (resource.silentFrom >= 0 && connection.Index() >= resource.silentFrom) {
        hold.unlock();
        connection.WaitForClientClose();
        return;
    }
    bool refused = connection.Index() >= resource.refuseFrom &&
                   connection.Index() < resource.refuseFrom + resource.refuseCount;
    hold.unlock();
    if (refused) {
        connection.Send("HTTP/1.1 503 Service Unavailable\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
        return;
    }

    unsigned long long first = 0, last = body.size() - 1;
    bool ranged = copy.honourRanges && !copy.http10 && !staleIfRange && !whole &&
                  connection.AskedRange(&first, &last) && first < body.size();
    if (last >= body.size())
        last = body.size() - 1;
    if (ranged && shifted && last > first)
        ++first;
    if (ranged)
        ++resource.rangesServed;
    std::string part = ranged ? body.substr(first, last - first + 1) : body;
    std::string header = copy.http10 ? "HTTP/1.0 200 OK\r\n"
                                     : (ranged ? "HTTP/1.1 206 Partial Content\r\nContent-Range: bytes " +
                                                     std::to_string(first) + "-" + std::to_string(last) + "/" +
                                                     std::to_string(body.size()) + "\r\n"
                                               : "HTTP/1.1 200 OK\r\n");
    header += copy.fieldsBefore;
    if (copy.sendLength)
        header += "Content-Length: " + (copy.lengthText.empty() ? std::to_string(part.size()) : copy.lengthText) +
                  "\r\n";
    if (!copy.etag.empty())
        header += std::string("ETag: ") + (copy.weakEtag ? "W/" : "") + "\"" + copy.etag + "\"\r\n";
    header += "Connection: close\r\n\r\n";
    if (!connection.Send(header))
        return;
    size_t limit = part.size();
    if (copy.dropAfter && copy.dropAfter < limit)
        limit = copy.dropAfter;
    if (copy.stallAfter && copy.stallAfter < limit)
        limit = copy.stallAfter;
    std::string sent = part.substr(0, limit);
    size_t burst = copy.piece && copy.burst < sent.size() ? copy.burst : 0;
    if (burst && !connection.Send(sent.substr(0, burst)))
        return;
    if (copy.piece)
        connection.SendSlowly(sent.substr(burst), copy.piece, copy.pauseMs);
    else
        connection.Send(sent);
    if (copy.stallAfter && copy.stallAfter < part.size())
        connection.WaitForClientClose();
}

