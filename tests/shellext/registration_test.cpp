// Registration in the test prefix's registry, by regsvr32 and by DllInstall in processes of
// their own, checked key by key. Every test leaves the registry as it found it.
#include <gtest/gtest.h>

#include "shellext/guids.h"
#include "test_support.h"

namespace {

const std::wstring kOverlayIdentifiers =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ShellIconOverlayIdentifiers";

struct ClassKeys {
    const CLSID* clsid;
    const wchar_t* description;
};
const ClassKeys kClassKeys[] = {
    {&CLSID_ShellExt, L"Pelmora ShellExt Class"},
    {&CLSID_PelmoraDoneOverlay, L"PelmoraDoneOverlay Class"},
    {&CLSID_PelmoraHalfOverlay, L"PelmoraHalfOverlay Class"},
    {&CLSID_PelmoraZeroOverlay, L"PelmoraZeroOverlay Class"},
};
struct OverlayKey {
    const wchar_t* name;
    const CLSID* clsid;
};
const OverlayKey kOverlayKeys[] = {
    {L"PelmoraDoneOverlay", &CLSID_PelmoraDoneOverlay},
    {L"PelmoraHalfOverlay", &CLSID_PelmoraHalfOverlay},
    {L"PelmoraZeroOverlay", &CLSID_PelmoraZeroOverlay},
};

// Where the context-menu handler is registered: every file, every folder, a folder's background.
const wchar_t* const kHandlerKinds[] = {L"*", L"Folder", L"Directory\\Background"};

std::wstring ClassKey(const CLSID& clsid) {
    return L"CLSID\\" + GuidText(clsid);
}

std::wstring Quoted(const std::wstring& text) {
    return L"\"" + text + L"\"";
}

// Where the class entries of one registration mode live.
struct Mode {
    HKEY root;
    std::wstring prefix;
};
const Mode kMachine = {HKEY_LOCAL_MACHINE, L"Software\\Classes\\"};
const Mode kUser = {HKEY_CURRENT_USER, L"Software\\Classes\\"};

class RegistrationTest : public testing::Test {
protected:
    void SetUp() override { RemoveAll(); }
    void TearDown() override { RemoveAll(); }

    static void RemoveAll() {
        ASSERT_EQ(Host(L"install 0 user"), 0u);
        ASSERT_EQ(Host(L"unregister"), 0u);
    }

    static std::optional<DWORD> Host(const std::wstring& arguments) {
        return RunProcess(Quoted(HostPath()) + L" " + Quoted(ExtensionPath()) + L" " + arguments);
    }
    static std::optional<DWORD> Regsvr32(const std::wstring& switches) {
        return RunProcess(L"regsvr32.exe /s " + switches + L" " + Quoted(ExtensionPath()));
    }

    // Checks every key and value a registration writes, in `mode`'s classes.
    static void ExpectRegistered(const Mode& mode) {
        const std::wstring path = ExtensionPath();
        for (const ClassKeys& entry : kClassKeys) {
            SCOPED_TRACE(entry.description);
            const std::wstring key = mode.prefix + ClassKey(*entry.clsid);
            EXPECT_EQ(ReadString(mode.root, key, nullptr), entry.description);
            const auto server = ReadString(mode.root, key + L"\\InprocServer32", nullptr);
            ASSERT_TRUE(server.has_value());
            EXPECT_EQ(CompareStringOrdinal(server->c_str(), -1, path.c_str(), -1, TRUE), CSTR_EQUAL)
                << WideToUtf8(*server);
            EXPECT_EQ(ReadString(mode.root, key + L"\\InprocServer32", L"ThreadingModel"),
                      L"Apartment");
            EXPECT_EQ(ReadString(mode.root, key + L"\\Version", nullptr), L"1.0");
        }
        for (const wchar_t* kind : kHandlerKinds) {
            EXPECT_EQ(
                ReadString(mode.root,
                           mode.prefix + kind + L"\\ShellEx\\ContextMenuHandlers\\PelmoraShellExt",
                           nullptr),
                GuidText(CLSID_ShellExt))
                << WideToUtf8(kind);
        }
        ExpectOverlayKeys(true);
    }

