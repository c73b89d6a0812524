#pragma once

class DownloadController;

// StartDownload's body: turns a host's request into a task in the first free
// slot and starts its worker. Returns a RavlixStartResult.
int AdmitDownload(DownloadController *controller, const char *url, const char *proxy, const char *destinationName,
                  int connections);
