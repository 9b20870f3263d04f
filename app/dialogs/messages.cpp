#include "app/dialogs/messages.h"
#include "app/user_texts.h"

#include "app/app_state.h"
#include "app/text_util.h"
#include "app/ui/value_size_text.h"

namespace {

// The file holds a value no statement of the program reads: it was made or damaged elsewhere.
std::u16string TooLargeMessage(TaskTable& table) {
    const int64_t longest = table.LongestValueBytes().value_or(0);
    return FormatText(TextId::kListTooLarge,
                      {gApp.folderName, ValueSizeText(longest), Decimal(kMaxValueBytes)});
}

int Show(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type) {
    if (RightToLeftLanguage()) type |= MB_RTLREADING | MB_RIGHT;
    return MessageBoxW(owner, text, caption, type);
}

const wchar_t* WarningCaptionText(WarningCaption caption) {
    switch (caption) {
        case WarningCaption::kWarning1:
            return UiText(TextId::kCaptionWarning1);
        case WarningCaption::kWarning2:
            return UiText(TextId::kCaptionWarning2);
        case WarningCaption::kWarning:
            break;
    }
    return UiText(TextId::kCaptionWarning);
}

}  // namespace

void ShowError(HWND owner, const wchar_t* text) {
    Show(owner, text, UiText(TextId::kCaptionError), MB_ICONERROR);
}

void ShowError(HWND owner, const std::u16string& text) {
    ShowError(owner, WidePtr(text));
}

namespace {

// The one place where a failure's class chooses what the user reads. A busy file is no fault of
// the file (deleting it, as the message for a damaged one advises, would lose every item's
// tasks): the box says to try again. A value over the length limit is named with its size when
// a list is opened, so the user sees it is no passing fault. When the item's table cannot be
// made, a file that may only be read and one that could not be written (a full disk, an I/O
// error) are named as such. Every other class keeps the operation's own message.
enum class Doing { kOpening, kCreating, kChanging };

// `opened` is the list being opened (kOpening only).
std::u16string MessageFor(StoreFailure failure,
                          Doing doing,
                          const wchar_t* text,
                          TaskTable* opened = nullptr) {
    switch (failure) {
        case StoreFailure::kBusy:
            return FromWide(doing == Doing::kChanging ? UiText(TextId::kDatabaseInUse)
                                                      : UiText(TextId::kTaskListInUse));
        case StoreFailure::kTooLarge:
            if (opened != nullptr) return TooLargeMessage(*opened);
            break;
        case StoreFailure::kReadOnly:
            if (doing == Doing::kCreating) return FromWide(UiText(TextId::kDatabaseOnlyReadable));
            break;
        case StoreFailure::kOther:
            if (doing == Doing::kCreating) return FromWide(UiText(TextId::kDatabaseNotWritten));
            break;
        case StoreFailure::kNone:
        case StoreFailure::kDamaged:
        case StoreFailure::kNotFound:
            break;
    }
    return FromWide(text);
}

}  // namespace

void ShowStoreError(HWND owner, StoreFailure failure, const wchar_t* text) {
    ShowError(owner, MessageFor(failure, Doing::kChanging, text));
}

void ShowLoadError(HWND owner, StoreFailure failure, const wchar_t* text, TaskTable& table) {
    ShowError(owner, MessageFor(failure, Doing::kOpening, text, &table));
}

void ShowCreateError(HWND owner, StoreFailure failure, const wchar_t* text) {
    ShowError(owner, MessageFor(failure, Doing::kCreating, text));
}

void ShowEditorStoreError(HWND owner, StoreFailure failure, const wchar_t* text) {
    Show(owner, WidePtr(MessageFor(failure, Doing::kChanging, text)),
         UiText(TextId::kCaptionEditorError), MB_ICONERROR);
}

void ShowReadOnlyNotice(HWND owner, const wchar_t* text) {
    Show(owner, text, UiText(TextId::kCaptionReadOnly), MB_ICONWARNING);
}

void ShowWarning(HWND owner, const wchar_t* text, WarningCaption caption) {
    Show(owner, text, WarningCaptionText(caption), MB_ICONWARNING);
}

void ShowWarning(HWND owner, const std::u16string& text) {
    ShowWarning(owner, WidePtr(text));
}

void ShowSuccess(HWND owner, const wchar_t* text) {
    Show(owner, text, UiText(TextId::kCaptionSuccess), MB_ICONINFORMATION);
}

void ShowSuccess(HWND owner, const std::u16string& text) {
    ShowSuccess(owner, WidePtr(text));
}

bool AskYesNo(HWND owner, const wchar_t* text) {
    return Show(owner, text, UiText(TextId::kCaptionConfirm), MB_ICONQUESTION | MB_YESNO) == IDYES;
}

bool AskYesNoDefaultNo(HWND owner, const std::u16string& text) {
    return Show(owner, WidePtr(text), UiText(TextId::kCaptionConfirm),
                MB_ICONWARNING | MB_YESNO | MB_DEFBUTTON2) == IDYES;
}
