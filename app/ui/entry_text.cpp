#include "app/ui/entry_text.h"
#include "app/user_texts.h"

#include <windows.h>

namespace {

// U+061C, U+200E and U+200F, U+202A to U+202E and U+2066 to U+2069: they draw nothing and only
// reorder what follows, which a reader would otherwise say in an order the entry does not show.
bool IsDirectionMark(char16_t unit) {
    return unit == u'\x061c' || unit == u'\x200e' || unit == u'\x200f' ||
           (unit >= u'\x202a' && unit <= u'\x202e') || (unit >= u'\x2066' && unit <= u'\x2069');
}

bool IsControl(char16_t unit) {
    return unit < u' ' || (unit >= u'\x7f' && unit <= u'\x9f');
}

void AppendReadable(std::u16string& name, const std::u16string& text) {
    for (const char16_t unit : text) {
        if (IsDirectionMark(unit)) continue;
        name += IsControl(unit) ? u' ' : unit;
    }
}

// The date's characters as the entry shows them: its bytes are drawn by the ANSI text call, so
// they are read in the ANSI code page too (0x80 is the euro sign in Western Europe's).
std::u16string ShownDate(const std::string& date) {
    if (date.empty()) return std::u16string();
    const int size = static_cast<int>(date.size());
    const int length = MultiByteToWideChar(CP_ACP, 0, date.data(), size, nullptr, 0);
    if (length <= 0) return std::u16string();
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, date.data(), size, wide.data(), length);
    return std::u16string(wide.begin(), wide.end());
}

}  // namespace

std::string DoneDateText(const TaskRecord& record) {
    return record.doneDate.value_or(std::string());
}

std::u16string TaskEntryName(const TaskRecord& record) {
    // Any value but 0 is done, as the entry draws it.
    std::u16string name = Text(record.done != 0 ? TextId::kEntryDone : TextId::kEntryOpen);
    if (record.done != 0) {
        const std::u16string date = ShownDate(DoneDateText(record));
        if (!date.empty()) {
            name += u' ';
            AppendReadable(name, date);
        }
    }
    name += u": ";
    AppendReadable(name, record.displayTitle.value_or(std::u16string()));
    return name;
}

std::u16string ReadableText(const std::u16string& text) {
    std::u16string readable;
    readable.reserve(text.size());
    AppendReadable(readable, text);
    return readable;
}
