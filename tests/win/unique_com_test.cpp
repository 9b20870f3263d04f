#include "win/unique_com.h"

#include <gtest/gtest.h>

#include "win/com_apartment.h"

#include <utility>

namespace {

// An object that only counts its references, so a test sees a release missed or made twice.
class CountedObject final : public IUnknown {
public:
    LONG references = 1;  // the one a creation function hands out

    IFACEMETHODIMP QueryInterface(REFIID, void** ppv) override {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    IFACEMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(++references); }
    IFACEMETHODIMP_(ULONG) Release() override { return static_cast<ULONG>(--references); }
};

// Every way a reference enters or leaves a holder gives back exactly the references it took.
TEST(UniqueComPtrTest, ReleasesEachReferenceItTookOnce) {
    CountedObject first;
    CountedObject second;
    CountedObject third;
    {
        UniqueComPtr<IUnknown> holder(&first);
        UniqueComPtr<IUnknown> moved(std::move(holder));
        EXPECT_EQ(1, first.references);  // a move hands the reference over, it adds and drops none
        EXPECT_EQ(&first, moved.get());

        *moved.put() = &second;  // an out parameter: the reference held goes first
        EXPECT_EQ(0, first.references);

        UniqueComPtr<IUnknown> assigned(&third);
        assigned = std::move(moved);  // the reference it held goes, the one moved in stays
        EXPECT_EQ(0, third.references);
        EXPECT_EQ(1, second.references);
        UniqueComPtr<IUnknown>& alias = assigned;
        assigned = std::move(alias);
        EXPECT_EQ(1, second.references);

        second.AddRef();
        UniqueComPtr<IUnknown> given(&second);
        EXPECT_EQ(&second, given.release());  // given up: the caller owns it again
        second.Release();
    }
    // The last holder released its reference on leaving, and none was released twice.
    EXPECT_EQ(0, first.references);
    EXPECT_EQ(0, second.references);
    EXPECT_EQ(0, third.references);
}

// A block of task memory is freed when its holder goes: the allocator no longer owns it.
TEST(UniqueCoTaskMemTest, FreesTheBlockItHolds) {
    IMalloc* allocator = nullptr;
    ASSERT_EQ(S_OK, CoGetMalloc(1, &allocator));
    const UniqueComPtr<IMalloc> taskAllocator(allocator);
    auto* block = static_cast<wchar_t*>(CoTaskMemAlloc(64));
    ASSERT_NE(nullptr, block);
    {
        UniqueCoTaskMem<wchar_t*> held(block);
        EXPECT_EQ(1, taskAllocator->DidAlloc(held.get()));
    }
    EXPECT_EQ(0, taskAllocator->DidAlloc(block));
}

// The thread belongs to the apartment exactly while the holder lives, and a thread already in the
// multi-threaded apartment is left in it, not taken out by the holder's end.
TEST(ScopedComApartmentTest, LeavesTheThreadAsItFoundIt) {
    constexpr DWORD kSingle = COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE;
    {
        const ScopedComApartment apartment;
        EXPECT_EQ(S_FALSE, CoInitializeEx(nullptr, kSingle));  // joined already
        CoUninitialize();
    }
    const HRESULT fresh = CoInitializeEx(nullptr, kSingle);
    EXPECT_EQ(S_OK, fresh);  // the holder's end left the apartment
    if (SUCCEEDED(fresh)) CoUninitialize();

    ASSERT_EQ(S_OK, CoInitializeEx(nullptr, COINIT_MULTITHREADED));
    { const ScopedComApartment refused; }
    EXPECT_EQ(S_FALSE, CoInitializeEx(nullptr, COINIT_MULTITHREADED));  // still a member
    CoUninitialize();
    CoUninitialize();
}

}  // namespace
