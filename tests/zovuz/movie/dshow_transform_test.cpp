// The transform filters' streaming paths in the platform's graph: the copying transform (times
// carried over, dropped samples), the in-place filter copying out of a read-only allocator, and
// samples of other streams passing untouched.
#include <string.h>

#include <gtest/gtest.h>

#include "tests/zovuz/movie/dshow_test_filters.h"

namespace {

const BYTE Key = 0xA5;

class DShowTransform : public ::testing::Test
{
protected:
    void TearDown() override
    {
        if (Control != nullptr) {
            Control->Stop();
            Control->Release();
        }
        if (Graph != nullptr) Graph->Release();
        D_SafeDelete(Source);
        D_SafeDelete(Copy);
        D_SafeDelete(Xor);
        D_SafeDelete(Renderer);
    }
    // source -> Middle -> renderer.
    void Join(IBaseFilter *Middle, IPin *In, IPin *Out)
    {
        Graph = Com.NewGraph();
        ASSERT_EQ(S_OK, Graph->AddFilter(Source->Filter(), L"Source"));
        ASSERT_EQ(S_OK, Graph->AddFilter(Middle, L"Middle"));
        ASSERT_EQ(S_OK, Graph->AddFilter(Renderer->Filter(), L"Renderer"));
        ASSERT_EQ(S_OK, ConnectPins(Graph, Source->Output(), In));
        ASSERT_EQ(S_OK, ConnectPins(Graph, Out, Renderer->Input()));
        ASSERT_EQ(S_OK, Graph->QueryInterface(IID_IMediaControl, reinterpret_cast<void **>(&Control)));
    }
    void RunToEnd() { EXPECT_EQ(EC_COMPLETE, Com.RunToEnd(Graph, Control)); }
    // The bytes of source sample Index as the renderer should have them.
    std::vector<BYTE> Expected(int Index)
    {
        std::vector<BYTE> bytes;
        for (int i = 0; i < Source->SampleBytes; i++)
            bytes.push_back(SourceByte(size_t(Index) * Source->SampleBytes + i) ^ Key);
        return bytes;
    }

