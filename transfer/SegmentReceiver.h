// Where a range's data goes: the HTTP component's threads deliver it here.
#pragma once

namespace transfer {
// Writes a delivered piece into the file (the context is the segment). A
// function of the ReceiveCallback type of the same name.
void __stdcall ReceiveCallback(void *context, const void *bytes, unsigned count);
}  // namespace transfer
