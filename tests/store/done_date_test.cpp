#include "store/sqlite/done_date.h"

#include <gtest/gtest.h>

namespace {

TEST(DoneDateTest, OnlyTheWrittenShapeCounts) {
    struct Case {
        const char* text;
        bool shaped;
    };
    const Case cases[] = {
        {"2024-05-31", true},  {"0000-00-00", true},  {"2024-5-31", false},  {"2024-05-311", false},
        {"2024/05/31", false}, {"2024-05-3a", false}, {"a024-05-31", false}, {"2024-05-31 ", false},
        {"", false},           {"2024-05-:1", false}, {"2024-05-/1", false},
    };
    for (const Case& c : cases) EXPECT_EQ(HasDoneDateShape(c.text), c.shaped) << c.text;
}

}  // namespace
