#include "shellext/registration.h"

#include <cwchar>

#include "shellext/com_util.h"
#include "shellext/resource.h"

namespace {

// How a key behaves when the script is taken back (and, for kForceRemove, when it is run).
enum class KeyMark {
    kPlain,        // created if missing; deleted at unregistration once no subkey remains
    kForceRemove,  // deleted with everything below it before it is written anew
    kNoRemove,     // shared with others: created if missing, never deleted
};

// Placeholders in key names and value data.
constexpr wchar_t kModulePath[] = L"%MODULE%";
constexpr wchar_t kClassId[] = L"%CLSID%";

// One key of a script, in pre-order: the keys that follow with a greater depth lie below it.
// A name may hold several levels when all of them are kNoRemove.
struct RegNode {
    int depth;
    KeyMark mark;
    const wchar_t* name;
    const wchar_t* defaultValue;  // nullptr: no default value
    const wchar_t* valueName;     // nullptr: no named value
    const wchar_t* valueData;
};

constexpr RegNode Key(int depth,
                      KeyMark mark,
                      const wchar_t* name,
                      const wchar_t* defaultValue = nullptr,
                      const wchar_t* valueName = nullptr,
                      const wchar_t* valueData = nullptr) {
    return {depth, mark, name, defaultValue, valueName, valueData};
}

enum class RegRoot { kClassesRoot, kLocalMachine };

struct RegBlock {
    RegRoot root;
    const RegNode* nodes;
    size_t count;
};

struct RegScript {
    int id;
    const RegBlock* blocks;
    size_t count;
};

constexpr KeyMark kPlain = KeyMark::kPlain;
constexpr KeyMark kForce = KeyMark::kForceRemove;
constexpr KeyMark kKeep = KeyMark::kNoRemove;

// The class key every class writes: name, in-process server with its threading model, version.
#define PELMORA_CLASS_KEY(description)                                                   \
    Key(0, kKeep, L"CLSID"), Key(1, kForce, kClassId, description),                      \
        Key(2, kPlain, L"InprocServer32", kModulePath, L"ThreadingModel", L"Apartment"), \
        Key(2, kPlain, L"Version", L"1.0")

constexpr RegNode kShellExtClasses[] = {
    PELMORA_CLASS_KEY(L"Pelmora ShellExt Class"),
    Key(0, kKeep, L"*\\ShellEx\\ContextMenuHandlers"),
    Key(1, kForce, L"PelmoraShellExt", kClassId),
    Key(0, kKeep, L"Folder\\ShellEx\\ContextMenuHandlers"),
    Key(1, kForce, L"PelmoraShellExt", kClassId),
    // A folder's background, where the menu is the open folder's own.
    Key(0, kKeep, L"Directory\\Background\\ShellEx\\ContextMenuHandlers"),
    Key(1, kForce, L"PelmoraShellExt", kClassId),
};
constexpr RegNode kDoneOverlayClasses[] = {PELMORA_CLASS_KEY(L"PelmoraDoneOverlay Class")};
constexpr RegNode kHalfOverlayClasses[] = {PELMORA_CLASS_KEY(L"PelmoraHalfOverlay Class")};
constexpr RegNode kZeroOverlayClasses[] = {PELMORA_CLASS_KEY(L"PelmoraZeroOverlay Class")};

#undef PELMORA_CLASS_KEY

constexpr wchar_t kOverlayIdentifiers[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ShellIconOverlayIdentifiers";
constexpr RegNode kDoneOverlayIdentifier[] = {
    Key(0, kKeep, kOverlayIdentifiers),
    Key(1, kForce, L"PelmoraDoneOverlay", kClassId),
};
constexpr RegNode kHalfOverlayIdentifier[] = {
    Key(0, kKeep, kOverlayIdentifiers),
    Key(1, kForce, L"PelmoraHalfOverlay", kClassId),
};
constexpr RegNode kZeroOverlayIdentifier[] = {
    Key(0, kKeep, kOverlayIdentifiers),
    Key(1, kForce, L"PelmoraZeroOverlay", kClassId),
};

template <size_t N>
constexpr RegBlock Block(RegRoot root, const RegNode (&nodes)[N]) {
    return {root, nodes, N};
}

constexpr RegBlock kShellExtScript[] = {Block(RegRoot::kClassesRoot, kShellExtClasses)};
constexpr RegBlock kDoneOverlayScript[] = {Block(RegRoot::kClassesRoot, kDoneOverlayClasses),
                                           Block(RegRoot::kLocalMachine, kDoneOverlayIdentifier)};
constexpr RegBlock kHalfOverlayScript[] = {Block(RegRoot::kClassesRoot, kHalfOverlayClasses),
                                           Block(RegRoot::kLocalMachine, kHalfOverlayIdentifier)};
constexpr RegBlock kZeroOverlayScript[] = {Block(RegRoot::kClassesRoot, kZeroOverlayClasses),
                                           Block(RegRoot::kLocalMachine, kZeroOverlayIdentifier)};

template <size_t N>
constexpr RegScript Script(int id, const RegBlock (&blocks)[N]) {
    return {id, blocks, N};
}

// The module's own script is an empty block under HKEY_CLASSES_ROOT: it writes nothing.
constexpr RegScript kScripts[] = {
    {IDR_PELMORAEXT, nullptr, 0},
    Script(IDR_SHELLEXT, kShellExtScript),
    Script(IDR_PELMORADONEOVERLAY, kDoneOverlayScript),
    Script(IDR_PELMORAHALFOVERLAY, kHalfOverlayScript),
    Script(IDR_PELMORAZEROOVERLAY, kZeroOverlayScript),
};

struct Replacements {
    const wchar_t* modulePath;
    const wchar_t* classId;
};

const wchar_t* Resolve(const wchar_t* text, const Replacements& with) noexcept {
    if (text == nullptr) return nullptr;
    if (std::wcscmp(text, kModulePath) == 0) return with.modulePath;
    if (std::wcscmp(text, kClassId) == 0) return with.classId;
    return text;
}

HRESULT FromStatus(LSTATUS status) noexcept {
    return HRESULT_FROM_WIN32(static_cast<unsigned long>(status));
}

HRESULT SetString(HKEY key, const wchar_t* name, const wchar_t* data) noexcept {
    const size_t bytes = (std::wcslen(data) + 1) * sizeof(wchar_t);
    return FromStatus(RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data),
                                     static_cast<DWORD>(bytes)));
}

