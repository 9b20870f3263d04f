#include "app/ui/value_size_text.h"

#include "store/sqlite/task_table.h"

std::u16string ValueSizeText(int64_t bytes) {
    const std::string text =
        bytes > kMeasurableBytes
            ? "more than " + std::to_string(kMeasurableBytes / (1024 * 1024)) + " MB"
            : std::to_string(bytes) + " bytes";
    return std::u16string(text.begin(), text.end());
}
