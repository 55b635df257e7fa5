// Media samples and the library's memory allocator, driven directly: the platform's graphs mostly
// negotiate the platform's own allocator, so these calls are the allocator's evidence.
#include <string.h>

#include <thread>

#include <gtest/gtest.h>

#include "tests/zovuz/movie/dshow_test_filters.h"

namespace {

// Counts the calls of Free, which ends every decommit.
class CountingAllocator : public D_CMemAllocator
{
public:
    CountingAllocator() : D_CMemAllocator(L"Counting allocator", nullptr, nullptr) {}
    void Free() override { Frees++; }
    int Frees = 0;
};

class DShowAllocator : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Object = Counting = new CountingAllocator;
        Allocator = Counting->MemAllocatorInterface();
    }
    void TearDown() override
    {
        Allocator->Release();
        D_SafeDelete(Object);
    }
    HRESULT Set(long Count, long Size, long Align, long Prefix, ALLOCATOR_PROPERTIES *Actual = nullptr)
    {
        ALLOCATOR_PROPERTIES request = {Count, Size, Align, Prefix}, actual;
        HRESULT hr = Allocator->SetProperties(&request, Actual != nullptr ? Actual : &actual);
        return hr;
    }
    IMediaSample *Get(DWORD Flags = 0)
    {
        IMediaSample *sample = nullptr;
        EXPECT_EQ(S_OK, Allocator->GetBuffer(&sample, nullptr, nullptr, Flags));
        return sample;
    }

    DShowTest Com;
    IMemAllocator *Allocator = nullptr;
    D_CMemAllocator *Object = nullptr;
    CountingAllocator *Counting = nullptr;
};

TEST_F(DShowAllocator, PropertiesAreAlignedAndCheckedBeforeUse)
{
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    const long granularity = static_cast<long>(info.dwAllocationGranularity);
    struct Case
    {
        long Count, Size, Align, Prefix;
        HRESULT Result;
        long ActualSize;
    } cases[] = {
        {1, 100, 0, 0, VFW_E_BADALIGN, 0}, {1, 100, 2 * granularity, 0, VFW_E_BADALIGN, 0}, {2, 100, 16, 8, S_OK, 104},
        {4, 100, 1, 0, S_OK, 100},         {1, 1, granularity, 0, S_OK, granularity},
        {1, 0x7FFFFFFF, 16, 0, E_OUTOFMEMORY, 0},
    };
    for (const Case &c : cases) {
        ALLOCATOR_PROPERTIES actual;
        EXPECT_EQ(c.Result, Set(c.Count, c.Size, c.Align, c.Prefix, &actual)) << c.Size << "/" << c.Align;
        EXPECT_EQ(c.ActualSize, actual.cbBuffer) << c.Size << "/" << c.Align;
    }
    ASSERT_EQ(S_OK, Allocator->Commit());
    EXPECT_EQ(VFW_E_ALREADY_COMMITTED, Set(1, 100, 1, 0));
    IMediaSample *out = Get();
    Allocator->Decommit();
    EXPECT_EQ(VFW_E_BUFFERS_OUTSTANDING, Set(1, 100, 1, 0));
    out->Release();
    EXPECT_EQ(S_OK, Set(1, 100, 1, 0));
}

TEST_F(DShowAllocator, SamplesLieInOneBlockAndAreReusedAfterDecommit)
{
    ASSERT_EQ(S_OK, Set(4, 100, 1, 0));
    IMediaSample *none = nullptr;
    EXPECT_EQ(VFW_E_NOT_COMMITTED, Allocator->GetBuffer(&none, nullptr, nullptr, 0));
    ASSERT_EQ(S_OK, Allocator->Commit());
    BYTE *block = Object->Block();
    ASSERT_NE(nullptr, block);
    std::vector<IMediaSample *> samples;
    std::vector<bool> seen(4, false);
    for (int i = 0; i < 4; i++) {
        samples.push_back(Get());
        BYTE *data = nullptr;
        samples.back()->GetPointer(&data);
        ptrdiff_t offset = data - block;
        ASSERT_TRUE(offset >= 0 && offset < 400 && offset % 100 == 0) << offset;
        seen[offset / 100] = true;
        EXPECT_EQ(100, samples.back()->GetSize());
    }
    EXPECT_EQ(std::vector<bool>(4, true), seen);
    for (IMediaSample *s : samples) s->Release();
    ASSERT_EQ(S_OK, Allocator->Decommit());
    ASSERT_EQ(S_OK, Allocator->Commit());
    EXPECT_EQ(block, Object->Block()) << "unchanged properties keep the block";
    IMediaSample *again = Get();
    EXPECT_TRUE(again == samples[0] || again == samples[1] || again == samples[2] || again == samples[3]);
    again->Release();
}

