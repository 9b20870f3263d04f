#include "app/ui/value_size_text.h"

#include <gtest/gtest.h>

#include "store/sqlite/task_table.h"

namespace {

TEST(ValueSizeTextTest, BytesUpToWhatIsMeasuredThenMegabytesBeyond) {
    EXPECT_EQ(ValueSizeText(1000001), u"1000001 bytes");
    EXPECT_EQ(ValueSizeText(kMeasurableBytes), u"67108864 bytes");
    // LongestValueBytes gives one byte more for anything it did not measure: 64 MB, not 65536 KB.
    EXPECT_EQ(ValueSizeText(kMeasurableBytes + 1), u"more than 64 MB");
}

}  // namespace
