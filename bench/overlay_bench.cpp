// What the overlay identifiers add to the calls Explorer already pays for every item shown:
// IsMemberOf over 10,000 item paths against bare loops of the same system calls, (a) in a
// folder without "pelmora.ini", (b) in one whose "pelmora.ini" holds 1,000 entries and (c) in
// one whose "pelmora.ini" is larger than the 1 MB the overlays read, against the bare existence
// test. Goal: at most 1.2 times the bare calls in each. Runs under Wine; loads PelmoraExt.dll.
#include <windows.h>

#include <objbase.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <wincrypt.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

// {39CB4FD6-FFC1-4F66-89AB-02AD2511EE32}, the done overlay of PelmoraExt.dll.
const CLSID kDoneOverlay = {0x39cb4fd6,
                            0xffc1,
                            0x4f66,
                            {0x89, 0xab, 0x02, 0xad, 0x25, 0x11, 0xee, 0x32}};
constexpr int kItems = 10000;
constexpr int kEntries = 1000;
constexpr int kRounds = 7;

std::wstring DllPath() {
    std::string path = PELMORA_EXT_DLL;
    std::wstring wide(path.begin(), path.end());
    if (!wide.empty() && wide[0] == L'/') wide = L"Z:" + wide;
    std::replace(wide.begin(), wide.end(), L'/', L'\\');
    return wide;
}

// The item's key as the program writes it: MD5 of the name's UTF-8 bytes, lower-case hex.
std::wstring FolderKeyOf(const std::wstring& name, HCRYPTPROV provider) {
    std::string utf8(name.size() * 4, '\0');
    utf8.resize(WideCharToMultiByte(CP_UTF8, 0, name.data(), static_cast<int>(name.size()),
                                    utf8.data(), static_cast<int>(utf8.size()), nullptr, nullptr));
    HCRYPTHASH hash = 0;
    BYTE digest[16] = {};
    DWORD length = sizeof digest;
    CryptCreateHash(provider, CALG_MD5, 0, 0, &hash);
    CryptHashData(hash, reinterpret_cast<const BYTE*>(utf8.data()), static_cast<DWORD>(utf8.size()),
                  0);
    CryptGetHashParam(hash, HP_HASHVAL, digest, &length, 0);
    CryptDestroyHash(hash);
    std::wstring key;
    for (BYTE b : digest) {
        wchar_t hex[3];
        swprintf(hex, 3, L"%02x", b);
        key += hex;
    }
    return key;
}

double Seconds(LARGE_INTEGER start, LARGE_INTEGER end) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(end.QuadPart - start.QuadPart) /
           static_cast<double>(frequency.QuadPart);
}

// Microseconds per item of one pass of `body` over all items.
template <class Body>
double MicrosecondsPerItem(Body body) {
    LARGE_INTEGER start, end;
    QueryPerformanceCounter(&start);
    body();
    QueryPerformanceCounter(&end);
    return Seconds(start, end) * 1e6 / kItems;
}

// The best of several rounds of each, taken in turns so that both see the same conditions
// (Wine's file calls go through its server, whose speed drifts).
template <class Extension, class Bare>
void BestOfRounds(Extension extension, Bare bare, double& extensionBest, double& bareBest) {
    extensionBest = bareBest = 1e30;
    for (int round = 0; round < kRounds; ++round) {
        extensionBest = std::min(extensionBest, MicrosecondsPerItem(extension));
        bareBest = std::min(bareBest, MicrosecondsPerItem(bare));
    }
}

struct ItemFolder {
    std::wstring path;
    std::wstring statusFile;
    std::vector<std::wstring> items;
    std::vector<std::wstring> keys;
};

ItemFolder MakeFolder(const std::wstring& root, const wchar_t* name, HCRYPTPROV provider) {
    ItemFolder folder;
    folder.path = root + L"\\" + name;
    CreateDirectoryW(folder.path.c_str(), nullptr);
    folder.statusFile = folder.path + L"\\pelmora.ini";
    for (int i = 0; i < kItems; ++i) {
        const std::wstring item = L"Item " + std::to_wstring(i);
        folder.items.push_back(folder.path + L"\\" + item);
        folder.keys.push_back(FolderKeyOf(item, provider));
    }
    return folder;
}

void Report(const char* name, double extension, double bare) {
    std::printf("%-44s IsMemberOf %8.3f us/call   bare %8.3f us/call   ratio %.3f (goal <= 1.2)\n",
                name, extension, bare, extension / bare);
}

}  // namespace

