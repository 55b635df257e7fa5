// The base filter, pins and transform filters in the platform's filter graph: the test source,
// the XOR in-place filter and a renderer (the platform's Null Renderer or the recording one).
#include <string.h>

#include <gtest/gtest.h>

#include "tests/zovuz/movie/dshow_test_filters.h"

namespace {

const BYTE XorKey = 0x5A;

// source -> XOR -> renderer, every filter in one graph. The graph is released before the filters
// are deleted, as their makers must do.
class DShowGraph : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Graph = Com.NewGraph();
        ASSERT_NE(nullptr, Graph);
        ASSERT_EQ(S_OK, Graph->AddFilter(Source->Filter(), L"Source"));
        ASSERT_EQ(S_OK, Graph->AddFilter(Xor->Filter(), L"XOR"));
    }
    void TearDown() override
    {
        if (Control != nullptr) {
            Control->Stop();
            Control->Release();
        }
        if (NullRenderer != nullptr) NullRenderer->Release();
        Graph->Release();
        D_SafeDelete(Source);
        D_SafeDelete(Xor);
        D_SafeDelete(Renderer);
    }
    // Joins the source, the XOR filter and the renderer, ours or the platform's Null Renderer.
    void Join(bool Platform)
    {
        ASSERT_EQ(S_OK, ConnectPins(Graph, Source->Output(), Xor->Input()));
        IPin *in = nullptr;
        if (Platform) {
            ASSERT_EQ(S_OK, CoCreateInstance(CLSID_NullRenderer, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                             reinterpret_cast<void **>(&NullRenderer)));
            ASSERT_EQ(S_OK, Graph->AddFilter(NullRenderer, L"Null"));
            IEnumPins *pins = nullptr;
            ASSERT_EQ(S_OK, NullRenderer->EnumPins(&pins));
            ASSERT_EQ(S_OK, pins->Next(1, &in, nullptr));
            pins->Release();
        } else {
            Renderer = new TestRenderer;
            ASSERT_EQ(S_OK, Graph->AddFilter(Renderer->Filter(), L"Renderer"));
            in = Renderer->Input();
            in->AddRef();
        }
        HRESULT hr = ConnectPins(Graph, Xor->Output(), in);
        RendererInput = in;
        in->Release();
        ASSERT_EQ(S_OK, hr);
        ASSERT_EQ(S_OK, Graph->QueryInterface(IID_IMediaControl, reinterpret_cast<void **>(&Control)));
    }
    long RunToEnd() { return Com.RunToEnd(Graph, Control); }

    DShowTest Com;
    IGraphBuilder *Graph = nullptr;
    IMediaControl *Control = nullptr;
    IBaseFilter *NullRenderer = nullptr;
    IPin *RendererInput = nullptr;  // not counted
    TestSource *Source = new TestSource;
    TestXorFilter *Xor = new TestXorFilter(XorKey);
    TestRenderer *Renderer = nullptr;
};

TEST_F(DShowGraph, StreamsThroughThePlatformNullRendererToCompletion)
{
    Join(true);
    AM_MEDIA_TYPE agreed;
    ASSERT_EQ(S_OK, RendererInput->ConnectionMediaType(&agreed));
    EXPECT_TRUE(*reinterpret_cast<D_CMediaType *>(&agreed) == Source->Offered) << "the offered type is the one agreed";
    D_FreeMediaTypeContents(&agreed);
    EXPECT_FALSE(Xor->UsingDifferentAllocators()) << "both connections share the renderer's allocator";

    EXPECT_EQ(EC_COMPLETE, RunToEnd());
    EXPECT_EQ(Source->SampleCount, Xor->Transforms);
    EXPECT_EQ(std::vector<HRESULT>(Source->SampleCount, S_OK), Source->Delivered);
}

TEST_F(DShowGraph, EveryByteReachesTheRendererXoredWithTheKey)
{
    Source->SampleCount = 5;
    Source->SampleBytes = 777;
    Join(false);
    EXPECT_EQ(EC_COMPLETE, RunToEnd());
    ASSERT_EQ(size_t(5 * 777), Renderer->Received.size());
    size_t wrong = 0;
    for (size_t i = 0; i < Renderer->Received.size(); i++)
        if (Renderer->Received[i] != (SourceByte(i) ^ XorKey)) wrong++;
    EXPECT_EQ(0u, wrong);
    EXPECT_EQ(1, Renderer->EndsOfStream);

    IPin *pin = reinterpret_cast<IPin *>(1);
    EXPECT_EQ(VFW_E_NOT_FOUND, Xor->Filter()->FindPin(L"XForm In", &pin)) << "pins are found by id, not name";
    EXPECT_EQ(nullptr, pin);
    ASSERT_EQ(S_OK, Xor->Filter()->FindPin(L"In", &pin));
    EXPECT_EQ(Xor->Input(), pin);
    pin->Release();
}

