#include "win/unique_handle.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace {

// Records every handle closed, so that a test can tell "closed once" from "closed twice" and
// from "never closed".
std::vector<int> gClosed;

struct CountingTraits {
    using Handle = int;
    static Handle Invalid() noexcept { return -1; }
    static void Close(Handle handle) noexcept { gClosed.push_back(handle); }
};

using Holder = UniqueHandle<CountingTraits>;

class UniqueHandleTest : public ::testing::Test {
protected:
    void SetUp() override { gClosed.clear(); }
};

TEST_F(UniqueHandleTest, ClosesItsHandleOnceWhenItGoesOutOfScope) {
    { Holder holder(7); }
    EXPECT_EQ(std::vector<int>{7}, gClosed);
}

TEST_F(UniqueHandleTest, NeverClosesTheInvalidValue) {
    { Holder empty; }
    { Holder invalid(-1); }
    EXPECT_TRUE(gClosed.empty());
    EXPECT_FALSE(Holder());
    // Zero is a valid value for a type whose invalid value is not zero.
    EXPECT_TRUE(Holder(0));
}

TEST_F(UniqueHandleTest, ResetClosesTheOldHandleAndKeepsTheNewOne) {
    Holder holder(1);
    holder.reset(2);
    EXPECT_EQ(std::vector<int>{1}, gClosed);
    EXPECT_EQ(2, holder.get());
    holder.reset();
    EXPECT_EQ((std::vector<int>{1, 2}), gClosed);
    EXPECT_FALSE(holder);
}

TEST_F(UniqueHandleTest, ReleaseGivesTheHandleUpWithoutClosingIt) {
    {
        Holder holder(3);
        EXPECT_EQ(3, holder.release());
        EXPECT_FALSE(holder);
    }
    EXPECT_TRUE(gClosed.empty());
}

TEST_F(UniqueHandleTest, MovingHandsOwnershipOverAndClosesOnlyOnce) {
    {
        Holder first(4);
        Holder second(std::move(first));
        EXPECT_FALSE(first);  // NOLINT(bugprone-use-after-move): the moved-from state is defined
        EXPECT_EQ(4, second.get());
        Holder third(5);
        third = std::move(second);
        EXPECT_EQ(std::vector<int>{5}, gClosed);
        EXPECT_EQ(4, third.get());
    }
    EXPECT_EQ((std::vector<int>{5, 4}), gClosed);
}

TEST_F(UniqueHandleTest, SelfMoveKeepsTheHandleOpen) {
    Holder holder(6);
    Holder& alias = holder;
    holder = std::move(alias);
    EXPECT_TRUE(gClosed.empty());
    EXPECT_EQ(6, holder.get());
}

TEST_F(UniqueHandleTest, PutClosesTheHandleHeldAndTakesTheNextThroughThePointer) {
    Holder holder(8);
    int* slot = holder.put();
    EXPECT_EQ(std::vector<int>{8}, gClosed);
    *slot = 9;
    EXPECT_EQ(9, holder.get());
}

TEST(UniqueHandleWin32Test, FindHandleTakesInvalidHandleValueAsNone) {
    WIN32_FIND_DATAW found{};
    UniqueFindHandle listing(FindFirstFileW(L"Z:\\no-such-folder-here\\*", &found));
    EXPECT_FALSE(listing);
    EXPECT_EQ(INVALID_HANDLE_VALUE, listing.get());
}

TEST(UniqueHandleWin32Test, GdiHoldersDeleteTheirObject) {
    HBRUSH raw = CreateSolidBrush(RGB(1, 2, 3));
    ASSERT_NE(nullptr, raw);
    {
        UniqueHBrush brush(raw);
        EXPECT_EQ(static_cast<DWORD>(OBJ_BRUSH), GetObjectType(brush.get()));
    }
    EXPECT_EQ(0u, GetObjectType(raw));
}

TEST(UniqueHandleWin32Test, RegistryKeyHolderClosesTheKey) {
    UniqueHKey key;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, L"Software", 0, KEY_READ, key.put()));
    EXPECT_TRUE(key);
    const HKEY raw = key.get();
    key.reset();
    DWORD subkeys = 0;
    EXPECT_NE(ERROR_SUCCESS,
              RegQueryInfoKeyW(raw, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr,
                               nullptr, nullptr, nullptr, nullptr));
}

}  // namespace
