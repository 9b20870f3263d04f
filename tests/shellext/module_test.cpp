// The library as COM sees it: exports, class objects, lock counting and resources.
#include <gtest/gtest.h>

#include <shlobj.h>

#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

#include "shellext/guids.h"
#include "shellext/resource.h"
#include "test_support.h"

namespace {

// Every test runs in a single-threaded apartment, as Explorer's threads do.
class ComEnvironment : public testing::Environment {
public:
    void SetUp() override { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
    void TearDown() override { CoUninitialize(); }
};
testing::Environment* const gComEnvironment = testing::AddGlobalTestEnvironment(new ComEnvironment);

const CLSID* const kClasses[] = {&CLSID_ShellExt, &CLSID_PelmoraDoneOverlay,
                                 &CLSID_PelmoraHalfOverlay, &CLSID_PelmoraZeroOverlay};

class ExportsTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(Extension().module, nullptr) << "cannot load the library";
        // Nothing from an earlier test may keep the library busy.
        ASSERT_EQ(Extension().canUnloadNow(), S_OK);
    }
    ComPtr<IClassFactory> ClassObject(REFCLSID clsid) {
        ComPtr<IClassFactory> factory;
        EXPECT_EQ(Extension().getClassObject(clsid, IID_PPV_ARGS(&factory)), S_OK);
        return factory;
    }
};

TEST_F(ExportsTest, ExportsTheFiveEntryPointsUndecorated) {
    for (const char* name : {"DllGetClassObject", "DllCanUnloadNow", "DllRegisterServer",
                             "DllUnregisterServer", "DllInstall"}) {
        EXPECT_NE(GetProcAddress(Extension().module, name), nullptr) << name;
    }
}

TEST_F(ExportsTest, EveryClassHasOneCachedClassObject) {
    for (const CLSID* clsid : kClasses) {
        ComPtr<IClassFactory> first = ClassObject(*clsid);
        ComPtr<IClassFactory> second = ClassObject(*clsid);
        ASSERT_TRUE(first && second);
        EXPECT_EQ(first.Get(), second.Get());
        ComPtr<IUnknown> unknown;
        EXPECT_EQ(Extension().getClassObject(*clsid, IID_PPV_ARGS(&unknown)), S_OK);
    }
    EXPECT_NE(ClassObject(CLSID_ShellExt).Get(), ClassObject(CLSID_PelmoraDoneOverlay).Get());
}

