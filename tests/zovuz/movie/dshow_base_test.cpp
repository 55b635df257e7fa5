// Media-type records and the COM identity of the DirectShow classes, in process.
#include <string.h>

#include <gtest/gtest.h>

#include "tests/zovuz/movie/dshow_test_filters.h"

namespace {

class DShowBase : public ::testing::Test
{
protected:
    DShowTest Com;
};

// A task allocator that refuses everything, for the duration of a scope.
struct FailingTaskMemory
{
    FailingTaskMemory() : Saved(D_TaskMemory)
    {
        D_TaskMemory.Alloc = [](size_t) -> void * { return nullptr; };
    }
    ~FailingTaskMemory() { D_TaskMemory = Saved; }
    D_TaskMemoryFunctions Saved;
};

// Counts its references, so that a test sees what the media type does with pUnk.
struct CountedUnknown : IUnknown
{
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void **) override { return E_NOINTERFACE; }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++Count; }
    ULONG STDMETHODCALLTYPE Release() override { return --Count; }
    ULONG Count = 1;
};

TEST_F(DShowBase, CopyKeepsEveryFieldInItsOwnBlockAndHoldsPUnk)
{
    CountedUnknown unknown;
    D_CMediaType source = PcmType();
    source.bTemporalCompression = TRUE;
    source.pUnk = &unknown;
    unknown.AddRef();
    {
        D_CMediaType copy(source);
        EXPECT_EQ(0, memcmp(&copy, &source, offsetof(AM_MEDIA_TYPE, pbFormat)));
        EXPECT_NE(source.pbFormat, copy.pbFormat);
        EXPECT_EQ(0, memcmp(source.pbFormat, copy.pbFormat, source.cbFormat));
        EXPECT_EQ(3u, unknown.Count);
        D_CMediaType assigned;
        assigned = copy;
        assigned = assigned;  // the same record: nothing freed
        EXPECT_TRUE(assigned == source);
        EXPECT_EQ(4u, unknown.Count);
    }
    EXPECT_EQ(2u, unknown.Count);

    AM_MEDIA_TYPE *created = D_CreateMediaType(&source);
    ASSERT_NE(nullptr, created);
    EXPECT_TRUE(*reinterpret_cast<D_CMediaType *>(created) == source);
    D_FreeMediaType(created);
    D_FreeMediaType(nullptr);
    EXPECT_EQ(2u, unknown.Count);
}

TEST_F(DShowBase, EqualityComparesTypesAndFormatBytesOnly)
{
    const D_CMediaType base = PcmType();
    struct Case
    {
        const char *Change;
        void (*Apply)(D_CMediaType &);
        bool Equal;
    } cases[] = {
        {"sample size", [](D_CMediaType &t) { t.lSampleSize = 99; }, true},
        {"fixed size and compression", [](D_CMediaType &t) { t.bFixedSizeSamples = 0, t.bTemporalCompression = 1; },
         true},
        {"major type", [](D_CMediaType &t) { t.majortype = MEDIATYPE_Video; }, false},
        {"subtype", [](D_CMediaType &t) { t.subtype = MEDIASUBTYPE_NV11; }, false},
        {"format type", [](D_CMediaType &t) { t.formattype = FORMAT_VideoInfo; }, false},
        {"one format byte", [](D_CMediaType &t) { t.pbFormat[5] ^= 1; }, false},
        {"format length", [](D_CMediaType &t) { t.cbFormat -= 2; }, false},
    };
    for (const Case &c : cases) {
        D_CMediaType changed(base);
        c.Apply(changed);
        EXPECT_EQ(c.Equal, changed == base) << c.Change;
    }
}

TEST_F(DShowBase, PartialTypesMatchOnWhatTheyName)
{
    const D_CMediaType full = PcmType();
    D_CMediaType empty;
    EXPECT_TRUE(empty.IsPartiallySpecified());
    EXPECT_FALSE(full.IsPartiallySpecified());
    D_CMediaType subtypeOnly;
    subtypeOnly.majortype = MEDIATYPE_Audio;
    subtypeOnly.subtype = MEDIASUBTYPE_PCM;
    EXPECT_TRUE(subtypeOnly.IsPartiallySpecified()) << "a subtype without a format type is partial";

    EXPECT_TRUE(full.MatchesPartial(&empty));
    EXPECT_TRUE(full.MatchesPartial(&subtypeOnly));
    D_CMediaType otherSubtype(subtypeOnly);
    otherSubtype.subtype = MEDIASUBTYPE_NV11;
    EXPECT_FALSE(full.MatchesPartial(&otherSubtype));
    D_CMediaType mono = PcmType(1);
    EXPECT_FALSE(full.MatchesPartial(&mono)) << "a named format type compares the format blocks";
    EXPECT_TRUE(full.MatchesPartial(&full));
}

