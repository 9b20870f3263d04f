// The three icon-overlay identifiers. Each claims the items whose entry in their parent
// folder's "pelmora.ini" holds its own status value; they differ only in three constants.
#pragma once

#include <shlobj.h>
#include <windows.h>

#include "store/folder_status_value.h"

class COverlayIdentifier : public IShellIconOverlayIdentifier {
public:
    IFACEMETHODIMP QueryInterface(REFIID riid, void** ppv) noexcept override;
    IFACEMETHODIMP_(ULONG) AddRef() noexcept override;
    IFACEMETHODIMP_(ULONG) Release() noexcept override;

    IFACEMETHODIMP IsMemberOf(PCWSTR path, DWORD attributes) noexcept override;
    IFACEMETHODIMP GetOverlayInfo(PWSTR iconFile,
                                  int iconFileChars,
                                  int* index,
                                  DWORD* flags) noexcept override;
    IFACEMETHODIMP GetPriority(int* priority) noexcept override;

protected:
    COverlayIdentifier(FolderStatus status, int iconIndex, int priority) noexcept;
    virtual ~COverlayIdentifier();

private:
    LONG refCount_ = 0;
    const FolderStatus status_;
    const int iconIndex_;
    const int priority_;
};

// Every task done: green ball with a check mark.
class CPelmoraDoneOverlay final : public COverlayIdentifier {
public:
    CPelmoraDoneOverlay() noexcept : COverlayIdentifier(FolderStatus::kAllDone, 0, 0) {}
};

// At least half of the tasks done, but not all: yellow ball with an exclamation mark.
class CPelmoraHalfOverlay final : public COverlayIdentifier {
public:
    CPelmoraHalfOverlay() noexcept : COverlayIdentifier(FolderStatus::kAtLeastHalf, 1, 1) {}
};

// Fewer than half done, possibly none: red ball with a cross.
class CPelmoraZeroOverlay final : public COverlayIdentifier {
public:
    CPelmoraZeroOverlay() noexcept : COverlayIdentifier(FolderStatus::kLessThanHalf, 2, 2) {}
};
