// The plug-in's answers to the skin engine's questions. One process-wide
// object without data; its 23 __thiscall operations never consult it. An out
// argument is written only when it is not null.
#pragma once

#include <stddef.h>

struct SkinQuery;

typedef int(__thiscall *SkinQueryFlag)(SkinQuery *self, int ignored);
typedef void(__thiscall *SkinQueryNotice)(SkinQuery *self, int ignored);
typedef int(__thiscall *SkinQueryRange)(SkinQuery *self, int *first, int *last);

struct SkinQueryTable {
    SkinQueryFlag query0;                                                       // 0: 1
    SkinQueryFlag query1;                                                       // 1: 0
    SkinQueryFlag query2;                                                       // 2: 1
    SkinQueryNotice notice3;                                                    // 3
    SkinQueryFlag query4;                                                       // 4: 1
    void(__thiscall *pair5)(SkinQuery *self, int ignored, int *a, int *b);      // 5: 0, 0
    SkinQueryFlag query6;                                                       // 6: 1
    void(__thiscall *notice7)(SkinQuery *self, int, int, int, int, int);        // 7
    int(__thiscall *query8)(SkinQuery *self, int, int);                         // 8: 0
    // 9: the skins folder, the host's folder followed by "skins\"; 1.
    int(__thiscall *SkinsFolder)(SkinQuery *self, char *buffer, int bufferSize);
    int(__thiscall *CodePage)(SkinQuery *self);                                 // 10: 936
    SkinQueryRange ButtonCommandRange;                                          // 11: 50050..50115; 33
    SkinQueryRange range12;                                                     // 12: 51000..51001; 2
    SkinQueryRange range13;                                                     // 13: 51100..51100; 1
    SkinQueryRange pair14;                                                      // 14: 7, 7; 0
    SkinQueryRange ElementIdRange;                                              // 15: 51500..51504; 5
    SkinQueryRange pair16;                                                      // 16: 5, 5; 0
    SkinQueryRange pair17;                                                      // 17: 6, 6; 0
    int(__thiscall *query18)(SkinQuery *self);                                  // 18: 51100
    int(__thiscall *query19)(SkinQuery *self, int, int, int);                   // 19: 0
    // 20: the settings file name and section for the skin's own settings,
    // copied into fileBuffer (at least 12 bytes) and sectionBuffer (at least 10).
    int(__thiscall *SettingsLocation)(SkinQuery *self, char *fileBuffer, int ignored, char *sectionBuffer);
    void(__thiscall *notice21)(SkinQuery *self, int, int);                      // 21
    void(__thiscall *notice22)(SkinQuery *self, int, int, int, int);            // 22
};

struct SkinQuery {
    const SkinQueryTable *operations;
};

static_assert(offsetof(SkinQueryTable, SkinsFolder) == 9 * sizeof(void *), "SkinsFolder is operation 9");
static_assert(offsetof(SkinQueryTable, CodePage) == 10 * sizeof(void *), "CodePage is operation 10");
static_assert(offsetof(SkinQueryTable, ElementIdRange) == 15 * sizeof(void *), "ElementIdRange is operation 15");
static_assert(offsetof(SkinQueryTable, SettingsLocation) == 20 * sizeof(void *),
              "SettingsLocation is operation 20");
static_assert(sizeof(SkinQueryTable) == 23 * sizeof(void *), "the table has 23 operations");

// The plug-in's one SkinQuery object, handed to the engine's Init.
SkinQuery *PluginSkinQuery();
