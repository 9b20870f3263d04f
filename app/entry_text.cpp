#include "app/entry_text.h"

std::string DoneDateText(const TaskRecord& record) {
    return record.done_date.value_or(std::string());
}

std::u16string TaskEntryName(const TaskRecord& record) {
    std::u16string name = record.display_title.value_or(std::u16string());
    for (char16_t& unit : name) {
        if (unit < u' ' || unit == u'\x7f') unit = u' ';
    }
    name += record.done != 0 ? u", done" : u", open";
    if (record.done != 0) {
        // The date is drawn with the ANSI text call; a stored date is ASCII digits and dashes,
        // and any other byte is shown here as the Latin-1 character of that value.
        const std::string date = DoneDateText(record);
        if (!date.empty()) {
            name += u", ";
            for (const char byte : date)
                name += static_cast<char16_t>(static_cast<unsigned char>(byte));
        }
    }
    return name;
}