TEST_F(ExportsTest, UnknownClassIsNotAvailableAndClearsThePointer) {
    void* out = reinterpret_cast<void*>(0x1234);
    EXPECT_EQ(Extension().getClassObject(APPID_PelmoraExt, IID_IClassFactory, &out),
              CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(Extension().getClassObject(CLSID_ShellExt, IID_IClassFactory, nullptr), E_POINTER);
    out = reinterpret_cast<void*>(0x1234);
    EXPECT_EQ(Extension().getClassObject(CLSID_ShellExt, IID_IDataObject, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
}

TEST_F(ExportsTest, CreateInstanceRefusesAggregationAndMissingPointers) {
    ComPtr<IClassFactory> factory = ClassObject(CLSID_ShellExt);
    ASSERT_TRUE(factory);
    ComPtr<IUnknown> outer = MakeDropDataObject({});
    void* out = reinterpret_cast<void*>(0x1234);
    EXPECT_EQ(factory->CreateInstance(outer.Get(), IID_IUnknown, &out), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, nullptr), E_POINTER);
    out = reinterpret_cast<void*>(0x1234);
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IShellIconOverlayIdentifier, &out),
              E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    // The object created for the failed query is gone again.
    factory.Reset();
    EXPECT_EQ(Extension().canUnloadNow(), S_OK);
}

TEST_F(ExportsTest, ObjectsAnswerOnlyTheirInterfaces) {
    ComPtr<IUnknown> menu = CreateExtensionObject<IUnknown>(CLSID_ShellExt);
    ASSERT_TRUE(menu);
    ComPtr<IShellExtInit> init;
    ComPtr<IContextMenu> contextMenu;
    ComPtr<IShellIconOverlayIdentifier> overlay;
    EXPECT_EQ(menu.As(&init), S_OK);
    EXPECT_EQ(menu.As(&contextMenu), S_OK);
    EXPECT_EQ(menu.As(&overlay), E_NOINTERFACE);
    ComPtr<IUnknown> identity;
    ASSERT_EQ(contextMenu.As(&identity), S_OK);
    EXPECT_EQ(identity.Get(), menu.Get());

    for (const CLSID* clsid :
         {&CLSID_PelmoraDoneOverlay, &CLSID_PelmoraHalfOverlay, &CLSID_PelmoraZeroOverlay}) {
        ComPtr<IUnknown> object = CreateExtensionObject<IUnknown>(*clsid);
        ASSERT_TRUE(object);
        ComPtr<IShellIconOverlayIdentifier> identifier;
        ComPtr<IContextMenu> notMenu;
        EXPECT_EQ(object.As(&identifier), S_OK);
        EXPECT_EQ(object.As(&notMenu), E_NOINTERFACE);
        EXPECT_EQ(notMenu.Get(), nullptr);
    }
}

class LockCountTest : public ExportsTest {};

TEST_F(LockCountTest, LiveObjectsKeepTheLibraryLoaded) {
    for (const CLSID* clsid : kClasses) {
        ComPtr<IUnknown> object = CreateExtensionObject<IUnknown>(*clsid);
        ASSERT_TRUE(object);
        EXPECT_EQ(Extension().canUnloadNow(), S_FALSE);
        ComPtr<IUnknown> second = object;  // more references to the same object
        object.Reset();
        EXPECT_EQ(Extension().canUnloadNow(), S_FALSE);
        second.Reset();
        EXPECT_EQ(Extension().canUnloadNow(), S_OK);
    }
}

TEST_F(LockCountTest, ServerLocksCountUntilReleased) {
    ComPtr<IClassFactory> factory = ClassObject(CLSID_PelmoraHalfOverlay);
    ASSERT_TRUE(factory);
    EXPECT_EQ(factory->LockServer(TRUE), S_OK);
    EXPECT_EQ(factory->LockServer(TRUE), S_OK);
    factory.Reset();
    EXPECT_EQ(Extension().canUnloadNow(), S_FALSE);
    ComPtr<IClassFactory> again = ClassObject(CLSID_PelmoraHalfOverlay);
    EXPECT_EQ(again->LockServer(FALSE), S_OK);
    again.Reset();
    EXPECT_EQ(Extension().canUnloadNow(), S_FALSE);
    ClassObject(CLSID_PelmoraHalfOverlay)->LockServer(FALSE);
    EXPECT_EQ(Extension().canUnloadNow(), S_OK);
}

TEST_F(LockCountTest, ClientReferencesToTheClassObjectKeepTheLibraryLoaded) {
    ComPtr<IClassFactory> factory = ClassObject(CLSID_PelmoraZeroOverlay);
    ASSERT_TRUE(factory);
    EXPECT_EQ(Extension().canUnloadNow(), S_FALSE);
    // The module's reference plus the client's: the next one makes three.
    EXPECT_EQ(factory->AddRef(), 3u);
    EXPECT_EQ(factory->Release(), 2u);
    factory.Reset();
    EXPECT_EQ(Extension().canUnloadNow(), S_OK);
    // The module still holds it: the same object comes back.
    ComPtr<IClassFactory> again = ClassObject(CLSID_PelmoraZeroOverlay);
    EXPECT_EQ(again->Release(), 1u);
    again.Detach();
    EXPECT_EQ(Extension().canUnloadNow(), S_OK);
}

// Explorer's threads take and drop the cached class objects at once. A thread that holds one must
// never be told the library may unload, however the other threads' references interleave.
TEST_F(LockCountTest, HeldClassObjectKeepsTheLibraryLoadedUnderContention) {
    constexpr int kThreads = 4;
    constexpr int kRounds = 2000000;
    std::atomic<int> unloadableWhileHeld{0};
    std::atomic<int> failedGets{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            const CLSID& clsid = *kClasses[t % 2];  // two threads on each of two class objects
            for (int i = 0; i < kRounds; ++i) {
                IClassFactory* factory = nullptr;
                if (Extension().getClassObject(clsid, IID_IClassFactory,
                                               reinterpret_cast<void**>(&factory)) != S_OK) {
                    ++failedGets;
                    continue;
                }
                if (Extension().canUnloadNow() != S_FALSE) ++unloadableWhileHeld;
                factory->Release();
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(failedGets.load(), 0);
    EXPECT_EQ(unloadableWhileHeld.load(), 0);
    EXPECT_EQ(Extension().canUnloadNow(), S_OK);
}

// The resources Explorer and the version dialog read.
class ResourcesTest : public testing::Test {
protected:
    HMODULE module_ = LoadLibraryExW(ExtensionPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    void TearDown() override { FreeLibrary(module_); }
};

std::wstring VersionString(const std::wstring& file, const wchar_t* name) {
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeW(file.c_str(), &handle);
    std::string data(size, '\0');
    if (size == 0 || !GetFileVersionInfoW(file.c_str(), 0, size, data.data())) return {};
    void* value = nullptr;
    UINT length = 0;
    const std::wstring path = std::wstring(L"\\StringFileInfo\\040904b0\\") + name;
    if (!VerQueryValueW(data.data(), path.c_str(), &value, &length)) return {};
    return static_cast<const wchar_t*>(value);
}

TEST_F(ResourcesTest, VersionBlockCarriesTheProductStrings) {
    const std::wstring file = ExtensionPath();
    EXPECT_EQ(VersionString(file, L"FileDescription"), L"Pelmora Shell Extension");
    EXPECT_EQ(VersionString(file, L"FileVersion"), PELMORA_FILE_VERSION);
    EXPECT_EQ(VersionString(file, L"ProductVersion"), PELMORA_FILE_VERSION);
    EXPECT_EQ(VersionString(file, L"InternalName"), L"PelmoraExt.dll");
    EXPECT_EQ(VersionString(file, L"OriginalFilename"), L"PelmoraExt.dll");
    EXPECT_EQ(VersionString(file, L"ProductName"), L"Pelmora");
}

BOOL CALLBACK CollectName(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR list) {
    reinterpret_cast<std::vector<UINT_PTR>*>(list)->push_back(reinterpret_cast<UINT_PTR>(name));
    return TRUE;
}

TEST_F(ResourcesTest, OverlayIconGroupsComeFirstWithNineImages) {
    ASSERT_NE(module_, nullptr);
    std::vector<UINT_PTR> groups;
    EnumResourceNamesW(module_, RT_GROUP_ICON, CollectName, reinterpret_cast<LONG_PTR>(&groups));
    ASSERT_EQ(groups,
              (std::vector<UINT_PTR>{IDI_DONE_OVERLAY, IDI_HALF_OVERLAY, IDI_ZERO_OVERLAY}));
    for (UINT_PTR group : groups) {
        HRSRC found = FindResourceW(module_, MAKEINTRESOURCEW(group), RT_GROUP_ICON);
        ASSERT_NE(found, nullptr);
        const auto* dir = static_cast<const BYTE*>(LockResource(LoadResource(module_, found)));
        const WORD count = *reinterpret_cast<const WORD*>(dir + 4);
        EXPECT_EQ(count, 9) << group;
        // Entries of 14 bytes follow the 6-byte header; the sixth is the 256x256 image
        // (width byte 0), stored as PNG.
        const BYTE* big = dir + 6 + 14 * 5;
        EXPECT_EQ(big[0], 0);
        const WORD id = *reinterpret_cast<const WORD*>(big + 12);
        HRSRC image = FindResourceW(module_, MAKEINTRESOURCEW(id), RT_ICON);
        ASSERT_NE(image, nullptr);
        const auto* bytes = static_cast<const BYTE*>(LockResource(LoadResource(module_, image)));
        EXPECT_EQ(std::memcmp(bytes, "\x89PNG", 4), 0) << group;
    }
}

TEST_F(ResourcesTest, MenuBitmapIsThirteenSquareTrueColour) {
    ASSERT_NE(module_, nullptr);
    HRSRC found = FindResourceW(module_, MAKEINTRESOURCEW(IDB_MENU), RT_BITMAP);
    ASSERT_NE(found, nullptr);
    const auto* info =
        static_cast<const BITMAPINFOHEADER*>(LockResource(LoadResource(module_, found)));
    EXPECT_EQ(info->biWidth, 13);
    EXPECT_EQ(std::abs(info->biHeight), 13);
    EXPECT_EQ(info->biBitCount, 24);
}

}  // namespace