TEST_F(DShowGraph, PausingWithTheInputUnconnectedSendsOneEndOfStreamUntilStop)
{
    Join(false);
    ASSERT_EQ(S_OK, Graph->Disconnect(Source->Output()));
    ASSERT_EQ(S_OK, Graph->Disconnect(Xor->Input()));
    IBaseFilter *xor_ = Xor->Filter();
    for (int pause = 0; pause < 3; pause++) xor_->Pause();
    EXPECT_EQ(1, Renderer->EndsOfStream);
    xor_->Run(0);
    xor_->Pause();
    EXPECT_EQ(1, Renderer->EndsOfStream);
    xor_->Stop();
    xor_->Pause();
    EXPECT_EQ(2, Renderer->EndsOfStream) << "a Stop allows the next one";
    xor_->Stop();
}

TEST_F(DShowGraph, ARefusedTypeChangeStopsTheStreamUntilAFlush)
{
    Source->SampleCount = 0;  // the test delivers the samples itself
    Join(false);
    ASSERT_TRUE(SUCCEEDED(Control->Run()));
    IMemAllocator *allocator = Source->Pin->PeekAllocator();
    ASSERT_NE(nullptr, allocator);
    IMemInputPin *input = nullptr;
    ASSERT_EQ(S_OK, Xor->Input()->QueryInterface(IID_IMemInputPin, reinterpret_cast<void **>(&input)));
    D_CMediaType mono = PcmType(1);
    auto deliver = [&](const AM_MEDIA_TYPE *Type) {
        IMediaSample *sample = nullptr;
        HRESULT hr = allocator->GetBuffer(&sample, nullptr, nullptr, 0);
        if (FAILED(hr)) return hr;
        sample->SetActualDataLength(4);
        if (Type != nullptr) sample->SetMediaType(const_cast<AM_MEDIA_TYPE *>(Type));
        hr = input->Receive(sample);
        sample->Release();
        return hr;
    };
    EXPECT_EQ(S_OK, deliver(nullptr));
    EXPECT_EQ(VFW_E_INVALIDMEDIATYPE, deliver(&mono));
    LONG_PTR param = 0;
    long code;
    do code = NextEvent(Graph, 2000, &param);
    while (code != 0 && code != EC_ERRORABORT);
    EXPECT_EQ(EC_ERRORABORT, code);
    EXPECT_EQ(VFW_E_TYPE_NOT_ACCEPTED, static_cast<HRESULT>(param));
    EXPECT_EQ(VFW_E_RUNTIME_ERROR, deliver(nullptr));
    EXPECT_EQ(VFW_E_RUNTIME_ERROR, deliver(nullptr));

    EXPECT_EQ(S_OK, Xor->Input()->BeginFlush());
    EXPECT_EQ(S_FALSE, deliver(nullptr)) << "flushing";
    EXPECT_EQ(S_OK, Xor->Input()->EndFlush());
    EXPECT_EQ(S_OK, deliver(nullptr));
    input->Release();
}