// The end of the subtree that starts at nodes[first].
size_t SubtreeEnd(const RegNode* nodes, size_t count, size_t first) noexcept {
    size_t end = first + 1;
    while (end < count && nodes[end].depth > nodes[first].depth) ++end;
    return end;
}

HRESULT RegisterKeys(HKEY parent, const RegNode* nodes, size_t count, const Replacements& with) {
    for (size_t i = 0; i < count; i = SubtreeEnd(nodes, count, i)) {
        const RegNode& node = nodes[i];
        const wchar_t* name = Resolve(node.name, with);
        if (node.mark == KeyMark::kForceRemove) {
            const LSTATUS status = RegDeleteTreeW(parent, name);
            if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) {
                return FromStatus(status);
            }
        }
        UniqueHKey key;
        RETURN_IF_FAILED(FromStatus(RegCreateKeyExW(
            parent, name, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, key.put(), nullptr)));
        if (node.defaultValue != nullptr) {
            RETURN_IF_FAILED(SetString(key.get(), nullptr, Resolve(node.defaultValue, with)));
        }
        if (node.valueName != nullptr) {
            RETURN_IF_FAILED(SetString(key.get(), node.valueName, Resolve(node.valueData, with)));
        }
        const size_t end = SubtreeEnd(nodes, count, i);
        RETURN_IF_FAILED(RegisterKeys(key.get(), nodes + i + 1, end - i - 1, with));
    }
    return S_OK;
}

