#pragma once

// String ids of the resource string table.
enum ResourceStringId {
    StringTaskFull = 19,
    StringTip = 21,
    StringCannotCreateDir = 22,
    StringOverwrite = 23
};

// Loads string id from the resource module (the language library, else the
// plug-in itself) into a buffer of bufferSize characters; "" if missing.
void LoadResourceText(int id, char *buffer, int bufferSize);
