// One HTTP GET, as Netquill.dll hands it out.
#pragma once

#include "components/WebRequest.h"

class HttpRequest : public WebRequest {
public:
    HttpRequest();
    ~HttpRequest();
    HttpRequest(const HttpRequest &) = delete;
    HttpRequest &operator=(const HttpRequest &) = delete;

    int lastError;
};
