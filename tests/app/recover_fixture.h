// The "Recover Tasks..." dialog as a user reaches it: opened from the menu or by key, its entries,
// "Other Folder..." with a folder typed into the picker, and Recover.
#pragma once

#include "tests/app/app_fixture.h"
#include "tests/app/ui_texts.h"

inline constexpr int kCmdRecoverTasks = 40020;
inline constexpr int kRecoverListId = 1102;
inline constexpr int kOtherFolderId = 1103;

class RecoverTasksTest : public PelmoraUiTest {
protected:
    // A folder of this parent, as Explorer leaves it after a rename.
    void MakeFolder(const std::wstring& name) {
        ASSERT_TRUE(CreateDirectoryW((Parent() + name).c_str(), nullptr));
    }

    // From the File menu, or with Ctrl + R in the task list.
    HWND OpenDialog(bool byKey = false) {
        if (byKey) {
            PressInMain('R', {VK_CONTROL});
        } else {
            Command(kCmdRecoverTasks);
        }
        dialog_ = app_.WaitWindow(
            [](HWND window) { return WindowText(window) == Ui(TextId::kRecoverCaption); });
        recoverList_ = dialog_ ? GetDlgItem(dialog_, kRecoverListId) : nullptr;
        return dialog_;
    }

    std::vector<std::wstring> Offered() const { return ListTexts(recoverList_); }

    // Clicks entry `index` and then "Recover".
    void Recover(int index) {
        BringToFront(dialog_);
        ClickAt(ListEntryCentre(recoverList_, index));
        ASSERT_TRUE(WaitUntil([&] { return ListSelection(recoverList_) == index; }));
        ASSERT_TRUE(WaitUntil([&] { return IsWindowEnabled(GetDlgItem(dialog_, IDOK)) != 0; }));
        ClickAt(CentreOf(GetDlgItem(dialog_, IDOK)));
    }

    // "Other Folder...", the folder's path typed into the picker, and Open.
    ::testing::AssertionResult PickOtherFolder(const std::wstring& folder) {
        BringToFront(dialog_);
        ClickAt(CentreOf(GetDlgItem(dialog_, kOtherFolderId)));
        HWND picker = app_.WaitWindow(
            [](HWND window) { return WindowText(window) == Ui(TextId::kRecoverPickerTitle); });
        if (!picker) return ::testing::AssertionFailure() << "no folder picker";
        // The item dialog's name field; the older folder browser has one edit field too.
        HWND field = GetDlgItem(picker, 1152);
        if (!field) field = FindWindowExW(picker, nullptr, L"Edit", nullptr);
        if (!field) return ::testing::AssertionFailure() << "the picker has no name field";
        SendTo(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(folder.c_str()));
        BringToFront(picker);
        ClickAt(CentreOf(GetDlgItem(picker, IDOK)));
        if (!WaitUntil([&] { return !IsWindow(picker); }))
            return ::testing::AssertionFailure() << "the picker stayed open";
        return ::testing::AssertionSuccess();
    }

    std::wstring Intro() const { return WindowText(GetDlgItem(dialog_, 1101)); }

    bool WaitDialogGone() {
        HWND dialog = dialog_;
        return WaitUntil([&] { return !IsWindow(dialog); });
    }

    HWND dialog_ = nullptr;
    HWND recoverList_ = nullptr;
};