    static void ExpectOverlayKeys(bool present) {
        for (const OverlayKey& overlay : kOverlayKeys) {
            const auto value =
                ReadString(HKEY_LOCAL_MACHINE, kOverlayIdentifiers + L"\\" + overlay.name, nullptr);
            if (present) {
                EXPECT_EQ(value, GuidText(*overlay.clsid)) << WideToUtf8(overlay.name);
            } else {
                EXPECT_FALSE(value.has_value()) << WideToUtf8(overlay.name);
            }
        }
    }

    static void ExpectNoClassKeys(const Mode& mode) {
        for (const ClassKeys& entry : kClassKeys) {
            EXPECT_FALSE(KeyExists(mode.root, mode.prefix + ClassKey(*entry.clsid)))
                << WideToUtf8(entry.description);
        }
        for (const wchar_t* kind : kHandlerKinds) {
            EXPECT_FALSE(
                KeyExists(mode.root,
                          mode.prefix + kind + L"\\ShellEx\\ContextMenuHandlers\\PelmoraShellExt"));
        }
    }

    // The keys shared with every other extension survive any unregistration.
    static void ExpectSharedParents(const Mode& mode) {
        EXPECT_TRUE(KeyExists(mode.root, mode.prefix + L"CLSID"));
        for (const wchar_t* kind : kHandlerKinds) {
            EXPECT_TRUE(
                KeyExists(mode.root, mode.prefix + kind + L"\\ShellEx\\ContextMenuHandlers"));
        }
        EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kOverlayIdentifiers));
    }
};

TEST_F(RegistrationTest, Regsvr32RegistersEveryKeyForTheMachine) {
    ASSERT_EQ(Regsvr32(L""), 0u);
    ExpectRegistered(kMachine);
    ExpectNoClassKeys(kUser);
    // HKEY_CLASSES_ROOT shows the same entries.
    EXPECT_EQ(ReadString(HKEY_CLASSES_ROOT, ClassKey(CLSID_ShellExt), nullptr),
              L"Pelmora ShellExt Class");
}

