// The operation tables as a caller sees them: raw words at fixed positions,
// called with __thiscall.
#include <gtest/gtest.h>
#include <string.h>
#include <windows.h>

#include "components/ComponentAccess.h"
#include "components/SkinQuery.h"
#include "components/WebRequest.h"
#include "util/PathText.h"

namespace {

void *const *Table(const void *object)
{
    return *static_cast<void *const *const *>(object);
}

template <typename Function>
Function At(const void *object, int position)
{
    return reinterpret_cast<Function>(Table(object)[position]);
}

typedef int(__thiscall *IntOfOne)(void *, int);
typedef int(__thiscall *IntOfNone)(void *);
typedef int(__thiscall *IntOfPair)(void *, int *, int *);

TEST(SkinQueryAnswers, FlagsAndCounts)
{
    SkinQuery *query = PluginSkinQuery();
    EXPECT_EQ(1, At<IntOfOne>(query, 0)(query, 77));
    EXPECT_EQ(0, At<IntOfOne>(query, 1)(query, 77));
    EXPECT_EQ(1, At<IntOfOne>(query, 2)(query, 77));
    EXPECT_EQ(1, At<IntOfOne>(query, 4)(query, 77));
    EXPECT_EQ(1, At<IntOfOne>(query, 6)(query, 77));
    EXPECT_EQ(0, (At<int(__thiscall *)(void *, int, int)>(query, 8)(query, 1, 2)));
    EXPECT_EQ(936, At<IntOfNone>(query, 10)(query));
    EXPECT_EQ(51100, At<IntOfNone>(query, 18)(query));
    EXPECT_EQ(0, (At<int(__thiscall *)(void *, int, int, int)>(query, 19)(query, 1, 2, 3)));
    // The void answers take their arguments off the stack like the others.
    At<void(__thiscall *)(void *, int)>(query, 3)(query, 1);
    At<void(__thiscall *)(void *, int, int, int, int, int)>(query, 7)(query, 1, 2, 3, 4, 5);
    At<void(__thiscall *)(void *, int, int)>(query, 21)(query, 1, 2);
    At<void(__thiscall *)(void *, int, int, int, int)>(query, 22)(query, 1, 2, 3, 4);
}

TEST(SkinQueryAnswers, RangesAndPairs)
{
    SkinQuery *query = PluginSkinQuery();
    struct Case {
        int position, first, last, result;
    } cases[] = {{11, 50050, 50115, 33}, {12, 51000, 51001, 2}, {13, 51100, 51100, 1}, {14, 7, 7, 0},
                 {15, 51500, 51504, 5},  {16, 5, 5, 0},         {17, 6, 6, 0}};
    for (const Case &c : cases) {
        int first = -1, last = -1;
        EXPECT_EQ(c.result, At<IntOfPair>(query, c.position)(query, &first, &last)) << c.position;
        EXPECT_EQ(c.first, first) << c.position;
        EXPECT_EQ(c.last, last) << c.position;
        // Null out arguments are not written.
        EXPECT_EQ(c.result, At<IntOfPair>(query, c.position)(query, nullptr, nullptr));
    }
    int a = -1, b = -1;
    At<void(__thiscall *)(void *, int, int *, int *)>(query, 5)(query, 9, &a, &b);
    EXPECT_EQ(0, a);
    EXPECT_EQ(0, b);
    At<void(__thiscall *)(void *, int, int *, int *)>(query, 5)(query, 9, nullptr, nullptr);
}

TEST(SkinQueryAnswers, SkinsFolderAndSettings)
{
    SkinQuery *query = PluginSkinQuery();
    char folder[260];
    EXPECT_EQ(1, (At<int(__thiscall *)(void *, char *, int)>(query, 9)(query, folder, sizeof(folder))));
    char expected[260];
    HostFolder(expected, sizeof(expected));
    strcat(expected, "skins\\");
    EXPECT_STREQ(expected, folder);

    char file[32] = "", section[32] = "";
    EXPECT_EQ(1, (At<int(__thiscall *)(void *, char *, int, char *)>(query, 20)(query, file, 5, section)));
    EXPECT_STREQ("kelmora.ini", file);
    EXPECT_STREQ("SKINDLOAD", section);
}

TEST(ComponentTables, EveryPositionHoldsAnEntry)
{
    struct Library {
        const void *descriptor;
        int operations;
    } libraries[] = {{SkinLibraryDescriptor(), 19}, {HttpLibraryDescriptor(), 6}};
    for (const Library &library : libraries) {
        void *object = CreateComponent(library.descriptor);
        ASSERT_NE(nullptr, object);
        for (int i = 0; i < library.operations; ++i)
            EXPECT_NE(nullptr, Table(object)[i]) << i;
        ReleaseComponent(library.descriptor, object);
    }
    SkinQuery *query = PluginSkinQuery();
    for (int i = 0; i < 23; ++i)
        EXPECT_NE(nullptr, Table(query)[i]) << i;
}

TEST(ComponentTables, WebRequestOperationsSitAtTheirPositions)
{
    void *request = CreateComponent(HttpLibraryDescriptor());
    ASSERT_NE(nullptr, request);
    EXPECT_EQ(WebRequestOk, At<IntOfNone>(request, 2)(request));
    typedef int(__thiscall * OpenFunction)(void *, const char *, const char *, const char *, int, ReceiveCallback,
                                           void *);
    EXPECT_EQ(0, At<OpenFunction>(request, 0)(request, "not a url", "", nullptr, 0, nullptr, nullptr));
    EXPECT_NE(WebRequestOk, At<IntOfNone>(request, 2)(request));
    ReleaseComponent(HttpLibraryDescriptor(), request);
}

}  // namespace