TEST_F(DShowAllocator, ABlockLargerThanTheAddressSpaceIsRefused)
{
    // 65537 buffers of 64 KiB: the product wraps to 64 KiB in 32 bits.
    ASSERT_EQ(S_OK, Set(0x10001, 0x10000, 1, 0));
    EXPECT_EQ(E_OUTOFMEMORY, Allocator->Commit());
    EXPECT_EQ(nullptr, Object->Block());
    IMediaSample *none = nullptr;
    EXPECT_EQ(VFW_E_NOT_COMMITTED, Allocator->GetBuffer(&none, nullptr, nullptr, 0));
    ASSERT_EQ(S_OK, Set(0, 0, 1, 0));
    EXPECT_EQ(VFW_E_SIZENOTSET, Allocator->Commit());
}

TEST_F(DShowAllocator, GetBufferWaitsForAReleaseUnlessToldNotTo)
{
    ASSERT_EQ(S_OK, Set(1, 64, 1, 0));
    ASSERT_EQ(S_OK, Allocator->Commit());
    IMediaSample *held = Get();
    IMediaSample *none = nullptr;
    EXPECT_EQ(VFW_E_TIMEOUT, Allocator->GetBuffer(&none, nullptr, nullptr, AM_GBF_NOWAIT));
    EXPECT_EQ(nullptr, none);

    std::thread releaser([held] {
        Sleep(50);
        held->Release();
    });
    IMediaSample *woken = Get();
    releaser.join();
    EXPECT_EQ(held, woken);

    // A waiter is also woken by Decommit, and told the allocator is no longer committed.
    HRESULT waited = S_OK;
    std::thread waiter([&] {
        IMediaSample *sample = nullptr;
        waited = Allocator->GetBuffer(&sample, nullptr, nullptr, 0);
    });
    Sleep(50);
    Allocator->Decommit();
    waiter.join();
    EXPECT_EQ(VFW_E_NOT_COMMITTED, waited);
    woken->Release();
}

TEST_F(DShowAllocator, DecommitFinishesWhenTheLastSampleComesBack)
{
    ASSERT_EQ(S_OK, Set(3, 64, 1, 0));
    ASSERT_EQ(S_OK, Allocator->Commit());
    IMediaSample *first = Get(), *second = Get();
    EXPECT_EQ(S_OK, Allocator->Decommit());
    IMediaSample *none = nullptr;
    EXPECT_EQ(VFW_E_NOT_COMMITTED, Allocator->GetBuffer(&none, nullptr, nullptr, 0));
    first->Release();
    EXPECT_EQ(VFW_E_BUFFERS_OUTSTANDING, Set(3, 64, 1, 0)) << "still waiting for the second sample";
    EXPECT_EQ(0, Counting->Frees);
    second->Release();
    EXPECT_EQ(1, Counting->Frees);
    EXPECT_EQ(S_OK, Set(3, 64, 1, 0));

    // A Commit while samples are out cancels the pending decommit.
    ASSERT_EQ(S_OK, Allocator->Commit());
    first = Get();
    Allocator->Decommit();
    ASSERT_EQ(S_OK, Allocator->Commit());
    second = Get();
    first->Release();
    second->Release();
    EXPECT_EQ(1, Counting->Frees) << "the cancelled decommit freed nothing";
    LONG free = 0;
    Object->GetFreeCount(&free);
    EXPECT_EQ(3, free);
}