TEST_F(RegistrationTest, RegisteringTwiceLeavesOneFreshSet) {
    ASSERT_EQ(Regsvr32(L""), 0u);
    // Leftovers below keys that are written anew must go.
    const std::wstring stale = kMachine.prefix + ClassKey(CLSID_PelmoraDoneOverlay) + L"\\Stale";
    HKEY key;
    ASSERT_EQ(RegCreateKeyExW(kMachine.root, stale.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
    ASSERT_EQ(
        RegSetKeyValueW(HKEY_LOCAL_MACHINE, (kOverlayIdentifiers + L"\\PelmoraHalfOverlay").c_str(),
                        nullptr, REG_SZ, L"x", 4),
        ERROR_SUCCESS);
    ASSERT_EQ(Regsvr32(L""), 0u);
    ExpectRegistered(kMachine);
    EXPECT_FALSE(KeyExists(kMachine.root, stale));
}

TEST_F(RegistrationTest, UnregisteringTwiceRemovesOurKeysAndKeepsSharedOnes) {
    ASSERT_EQ(Regsvr32(L""), 0u);
    ASSERT_EQ(Regsvr32(L"/u"), 0u);
    ExpectNoClassKeys(kMachine);
    ExpectOverlayKeys(false);
    ExpectSharedParents(kMachine);
    EXPECT_EQ(Regsvr32(L"/u"), 0u);
    EXPECT_EQ(Host(L"unregister"), 0u);
}

TEST_F(RegistrationTest, UnregisteringKeepsKeysThatHoldForeignSubkeys) {
    ASSERT_EQ(Regsvr32(L""), 0u);
    const std::wstring server = kMachine.prefix + ClassKey(CLSID_ShellExt) + L"\\InprocServer32";
    const std::wstring handlers = kMachine.prefix + L"Folder\\ShellEx\\ContextMenuHandlers";
    for (const std::wstring& foreign : {server + L"\\Foreign", handlers + L"\\OtherHandler"}) {
        HKEY key;
        ASSERT_EQ(RegCreateKeyExW(kMachine.root, foreign.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                                  &key, nullptr),
                  ERROR_SUCCESS);
        RegCloseKey(key);
    }
    ASSERT_EQ(Regsvr32(L"/u"), 0u);
    // The unmarked key stays for its foreign subkey, without our value; so does its parent.
    EXPECT_TRUE(KeyExists(kMachine.root, server + L"\\Foreign"));
    EXPECT_FALSE(ValueExists(kMachine.root, server, L"ThreadingModel"));
    EXPECT_FALSE(
        KeyExists(kMachine.root, kMachine.prefix + ClassKey(CLSID_ShellExt) + L"\\Version"));
    EXPECT_TRUE(KeyExists(kMachine.root, handlers + L"\\OtherHandler"));
    EXPECT_FALSE(KeyExists(kMachine.root, handlers + L"\\PelmoraShellExt"));
    RegDeleteTreeW(kMachine.root, (kMachine.prefix + ClassKey(CLSID_ShellExt)).c_str());
    RegDeleteKeyW(kMachine.root, (handlers + L"\\OtherHandler").c_str());
}

TEST_F(RegistrationTest, DllInstallUserRegistersPerUserWithMachineOverlays) {
    ASSERT_EQ(Regsvr32(L"/n /i:user"), 0u);
    ExpectRegistered(kUser);
    ExpectNoClassKeys(kMachine);
    ASSERT_EQ(Regsvr32(L"/u /n /i:user"), 0u);
    ExpectNoClassKeys(kUser);
    ExpectOverlayKeys(false);
    ExpectSharedParents(kUser);
    EXPECT_EQ(Regsvr32(L"/u /n /i:user"), 0u);
}

TEST_F(RegistrationTest, DllInstallMatchesTheWholeTextWithoutCase) {
    ASSERT_EQ(Host(L"install 1 USER"), 0u);
    ExpectRegistered(kUser);
    ExpectNoClassKeys(kMachine);
    RemoveAll();
    for (const wchar_t* arguments : {L"install 1 users", L"install 1 \"user \"", L"install 1"}) {
        SCOPED_TRACE(WideToUtf8(arguments));
        ASSERT_EQ(Host(arguments), 0u);
        ExpectRegistered(kMachine);
        ExpectNoClassKeys(kUser);
        RemoveAll();
    }
}

// Registry keys below a volatile key must be volatile too, so a volatile handler list makes
// the per-user registration fail part-way through, after it has written other keys.
TEST_F(RegistrationTest, FailedPerUserRegistrationIsUndone) {
    const std::wstring handlers = L"Software\\Classes\\Folder\\ShellEx\\ContextMenuHandlers";
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, handlers.c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS) {
        DWORD subkeys = 0;
        RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr,
                         nullptr, nullptr, nullptr, nullptr);
        RegCloseKey(key);
        if (subkeys != 0) GTEST_SKIP() << "the prefix has per-user folder handlers";
        ASSERT_EQ(RegDeleteKeyW(HKEY_CURRENT_USER, handlers.c_str()), ERROR_SUCCESS);
    }
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, handlers.c_str(), 0, nullptr, REG_OPTION_VOLATILE,
                              KEY_WRITE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
    const auto result = Host(L"install 1 user");
    // Put an ordinary (empty) list back.
    RegDeleteKeyW(HKEY_CURRENT_USER, handlers.c_str());
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, handlers.c_str(), 0, nullptr, 0, KEY_WRITE,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(static_cast<HRESULT>(*result), HRESULT_FROM_WIN32(ERROR_CHILD_MUST_BE_VOLATILE));
    // What was written before the failure is gone again.
    ExpectNoClassKeys(kUser);
    ExpectOverlayKeys(false);
}

TEST_F(RegistrationTest, RegisteredClassesAreCreatedThroughCom) {
    ASSERT_EQ(Regsvr32(L""), 0u);
    ComPtr<IContextMenu> menu;
    EXPECT_EQ(CoCreateInstance(CLSID_ShellExt, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&menu)),
              S_OK);
    for (const OverlayKey& overlay : kOverlayKeys) {
        ComPtr<IShellIconOverlayIdentifier> identifier;
        EXPECT_EQ(CoCreateInstance(*overlay.clsid, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_PPV_ARGS(&identifier)),
                  S_OK)
            << WideToUtf8(overlay.name);
        int priority = -1;
        ASSERT_TRUE(identifier);
        EXPECT_EQ(identifier->GetPriority(&priority), S_OK);
    }
    menu.Reset();
    ASSERT_EQ(Regsvr32(L"/u"), 0u);
    ComPtr<IUnknown> gone;
    EXPECT_EQ(CoCreateInstance(CLSID_PelmoraDoneOverlay, nullptr, CLSCTX_INPROC_SERVER,
                               IID_PPV_ARGS(&gone)),
              REGDB_E_CLASSNOTREG);
}

}  // namespace