TEST_F(DShowBase, CopyWithoutTaskMemoryLeavesNothingHalfCopied)
{
    CountedUnknown unknown;
    D_CMediaType source = PcmType();
    source.pUnk = &unknown;
    unknown.AddRef();
    {
        FailingTaskMemory failing;
        AM_MEDIA_TYPE target;
        memset(&target, 0xCC, sizeof(target));
        EXPECT_EQ(E_OUTOFMEMORY, D_CopyMediaType(&target, &source));
        EXPECT_EQ(0u, target.cbFormat);
        EXPECT_EQ(nullptr, target.pbFormat);
        EXPECT_EQ(nullptr, target.pUnk);
        EXPECT_EQ(2u, unknown.Count) << "no reference taken for a record that owns nothing";
        EXPECT_EQ(nullptr, D_CreateMediaType(&source));

        D_CMediaType noFormat;
        noFormat.majortype = MEDIATYPE_Audio;
        EXPECT_EQ(S_OK, D_CopyMediaType(&target, &noFormat)) << "a record without a format block needs no memory";
    }
    source.pUnk = nullptr;
    unknown.Release();
}

TEST_F(DShowBase, AddRefDoesNotCountAndTheGraphDoesNotDelete)
{
    TestSource *source = new TestSource;
    EXPECT_EQ(1u, source->Filter()->AddRef());
    EXPECT_EQ(1u, source->Output()->AddRef()) << "a pin counts on its filter";
    EXPECT_EQ(0, source->RefCount());

    IGraphBuilder *graph = Com.NewGraph();
    ASSERT_EQ(S_OK, graph->AddFilter(source->Filter(), L"Source"));
    graph->Release();
    // The graph released what it thought it held; the filter is still there, and its maker deletes it.
    FILTER_STATE state;
    EXPECT_EQ(S_OK, source->Filter()->GetState(0, &state));
    EXPECT_EQ(State_Stopped, state);
    EXPECT_GE(D_CBaseObject::ObjectCount(), 2);
    D_SafeDelete(source);
    EXPECT_EQ(nullptr, source);
    D_SafeDelete(source);
}

TEST_F(DShowBase, EverySubObjectAnswersIPersistWithTheFilter)
{
    TestRenderer renderer;
    IBaseFilter *filter = renderer.Filter();
    IUnknown *setup = nullptr, *outer = nullptr, *seeking = nullptr;
    ASSERT_EQ(S_OK, filter->QueryInterface(IID_IAMovieSetup, reinterpret_cast<void **>(&setup)));
    ASSERT_EQ(S_OK, filter->QueryInterface(IID_IUnknown, reinterpret_cast<void **>(&outer)));
    ASSERT_EQ(S_OK, filter->QueryInterface(IID_IMediaSeeking, reinterpret_cast<void **>(&seeking)));
    for (IUnknown *sub : {static_cast<IUnknown *>(filter), setup, outer, seeking}) {
        IPersist *persist = nullptr;
        ASSERT_EQ(S_OK, sub->QueryInterface(IID_IPersist, reinterpret_cast<void **>(&persist)));
        EXPECT_EQ(static_cast<IPersist *>(filter), persist);
        IUnknown *none = reinterpret_cast<IUnknown *>(1);
        EXPECT_EQ(E_NOINTERFACE, sub->QueryInterface(IID_IDirectDrawVideo, reinterpret_cast<void **>(&none)));
        EXPECT_EQ(nullptr, none);
        EXPECT_EQ(E_POINTER, sub->QueryInterface(IID_IPersist, nullptr));
    }
    EXPECT_EQ(S_FALSE, static_cast<IAMovieSetup *>(static_cast<void *>(setup))->Register())
        << "a filter without setup data registers nothing";
}

}  // namespace