TEST_F(DShowAllocator, SampleFieldsFollowTheirFlags)
{
    ASSERT_EQ(S_OK, Set(1, 100, 1, 0));
    ASSERT_EQ(S_OK, Allocator->Commit());
    IMediaSample *sample = Get();
    REFERENCE_TIME start = 500, stop = 0;
    EXPECT_EQ(VFW_E_SAMPLE_TIME_NOT_SET, sample->GetTime(&start, &stop));
    sample->SetTime(&start, nullptr);
    EXPECT_EQ(VFW_S_NO_STOP_TIME, sample->GetTime(&start, &stop));
    EXPECT_EQ(501, stop);
    EXPECT_EQ(VFW_E_BUFFER_OVERFLOW, sample->SetActualDataLength(101));
    EXPECT_EQ(S_OK, sample->SetActualDataLength(100));
    LONGLONG mediaStart = 1000, mediaStop = 1010;
    EXPECT_EQ(VFW_E_MEDIA_TIME_NOT_SET, sample->GetMediaTime(&mediaStart, &mediaStop));
    sample->SetMediaTime(&mediaStart, &mediaStop);
    mediaStop = 0;
    EXPECT_EQ(S_OK, sample->GetMediaTime(&mediaStart, &mediaStop));
    EXPECT_EQ(1010, mediaStop);

    D_CMediaType type = PcmType();
    AM_MEDIA_TYPE *got = nullptr;
    EXPECT_EQ(S_FALSE, sample->GetMediaType(&got));
    sample->SetMediaType(&type);
    ASSERT_EQ(S_OK, sample->GetMediaType(&got));
    EXPECT_TRUE(*reinterpret_cast<D_CMediaType *>(got) == type);
    D_FreeMediaType(got);

    IMediaSample2 *sample2 = nullptr;
    ASSERT_EQ(S_OK, sample->QueryInterface(IID_IMediaSample2, reinterpret_cast<void **>(&sample2)));
    BYTE record[200];
    memset(record, 0xEE, sizeof(record));
    EXPECT_EQ(S_OK, sample2->GetProperties(sizeof(record), record));
    const AM_SAMPLE2_PROPERTIES *props = reinterpret_cast<const AM_SAMPLE2_PROPERTIES *>(record);
    EXPECT_EQ(48u, props->cbData);
    EXPECT_EQ(0xEE, record[48]) << "nothing written past the record";
    EXPECT_EQ(0u, props->dwSampleFlags & 0x20) << "the media-time flag is the sample's own";
    EXPECT_EQ(AM_SAMPLE_TIMEVALID | AM_SAMPLE_TYPECHANGED, props->dwSampleFlags);
    EXPECT_NE(nullptr, props->pMediaType);

    // SetProperties checks everything before it changes anything.
    struct Case
    {
        const char *What;
        void (*Spoil)(AM_SAMPLE2_PROPERTIES &);
        HRESULT Result;
    } cases[] = {
        {"unknown flag", [](AM_SAMPLE2_PROPERTIES &p) { p.dwSampleFlags |= 0x200; }, E_INVALIDARG},
        {"media-time flag", [](AM_SAMPLE2_PROPERTIES &p) { p.dwSampleFlags |= 0x20; }, E_INVALIDARG},
        {"another buffer", [](AM_SAMPLE2_PROPERTIES &p) { p.pbBuffer += 1; }, E_INVALIDARG},
        {"another size", [](AM_SAMPLE2_PROPERTIES &p) { p.cbBuffer = 50; }, E_INVALIDARG},
        {"record too long", [](AM_SAMPLE2_PROPERTIES &p) { p.cbData = 52; }, E_INVALIDARG},
        {"type flag without a type", [](AM_SAMPLE2_PROPERTIES &p) { p.pMediaType = nullptr; }, E_POINTER},
    };
    for (const Case &c : cases) {
        AM_SAMPLE2_PROPERTIES spoiled = *props;
        spoiled.lActual = 7;
        c.Spoil(spoiled);
        EXPECT_EQ(c.Result, sample2->SetProperties(sizeof(spoiled), reinterpret_cast<BYTE *>(&spoiled))) << c.What;
        EXPECT_EQ(100, sample->GetActualDataLength()) << c.What;
    }
    AM_SAMPLE2_PROPERTIES changed = *props;
    changed.lActual = 7;
    changed.dwSampleFlags = AM_SAMPLE_SPLICEPOINT;
    EXPECT_EQ(S_OK, sample2->SetProperties(sizeof(changed), reinterpret_cast<BYTE *>(&changed)));
    EXPECT_EQ(7, sample->GetActualDataLength());
    EXPECT_EQ(S_OK, sample->IsSyncPoint());
    EXPECT_EQ(S_FALSE, sample->GetMediaType(&got)) << "the type went with its flag";
    EXPECT_EQ(S_OK, sample->GetMediaTime(&mediaStart, &mediaStop)) << "media times are kept";
    sample2->Release();

    sample->Release();
    ASSERT_EQ(S_OK, Allocator->Commit());
    IMediaSample *reused = Get();
    EXPECT_EQ(S_FALSE, reused->IsSyncPoint()) << "flags are cleared on the way back";
    reused->Release();
}

}  // namespace
