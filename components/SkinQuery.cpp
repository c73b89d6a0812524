#include "components/SkinQuery.h"

#include <string.h>

#include "util/PathText.h"

namespace {

int __thiscall AnswerOne(SkinQuery *, int)
{
    return 1;
}

int __thiscall AnswerZero(SkinQuery *, int)
{
    return 0;
}

void __thiscall Acknowledge(SkinQuery *, int)
{
}

void __thiscall ZeroPair(SkinQuery *, int, int *a, int *b)
{
    if (a)
        *a = 0;
    if (b)
        *b = 0;
}

void __thiscall AcknowledgeFive(SkinQuery *, int, int, int, int, int)
{
}

int __thiscall AnswerZeroOfTwo(SkinQuery *, int, int)
{
    return 0;
}

int __thiscall SkinsFolder(SkinQuery *, char *buffer, int bufferSize)
{
    if (buffer && bufferSize > 0) {
        HostFolder(buffer, bufferSize);
        size_t used = strlen(buffer);
        static const char kSkins[] = "skins\\";
        if (used + sizeof(kSkins) <= static_cast<size_t>(bufferSize))
            memcpy(buffer + used, kSkins, sizeof(kSkins));
    }
    return 1;
}

int __thiscall CodePage(SkinQuery *)
{
    return 936;
}

void WritePair(int *first, int *last, int firstValue, int lastValue)
{
    if (first)
        *first = firstValue;
    if (last)
        *last = lastValue;
}

int __thiscall ButtonCommandRange(SkinQuery *, int *first, int *last)
{
    WritePair(first, last, 50050, 50115);
    return 33;
}

int __thiscall Range12(SkinQuery *, int *first, int *last)
{
    WritePair(first, last, 51000, 51001);
    return 2;
}

int __thiscall Range13(SkinQuery *, int *first, int *last)
{
    WritePair(first, last, 51100, 51100);
    return 1;
}

int __thiscall Pair14(SkinQuery *, int *a, int *b)
{
    WritePair(a, b, 7, 7);
    return 0;
}

int __thiscall ElementIdRange(SkinQuery *, int *first, int *last)
{
    WritePair(first, last, 51500, 51504);
    return 5;
}

int __thiscall Pair16(SkinQuery *, int *a, int *b)
{
    WritePair(a, b, 5, 5);
    return 0;
}

int __thiscall Pair17(SkinQuery *, int *a, int *b)
{
    WritePair(a, b, 6, 6);
    return 0;
}

int __thiscall Query18(SkinQuery *)
{
    return 51100;
}

int __thiscall AnswerZeroOfThree(SkinQuery *, int, int, int)
{
    return 0;
}

int __thiscall SettingsLocation(SkinQuery *, char *fileBuffer, int, char *sectionBuffer)
{
    if (fileBuffer)
        strcpy(fileBuffer, "kelmora.ini");
    if (sectionBuffer)
        strcpy(sectionBuffer, "SKINDLOAD");
    return 1;
}

void __thiscall AcknowledgeTwo(SkinQuery *, int, int)
{
}

void __thiscall AcknowledgeFour(SkinQuery *, int, int, int, int)
{
}

const SkinQueryTable kSkinQueryTable = {
    AnswerOne,        AnswerZero,       AnswerOne,    Acknowledge,       AnswerOne,    ZeroPair,
    AnswerOne,        AcknowledgeFive,  AnswerZeroOfTwo, SkinsFolder,    CodePage,     ButtonCommandRange,
    Range12,          Range13,          Pair14,       ElementIdRange,    Pair16,       Pair17,
    Query18,          AnswerZeroOfThree, SettingsLocation, AcknowledgeTwo, AcknowledgeFour,
};

SkinQuery gSkinQuery = {&kSkinQueryTable};

}  // namespace

SkinQuery *PluginSkinQuery()
{
    return &gSkinQuery;
}
