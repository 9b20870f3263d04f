// The window's texts in the chosen language (text/texts_en.def names them), for the
// wide-character API; wchar_t is 16 bits on Windows.
#pragma once

#include <windows.h>

#include <initializer_list>
#include <string>

#include "text/language_choice.h"
#include "text/text_format.h"
#include "text/texts.h"

inline const wchar_t* UiText(TextId id) {
    return reinterpret_cast<const wchar_t*>(Text(id));
}

// The chosen language reads from right to left: every window is mirrored, and the texts a
// window draws itself are laid out in that reading order.
inline bool RightToLeftLanguage() {
    return IsRightToLeft(LanguageTag(SelectedLanguage()));
}

// DT_RTLREADING in such a language, else nothing: an English entry is drawn as it always was.
inline UINT ReadingOrder() {
    return RightToLeftLanguage() ? DT_RTLREADING : 0;
}

// A dialog control and the text it shows.
struct ControlText {
    int control;
    TextId text;
};

// Gives a dialog made from its template the chosen language's texts. The templates hold the
// English texts too, so an English window is the same whether or not this has run.
inline void SetDialogTexts(HWND dialog, std::initializer_list<ControlText> controls) {
    for (const ControlText& control : controls) {
        SetDlgItemTextW(dialog, control.control, UiText(control.text));
    }
}
