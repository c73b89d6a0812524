#include <gtest/gtest.h>
#include <windows.h>

#include <string.h>

#include <vector>

#include "components/ComponentAccess.h"
#include "components/SkinEngine.h"
#include "components/WebRequest.h"

namespace {

// A descriptor of the test's own, used by its address (no jump stub).
std::vector<void *> gDestroyed;

void __cdecl RecordDestroy(void *object)
{
    gDestroyed.push_back(object);
}

void *__cdecl CreateMarker()
{
    static int marker;
    return &marker;
}

class DescriptorTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        gDestroyed.clear();
        descriptor = ComponentDescriptor{0x54534554, CreateMarker, RecordDestroy, 0, nullptr, 0};
    }

    void TearDown() override
    {
        while (InstanceNode *node = descriptor.instances) {
            descriptor.instances = node->next;
            LocalFree(node);
        }
    }

    // Lists objects so that the first one given ends up at the head.
    void List(std::initializer_list<std::pair<void *, LONG>> entries)
    {
        std::vector<std::pair<void *, LONG>> all(entries);
        for (auto it = all.rbegin(); it != all.rend(); ++it) {
            InstanceNode *node = static_cast<InstanceNode *>(LocalAlloc(LMEM_FIXED, sizeof(InstanceNode)));
            node->object = it->first;
            node->refCount = it->second;
            node->next = descriptor.instances;
            descriptor.instances = node;
        }
    }

    std::vector<void *> ListedObjects() const
    {
        std::vector<void *> objects;
        for (InstanceNode *node = descriptor.instances; node; node = node->next)
            objects.push_back(node->object);
        return objects;
    }

    ComponentDescriptor descriptor;
    int a = 0, b = 0, c = 0, d = 0;
};

TEST_F(DescriptorTest, OwnAddressIsUsedDirectly)
{
    EXPECT_EQ(&descriptor, ResolveDescriptor(&descriptor));
    EXPECT_EQ(CreateMarker(), CreateComponent(&descriptor));
}

TEST_F(DescriptorTest, NullAddressCreatesNothingAndReleasesNothing)
{
    EXPECT_EQ(nullptr, CreateComponent(nullptr));
    ReleaseComponent(nullptr, &a);
    EXPECT_TRUE(gDestroyed.empty());
}

TEST_F(DescriptorTest, NullCreateYieldsNull)
{
    descriptor.create = nullptr;
    EXPECT_EQ(nullptr, CreateComponent(&descriptor));
}

TEST_F(DescriptorTest, UnknownObjectIsDestroyedOnceAndListUnchanged)
{
    List({{&a, 1}, {&b, 1}});
    ReleaseComponent(&descriptor, &c);
    ASSERT_EQ(1u, gDestroyed.size());
    EXPECT_EQ(&c, gDestroyed[0]);
    EXPECT_EQ((std::vector<void *>{&a, &b}), ListedObjects());
    EXPECT_EQ(0, descriptor.lockWord);
}

TEST_F(DescriptorTest, SecondReferenceKeepsTheObjectAlive)
{
    List({{&a, 2}});
    ReleaseComponent(&descriptor, &a);
    EXPECT_TRUE(gDestroyed.empty());
    ASSERT_NE(nullptr, descriptor.instances);
    EXPECT_EQ(1, descriptor.instances->refCount);
    EXPECT_EQ(0, descriptor.lockWord);

    ReleaseComponent(&descriptor, &a);
    EXPECT_EQ(nullptr, descriptor.instances);
    ASSERT_EQ(1u, gDestroyed.size());
    EXPECT_EQ(&a, gDestroyed[0]);
    EXPECT_EQ(0, descriptor.lockWord);
}

TEST_F(DescriptorTest, UnlinksAtHeadMiddleAndThirdPosition)
{
    List({{&a, 1}, {&b, 1}, {&c, 1}, {&d, 1}});
    ReleaseComponent(&descriptor, &c);  // third
    EXPECT_EQ((std::vector<void *>{&a, &b, &d}), ListedObjects());
    ReleaseComponent(&descriptor, &b);  // middle
    EXPECT_EQ((std::vector<void *>{&a, &d}), ListedObjects());
    ReleaseComponent(&descriptor, &a);  // head
    EXPECT_EQ((std::vector<void *>{&d}), ListedObjects());
    EXPECT_EQ((std::vector<void *>{&c, &b, &a}), gDestroyed);
    EXPECT_EQ(0, descriptor.lockWord);
}

TEST_F(DescriptorTest, NullDestroyStillUnlinksAndFreesTheLock)
{
    descriptor.destroy = nullptr;
    List({{&a, 2}, {&b, 1}});
    ReleaseComponent(&descriptor, &b);
    EXPECT_EQ((std::vector<void *>{&a}), ListedObjects());
    ReleaseComponent(&descriptor, &a);
    EXPECT_EQ(1, descriptor.instances->refCount);
    ReleaseComponent(&descriptor, &c);
    EXPECT_EQ(0, descriptor.lockWord);
}

struct ReleaseJob {
    ComponentDescriptor *descriptor;
    std::vector<int> *objects;
};

DWORD WINAPI ReleaseEach(void *argument)
{
    ReleaseJob *job = static_cast<ReleaseJob *>(argument);
    for (int &object : *job->objects)
        ReleaseComponent(job->descriptor, &object);
    return 0;
}

