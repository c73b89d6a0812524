// Whether a folder can hold the files the plug-in makes in it.
#pragma once

// Creates the folder's last level when nothing of that name exists, as a
// download's start would, and answers whether the folder, followed by a
// separator the way a download's paths follow it, then names a folder.
// False for an empty text, a missing parent, or a file of that name; and
// for a folder Windows names differently inside a path than at its end,
// such as one whose last element ends in a blank.
bool MakeFolderReady(const char *folder);