TEST_F(DShowGraph, ConnectionChecksRefuseWhatCannotConnect)
{
    // A second connection of a connected pin, and pins of one direction.
    Join(false);
    ASSERT_TRUE(SUCCEEDED(Control->Run()));
    EXPECT_EQ(VFW_E_ALREADY_CONNECTED, Source->Output()->Connect(Xor->Input(), nullptr));
    D_CBasePin *xorOutput = Xor->OutputPin();
    EXPECT_EQ(VFW_E_INVALID_DIRECTION, xorOutput->CheckConnect(Source->Output()));
    AM_MEDIA_TYPE type;
    IPin *none = nullptr;
    TestRenderer lone;
    EXPECT_EQ(VFW_E_NOT_CONNECTED, lone.Input()->ConnectedTo(&none));
    EXPECT_EQ(VFW_E_NOT_CONNECTED, lone.Input()->ConnectionMediaType(&type));
    EXPECT_EQ(1u, type.lSampleSize);
    EXPECT_TRUE(IsEqualGUID(GUID_NULL, type.majortype));
    // QueryAccept turns a refusal into S_FALSE.
    D_CMediaType video;
    video.majortype = MEDIATYPE_Video;
    EXPECT_EQ(S_FALSE, lone.Input()->QueryAccept(&video));
    EXPECT_EQ(S_FALSE, Xor->Input()->QueryAccept(&video));
    EXPECT_EQ(S_OK, Xor->Input()->QueryAccept(&Source->Offered));
    // A partial type is completed from the pins' own types.
    ASSERT_TRUE(SUCCEEDED(Control->Stop()));
    ASSERT_EQ(S_OK, Graph->Disconnect(Xor->Output()));
    ASSERT_EQ(S_OK, Graph->Disconnect(Renderer->Input()));
    D_CMediaType partial;
    partial.majortype = MEDIATYPE_Audio;
    partial.subtype = MEDIASUBTYPE_PCM;
    ASSERT_EQ(S_OK, ConnectPins(Graph, Xor->Output(), Renderer->Input(), &partial));
    EXPECT_TRUE(Renderer->Pin->CurrentMediaType() == Source->Offered);
    // A type the source does not offer, proposed in full, is the only one tried.
    ASSERT_TRUE(SUCCEEDED(Control->Stop()));
    ASSERT_EQ(S_OK, Graph->Disconnect(Xor->Output()));
    ASSERT_EQ(S_OK, Graph->Disconnect(Renderer->Input()));
    D_CMediaType mono = PcmType(1);
    EXPECT_EQ(VFW_E_TYPE_NOT_ACCEPTED, ConnectPins(Graph, Xor->Output(), Renderer->Input(), &mono));
    EXPECT_FALSE(xorOutput->IsConnected());
    ASSERT_EQ(S_OK, ConnectPins(Graph, Xor->Output(), Renderer->Input()));
    // Not while running.
    ASSERT_TRUE(SUCCEEDED(Control->Run()));
    EXPECT_EQ(VFW_E_NOT_STOPPED, Xor->Output()->Disconnect());
}

// Counts the quality messages it is sent.
struct QualitySink : IQualityControl
{
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void **) override { return E_NOINTERFACE; }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE Notify(IBaseFilter *Sender, Quality Q) override
    {
        Senders.push_back(Sender);
        Proportions.push_back(Q.Proportion);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetSink(IQualityControl *) override { return S_OK; }
    std::vector<IBaseFilter *> Senders;
    std::vector<long> Proportions;
};

TEST_F(DShowGraph, QualityMessagesAndBatchesGoTheirWay)
{
    Source->SampleCount = 0;
    Join(false);
    // The XOR filter does not act on quality: its input passes the message upstream, to the
    // source (which refuses it) or to the sink set on the input.
    IQualityControl *output = nullptr;
    ASSERT_EQ(S_OK, Xor->Output()->QueryInterface(IID_IQualityControl, reinterpret_cast<void **>(&output)));
    Quality q = {Famine, 800, 0, 0};
    EXPECT_EQ(E_NOTIMPL, output->Notify(Renderer->Filter(), q));
    QualitySink sink;
    IQualityControl *input = nullptr;
    ASSERT_EQ(S_OK, Xor->Input()->QueryInterface(IID_IQualityControl, reinterpret_cast<void **>(&input)));
    input->SetSink(&sink);
    EXPECT_EQ(S_OK, output->Notify(Renderer->Filter(), q));
    EXPECT_EQ(std::vector<IBaseFilter *>{Xor->Filter()}, sink.Senders) << "sent in the filter's name";
    EXPECT_EQ(std::vector<long>{800}, sink.Proportions);
    input->Release();
    output->Release();

    // A batch stops at the first sample that is not taken.
    ASSERT_TRUE(SUCCEEDED(Control->Run()));
    IMemAllocator *allocator = Source->Pin->PeekAllocator();
    IMediaSample *samples[3] = {};
    for (IMediaSample *&sample : samples) {
        ASSERT_EQ(S_OK, allocator->GetBuffer(&sample, nullptr, nullptr, 0));
        sample->SetActualDataLength(2);
    }
    D_CMediaType video;
    video.majortype = MEDIATYPE_Video;
    samples[1]->SetMediaType(&video);
    IMemInputPin *memInput = nullptr;
    ASSERT_EQ(S_OK, Xor->Input()->QueryInterface(IID_IMemInputPin, reinterpret_cast<void **>(&memInput)));
    EXPECT_EQ(S_OK, memInput->ReceiveCanBlock()) << "the renderer downstream may block";
    LONG processed = -1;
    EXPECT_EQ(VFW_E_INVALIDMEDIATYPE, memInput->ReceiveMultiple(samples, 3, &processed));
    EXPECT_EQ(1, processed);
    EXPECT_EQ(1, Renderer->Samples);
    memInput->Release();
    for (IMediaSample *sample : samples) sample->Release();
}

}  // namespace