int main() {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    HMODULE module = LoadLibraryW(DllPath().c_str());
    if (module == nullptr) {
        std::fprintf(stderr, "cannot load %ls\n", DllPath().c_str());
        return 1;
    }
    using GetClassObjectFn = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    auto getClassObject = reinterpret_cast<GetClassObjectFn>(
        reinterpret_cast<void*>(GetProcAddress(module, "DllGetClassObject")));
    IClassFactory* factory = nullptr;
    IShellIconOverlayIdentifier* overlay = nullptr;
    if (getClassObject == nullptr ||
        FAILED(
            getClassObject(kDoneOverlay, IID_IClassFactory, reinterpret_cast<void**>(&factory))) ||
        FAILED(factory->CreateInstance(nullptr, IID_IShellIconOverlayIdentifier,
                                       reinterpret_cast<void**>(&overlay)))) {
        std::fprintf(stderr, "cannot create the overlay identifier\n");
        return 1;
    }

    HCRYPTPROV provider = 0;
    CryptAcquireContextW(&provider, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT);
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring root =
        std::wstring(temp) + L"pelmora-overlay-bench-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(root.c_str(), nullptr);
    const ItemFolder plain = MakeFolder(root, L"plain", provider);
    const ItemFolder tracked = MakeFolder(root, L"tracked", provider);
    const ItemFolder oversized = MakeFolder(root, L"oversized", provider);
    {
        // A real entry for every item, then padding past the cap: were the file parsed, every
        // call would read megabytes.
        std::string text = "[pelmora]\r\n";
        for (int i = 0; i < kItems; ++i) {
            text += std::string(oversized.keys[i].begin(), oversized.keys[i].end()) + "=3\r\n";
        }
        text += ";" + std::string(2 * 1024 * 1024, 'x') + "\r\n";
        HANDLE file = CreateFileW(oversized.statusFile.c_str(), GENERIC_WRITE, 0, nullptr,
                                  CREATE_ALWAYS, 0, nullptr);
        DWORD written = 0;
        WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        CloseHandle(file);
    }
    for (int i = 0; i < kEntries; ++i) {
        const wchar_t value[] = {static_cast<wchar_t>(L'0' + i % 4), L'\0'};
        WritePrivateProfileStringW(L"pelmora", tracked.keys[i * (kItems / kEntries)].c_str(), value,
                                   tracked.statusFile.c_str());
    }

    volatile long sink = 0;
    double plainExtension, plainBare, trackedExtension, trackedBare;
    BestOfRounds(
        [&] {
            for (const std::wstring& item : plain.items) {
                sink += overlay->IsMemberOf(item.c_str(), 0);
            }
        },
        [&] {
            for (int i = 0; i < kItems; ++i) sink += PathFileExistsW(plain.statusFile.c_str());
        },
        plainExtension, plainBare);
    BestOfRounds(
        [&] {
            for (const std::wstring& item : tracked.items) {
                sink += overlay->IsMemberOf(item.c_str(), 0);
            }
        },
        [&] {
            for (int i = 0; i < kItems; ++i) {
                if (PathFileExistsW(tracked.statusFile.c_str())) {
                    sink += GetPrivateProfileIntW(L"pelmora", tracked.keys[i].c_str(), 0,
                                                  tracked.statusFile.c_str());
                }
            }
        },
        trackedExtension, trackedBare);

    double oversizedExtension, oversizedBare;
    long claimed = 0;
    BestOfRounds(
        [&] {
            for (const std::wstring& item : oversized.items) {
                claimed += overlay->IsMemberOf(item.c_str(), 0) == S_OK;
            }
        },
        [&] {
            for (int i = 0; i < kItems; ++i) sink += PathFileExistsW(oversized.statusFile.c_str());
        },
        oversizedExtension, oversizedBare);

    std::printf("overlay_bench: %d item paths per round, best of %d rounds\n", kItems, kRounds);
    Report("(a) folder without pelmora.ini", plainExtension, plainBare);
    Report("(b) pelmora.ini with 1,000 entries", trackedExtension, trackedBare);
    Report("(c) pelmora.ini above the 1 MB cap", oversizedExtension, oversizedBare);
    if (claimed != 0) std::printf("(c) WRONG: %ld items claimed from an oversized file\n", claimed);

    overlay->Release();
    factory->Release();
    DeleteFileW(tracked.statusFile.c_str());
    DeleteFileW(oversized.statusFile.c_str());
    RemoveDirectoryW(oversized.path.c_str());
    RemoveDirectoryW(tracked.path.c_str());
    RemoveDirectoryW(plain.path.c_str());
    RemoveDirectoryW(root.c_str());
    CryptReleaseContext(provider, 0);
    CoUninitialize();
    return 0;
}
