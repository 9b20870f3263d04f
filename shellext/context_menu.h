// The context-menu handler: adds "Task Management..." to the menu of every file and folder and
// starts the task manager for the first selected item; for a folder, and for a folder's
// background, it adds "Tasks Below This Folder..." too, which opens the program's view of every
// open task below that folder.
#pragma once

#include <shlobj.h>
#include <windows.h>

#include "win/unique_handle.h"

class CShellExt final : public IShellExtInit, public IContextMenu {
public:
    // The text buffers' sizes in UTF-16 units, as the shell's own path buffers.
    static constexpr UINT kPathChars = 520;
    static constexpr UINT kParameterChars = 1040;

    CShellExt() noexcept;

    IFACEMETHODIMP QueryInterface(REFIID riid, void** ppv) noexcept override;
    IFACEMETHODIMP_(ULONG) AddRef() noexcept override;
    IFACEMETHODIMP_(ULONG) Release() noexcept override;

    IFACEMETHODIMP Initialize(PCIDLIST_ABSOLUTE folder,
                              IDataObject* dataObject,
                              HKEY progIdKey) noexcept override;

    IFACEMETHODIMP QueryContextMenu(HMENU menu,
                                    UINT position,
                                    UINT firstCommand,
                                    UINT lastCommand,
                                    UINT flags) noexcept override;
    IFACEMETHODIMP InvokeCommand(CMINVOKECOMMANDINFO* info) noexcept override;
    IFACEMETHODIMP GetCommandString(UINT_PTR command,
                                    UINT type,
                                    UINT* reserved,
                                    CHAR* name,
                                    UINT nameChars) noexcept override;

private:
    ~CShellExt();
    HRESULT StartTaskManager() noexcept;
    HRESULT StartTreeWindow() noexcept;
    bool BuildParameters() noexcept;
    bool BuildTreeParameters() noexcept;
    bool AddsTreeEntry() const noexcept { return itemIsFolder_; }
    static bool TaskManagerPath(wchar_t (&program)[kPathChars]) noexcept;

    LONG refCount_ = 0;
    wchar_t itemPath_[kPathChars] = {};
    bool itemIsFolder_ = false;
    bool background_ = false;  // the menu of a folder's background: the item is the folder
    wchar_t quotedName_[kPathChars] = {};
    wchar_t databaseArgument_[kPathChars] = {};
    wchar_t parameters_[kParameterChars] = {};
    UniqueHBitmap menuBitmap_;
};
