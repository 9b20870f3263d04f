#include "app/ui/value_size_text.h"

#include "store/sqlite/task_table.h"
#include "text/text_format.h"

std::u16string ValueSizeText(int64_t bytes) {
    if (bytes > kMeasurableBytes) {
        return FormatText(TextId::kSizeMoreThanMegabytes,
                          {Decimal(kMeasurableBytes / (1024 * 1024))});
    }
    return FormatText(TextId::kSizeBytes, {Decimal(static_cast<uint64_t>(bytes < 0 ? 0 : bytes))});
}