TEST_F(DescriptorTest, ConcurrentReleasesKeepTheListConsistent)
{
    descriptor.destroy = nullptr;  // the recording vector is not thread-safe
    const size_t kObjects = 4000;
    std::vector<int> objects(kObjects);
    // Every object is listed with two references; each thread gives back one
    // of each, so every node must reach zero and be unlinked exactly once.
    for (size_t i = 0; i < kObjects; ++i) {
        InstanceNode *node = static_cast<InstanceNode *>(LocalAlloc(LMEM_FIXED, sizeof(InstanceNode)));
        node->object = &objects[i];
        node->refCount = 2;
        node->next = descriptor.instances;
        descriptor.instances = node;
    }
    ReleaseJob job{&descriptor, &objects};
    HANDLE threads[2] = {CreateThread(nullptr, 0, ReleaseEach, &job, 0, nullptr),
                         CreateThread(nullptr, 0, ReleaseEach, &job, 0, nullptr)};
    ASSERT_EQ(WAIT_OBJECT_0, WaitForMultipleObjects(2, threads, TRUE, 60000));
    CloseHandle(threads[0]);
    CloseHandle(threads[1]);
    EXPECT_EQ(nullptr, descriptor.instances);
    EXPECT_EQ(0, descriptor.lockWord);
}

// The real libraries, reached through the import by ordinal 1.
bool WithinModule(const void *address, const char *moduleName)
{
    HMODULE module = GetModuleHandleA(moduleName);
    MEMORY_BASIC_INFORMATION info;
    return module && VirtualQuery(address, &info, sizeof(info)) && info.AllocationBase == module;
}

TEST(ImportedDescriptor, ImportAddressIsAJumpStubThatResolvesIntoTheLibrary)
{
    for (const void *address : {SkinLibraryDescriptor(), HttpLibraryDescriptor()}) {
        const unsigned char *bytes = static_cast<const unsigned char *>(address);
        EXPECT_EQ(0xFF, bytes[0]);
        EXPECT_EQ(0x25, bytes[1]);
    }
    ComponentDescriptor *skin = ResolveDescriptor(SkinLibraryDescriptor());
    ComponentDescriptor *http = ResolveDescriptor(HttpLibraryDescriptor());
    EXPECT_TRUE(WithinModule(skin, "Facetta.dll"));
    EXPECT_TRUE(WithinModule(http, "Netquill.dll"));
    // The same descriptors as the libraries' ordinal-1 exports.
    EXPECT_EQ(reinterpret_cast<FARPROC>(skin), GetProcAddress(GetModuleHandleA("Facetta.dll"), MAKEINTRESOURCEA(1)));
    EXPECT_EQ(reinterpret_cast<FARPROC>(http), GetProcAddress(GetModuleHandleA("Netquill.dll"), MAKEINTRESOURCEA(1)));
    // A descriptor's own address resolves to itself.
    EXPECT_EQ(skin, ResolveDescriptor(skin));
}

// The stub as this architecture's linker writes it, built by hand: FF 25 and
// the cell's own address on x86; on x64 the cell's distance from the end of
// the six-byte instruction, which may lie before or after the stub.
const unsigned char *WriteStub(unsigned char *stub, void *const *cell)
{
    stub[0] = 0xFF;
    stub[1] = 0x25;
#ifdef _WIN64
    INT32 displacement = static_cast<INT32>(reinterpret_cast<const unsigned char *>(cell) - (stub + 6));
    memcpy(stub + 2, &displacement, sizeof(displacement));
#else
    memcpy(stub + 2, &cell, sizeof(cell));
#endif
    return stub;
}

TEST(ImportedDescriptor, StubOfThisArchitectureLeadsThroughItsCellOneLevelOnly)
{
    ComponentDescriptor first{0x31534554, CreateMarker, nullptr, 0, nullptr, 0};
    ComponentDescriptor second{0x32534554, CreateMarker, nullptr, 0, nullptr, 0};
    struct {
        void *cellBefore;
        unsigned char stub[16];
        unsigned char chained[16];
        void *cellAfter;
    } block = {};
    block.cellBefore = &first;
    block.cellAfter = &second;
    EXPECT_EQ(&first, ResolveDescriptor(WriteStub(block.stub, &block.cellBefore)));
    EXPECT_EQ(&second, ResolveDescriptor(WriteStub(block.stub, &block.cellAfter)));
    // A cell that holds another stub yields that stub's address, not what lies behind it.
    block.cellAfter = const_cast<unsigned char *>(WriteStub(block.chained, &block.cellBefore));
    EXPECT_EQ(static_cast<void *>(block.chained), ResolveDescriptor(WriteStub(block.stub, &block.cellAfter)));
}

size_t CountListed(ComponentDescriptor *descriptor, void *object)
{
    size_t count = 0;
    for (InstanceNode *node = descriptor->instances; node; node = node->next)
        count += node->object == object;
    return count;
}

TEST(ImportedDescriptor, LibrariesListWhatTheyCreateAndReleaseUnlinksIt)
{
    for (const void *address : {SkinLibraryDescriptor(), HttpLibraryDescriptor()}) {
        ComponentDescriptor *descriptor = ResolveDescriptor(address);
        void *first = CreateComponent(address);
        void *second = CreateComponent(descriptor);  // by its own address too
        ASSERT_NE(nullptr, first);
        ASSERT_NE(nullptr, second);
        EXPECT_NE(first, second);
        EXPECT_EQ(1u, CountListed(descriptor, first));
        EXPECT_EQ(1u, CountListed(descriptor, second));
        ReleaseComponent(address, first);
        EXPECT_EQ(0u, CountListed(descriptor, first));
        EXPECT_EQ(1u, CountListed(descriptor, second));
        ReleaseComponent(descriptor, second);
        EXPECT_EQ(0u, CountListed(descriptor, second));
        EXPECT_EQ(0, descriptor->lockWord);
    }
}

}  // namespace