    DShowTest Com;
    IGraphBuilder *Graph = nullptr;
    IMediaControl *Control = nullptr;
    TestSource *Source = new TestSource;
    TestCopyXorFilter *Copy = nullptr;
    TestXorFilter *Xor = nullptr;
    TestRenderer *Renderer = new TestRenderer;
};

TEST_F(DShowTransform, CopiesCarryTheTimesAndDroppedSamplesOnlyChangeTheQuality)
{
    Copy = new TestCopyXorFilter(Key);
    Copy->DropEvery = 3;
    Source->SampleBytes = 300;
    Renderer->OwnAllocator = true;  // the output samples are the library's
    Join(Copy->Filter(), Copy->Input(), Copy->Output());
    RunToEnd();
    EXPECT_EQ(std::vector<HRESULT>(Source->SampleCount, S_OK), Source->Delivered) << "a dropped sample is no failure";

    std::vector<int> kept = {0, 1, 3, 4, 6, 7};  // the 3rd and 6th transforms dropped theirs
    std::vector<BYTE> bytes;
    std::vector<REFERENCE_TIME> starts;
    for (int k : kept) {
        std::vector<BYTE> one = Expected(k);
        bytes.insert(bytes.end(), one.begin(), one.end());
        starts.push_back(k * Source->SampleTime);
    }
    EXPECT_TRUE(bytes == Renderer->Received);
    EXPECT_EQ(starts, Renderer->Starts);
    int qualityChanges = 0;
    for (long code; (code = NextEvent(Graph, 0)) != 0;) qualityChanges += code == EC_QUALITY_CHANGE;
    EXPECT_EQ(1, qualityChanges) << "said once per Pause";
}

TEST_F(DShowTransform, PinsAreNamedAndFoundByTheirIds)
{
    Copy = new TestCopyXorFilter(Key);
    Join(Copy->Filter(), Copy->Input(), Copy->Output());
    PIN_INFO info;
    ASSERT_EQ(S_OK, Copy->Input()->QueryPinInfo(&info));
    EXPECT_STREQ(L"XForm In", info.achName);
    EXPECT_EQ(Copy->Filter(), info.pFilter);
    info.pFilter->Release();
    IPin *pin = reinterpret_cast<IPin *>(1);
    EXPECT_EQ(VFW_E_NOT_FOUND, Copy->Filter()->FindPin(L"XForm In", &pin));
    EXPECT_EQ(nullptr, pin);
    LPWSTR id = nullptr;
    ASSERT_EQ(S_OK, Copy->Output()->QueryId(&id));
    EXPECT_STREQ(L"Out", id);
    ASSERT_EQ(S_OK, Copy->Filter()->FindPin(id, &pin));
    EXPECT_EQ(Copy->Output(), pin);
    pin->Release();
    CoTaskMemFree(id);

    // The output's seeking is the system's pass-through, made once, asking the source.
    IMediaSeeking *first = nullptr, *second = nullptr;
    ASSERT_EQ(S_OK, Copy->Output()->QueryInterface(IID_IMediaSeeking, reinterpret_cast<void **>(&first)));
    ASSERT_EQ(S_OK, Copy->Output()->QueryInterface(IID_IMediaSeeking, reinterpret_cast<void **>(&second)));
    EXPECT_EQ(first, second);
    LONGLONG duration = 0;
    EXPECT_EQ(S_OK, first->GetDuration(&duration));
    EXPECT_EQ(Source->Duration(), duration);
    IPin *back = nullptr;
    EXPECT_EQ(S_OK, first->QueryInterface(IID_IPin, reinterpret_cast<void **>(&back))) << "aggregated by the pin";
    EXPECT_EQ(Copy->Output(), back);
    back->Release();
    first->Release();
    second->Release();
}

TEST_F(DShowTransform, InPlaceCopiesOutOfAReadOnlyAllocator)
{
    Xor = new TestXorFilter(Key);
    Source->ReadOnly = true;
    Join(Xor->Filter(), Xor->Input(), Xor->Output());
    EXPECT_TRUE(Xor->UsingDifferentAllocators());
    RunToEnd();
    D_CMediaType mono = PcmType(1);
    EXPECT_EQ(S_FALSE, Xor->Output()->QueryAccept(&mono)) << "no type change while running with two allocators";
    EXPECT_EQ(S_OK, Xor->Output()->QueryAccept(&Source->Offered));
    std::vector<BYTE> bytes;
    for (int k = 0; k < Source->SampleCount; k++) {
        std::vector<BYTE> one = Expected(k);
        bytes.insert(bytes.end(), one.begin(), one.end());
    }
    EXPECT_TRUE(bytes == Renderer->Received);
    EXPECT_EQ(Source->SampleCount, int(Renderer->Starts.size())) << "times are carried into the copies";
    EXPECT_EQ(0, Source->Spoiled) << "read-only samples are not written";
}

TEST_F(DShowTransform, SamplesOfOtherStreamsPassUntouched)
{
    Xor = new TestXorFilter(Key);
    Source->SampleCount = 0;
    Join(Xor->Filter(), Xor->Input(), Xor->Output());
    ASSERT_TRUE(SUCCEEDED(Control->Run()));

    const char message[] = "control message!";
    TestSamples samples(1, 16);
    IMediaSample *sample = samples.Take(std::vector<BYTE>(message, message + 16));
    IMediaSample2 *sample2 = nullptr;
    ASSERT_EQ(S_OK, sample->QueryInterface(IID_IMediaSample2, reinterpret_cast<void **>(&sample2)));
    AM_SAMPLE2_PROPERTIES props;
    ASSERT_EQ(S_OK, sample2->GetProperties(sizeof(props), reinterpret_cast<BYTE *>(&props)));
    props.dwStreamId = AM_STREAM_CONTROL;
    ASSERT_EQ(S_OK, sample2->SetProperties(sizeof(props), reinterpret_cast<BYTE *>(&props)));
    sample2->Release();

    IMemInputPin *input = nullptr;
    ASSERT_EQ(S_OK, Xor->Input()->QueryInterface(IID_IMemInputPin, reinterpret_cast<void **>(&input)));
    EXPECT_EQ(S_OK, input->Receive(sample));
    input->Release();
    EXPECT_EQ(0, Xor->Transforms);
    EXPECT_EQ(std::vector<BYTE>(message, message + 16), Renderer->Received);
}

}  // namespace