HRESULT UnregisterKeys(HKEY parent, const RegNode* nodes, size_t count, const Replacements& with) {
    for (size_t i = 0; i < count; i = SubtreeEnd(nodes, count, i)) {
        const RegNode& node = nodes[i];
        const wchar_t* name = Resolve(node.name, with);
        UniqueHKey key;
        const LSTATUS opened = RegOpenKeyExW(parent, name, 0, KEY_READ | KEY_WRITE, key.put());
        if (opened == ERROR_FILE_NOT_FOUND) continue;  // nothing of it left to remove
        RETURN_IF_FAILED(FromStatus(opened));
        const size_t end = SubtreeEnd(nodes, count, i);
        RETURN_IF_FAILED(UnregisterKeys(key.get(), nodes + i + 1, end - i - 1, with));
        if (node.valueName != nullptr) {
            const LSTATUS status = RegDeleteValueW(key.get(), node.valueName);
            if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) {
                return FromStatus(status);
            }
        }
        if (node.mark == KeyMark::kNoRemove) continue;
        DWORD subkeys = 0;
        RETURN_IF_FAILED(
            FromStatus(RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, &subkeys, nullptr,
                                        nullptr, nullptr, nullptr, nullptr, nullptr, nullptr)));
        key.reset();
        if (subkeys != 0) continue;  // someone else's keys live below it
        const LSTATUS status = RegDeleteKeyW(parent, name);
        if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) return FromStatus(status);
    }
    return S_OK;
}

// Opens (or, when registering, creates) the key that stands for a block's root.
HRESULT OpenRoot(RegRoot root,
                 bool registering,
                 bool perUser,
                 UniqueHKey& key,
                 HKEY& handle) noexcept {
    if (root == RegRoot::kLocalMachine) {
        handle = HKEY_LOCAL_MACHINE;
        return S_OK;
    }
    if (!perUser) {
        handle = HKEY_CLASSES_ROOT;
        return S_OK;
    }
    constexpr wchar_t kUserClasses[] = L"Software\\Classes";
    const LSTATUS status =
        registering
            ? RegCreateKeyExW(HKEY_CURRENT_USER, kUserClasses, 0, nullptr, 0, KEY_READ | KEY_WRITE,
                              nullptr, key.put(), nullptr)
            : RegOpenKeyExW(HKEY_CURRENT_USER, kUserClasses, 0, KEY_READ | KEY_WRITE, key.put());
    handle = key.get();
    if (status == ERROR_FILE_NOT_FOUND) return S_FALSE;  // nothing there to unregister
    return FromStatus(status);
}

}  // namespace

HRESULT RunRegistrationScript(int scriptId,
                              const CLSID& clsid,
                              bool registering,
                              bool perUser,
                              HMODULE module) noexcept {
    const RegScript* script = nullptr;
    for (const RegScript& candidate : kScripts) {
        if (candidate.id == scriptId) script = &candidate;
    }
    RETURN_HR_IF_NULL(E_INVALIDARG, script);

    // The path is written as the in-process server; a cut path would name another file.
    wchar_t modulePath[MAX_PATH];
    const DWORD length = GetModuleFileNameW(module, modulePath, MAX_PATH);
    if (length == 0) return HRESULT_FROM_WIN32(GetLastError());
    if (length >= MAX_PATH) return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
    wchar_t classId[39];
    if (StringFromGUID2(clsid, classId, 39) == 0) return E_UNEXPECTED;
    const Replacements with = {modulePath, classId};

    for (size_t b = 0; b < script->count; ++b) {
        const RegBlock& block = script->blocks[b];
        UniqueHKey rootKey;
        HKEY root = nullptr;
        const HRESULT opened = OpenRoot(block.root, registering, perUser, rootKey, root);
        RETURN_IF_FAILED(opened);
        if (opened == S_FALSE) continue;
        RETURN_IF_FAILED(registering ? RegisterKeys(root, block.nodes, block.count, with)
                                     : UnregisterKeys(root, block.nodes, block.count, with));
    }
    return S_OK;
}
