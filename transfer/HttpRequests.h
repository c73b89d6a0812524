// The plug-in's use of the HTTP component's requests.
#pragma once

#include "components/ComponentAccess.h"
#include "components/WebRequest.h"

inline WebRequest *NewRequest()
{
    return static_cast<WebRequest *>(CreateComponent(HttpLibraryDescriptor()));
}

inline void GiveBack(WebRequest *request)
{
    ReleaseComponent(HttpLibraryDescriptor(), request);
}

// Close, then give back.
inline void CloseAndGiveBack(WebRequest *request)
{
    request->operations->Close(request);
    GiveBack(request);
}
