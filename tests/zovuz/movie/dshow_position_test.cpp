// The position pass-through: the graph's seeking reaches the source through the recording
// renderer (and the XOR filter's system pass-through), and answers without a peer are refused.
#include <gtest/gtest.h>

#include "tests/zovuz/movie/dshow_test_filters.h"

namespace {

class DShowPosition : public ::testing::Test
{
protected:
    void TearDown() override
    {
        if (Graph != nullptr) Graph->Release();
        D_SafeDelete(Source);
        D_SafeDelete(Xor);
        D_SafeDelete(Renderer);
    }
    // source -> renderer, or source -> XOR -> renderer.
    void Join(bool ThroughXor)
    {
        Graph = Com.NewGraph();
        ASSERT_EQ(S_OK, Graph->AddFilter(Source->Filter(), L"Source"));
        ASSERT_EQ(S_OK, Graph->AddFilter(Renderer->Filter(), L"Renderer"));
        IPin *out = Source->Output();
        if (ThroughXor) {
            Xor = new TestXorFilter(1);
            ASSERT_EQ(S_OK, Graph->AddFilter(Xor->Filter(), L"XOR"));
            ASSERT_EQ(S_OK, ConnectPins(Graph, out, Xor->Input()));
            out = Xor->Output();
        }
        ASSERT_EQ(S_OK, ConnectPins(Graph, out, Renderer->Input()));
    }
    IMediaSeeking *Seeking()
    {
        IMediaSeeking *seeking = nullptr;
        EXPECT_EQ(S_OK, Renderer->Filter()->QueryInterface(IID_IMediaSeeking, reinterpret_cast<void **>(&seeking)));
        return seeking;
    }

    DShowTest Com;
    IGraphBuilder *Graph = nullptr;
    TestSource *Source = new TestSource;
    TestXorFilter *Xor = nullptr;
    TestRenderer *Renderer = new TestRenderer;
};

TEST_F(DShowPosition, TheGraphsDurationIsTheSources)
{
    Source->SampleCount = 40;
    Join(true);
    IMediaSeeking *graphSeeking = nullptr;
    ASSERT_EQ(S_OK, Graph->QueryInterface(IID_IMediaSeeking, reinterpret_cast<void **>(&graphSeeking)));
    LONGLONG duration = 0;
    EXPECT_EQ(S_OK, graphSeeking->GetDuration(&duration));
    EXPECT_EQ(Source->Duration(), duration);
    graphSeeking->Release();

    IMediaPosition *position = nullptr;
    ASSERT_EQ(S_OK, Renderer->Filter()->QueryInterface(IID_IMediaPosition, reinterpret_cast<void **>(&position)));
    IMediaSeeking *again = nullptr;
    EXPECT_EQ(S_OK, position->QueryInterface(IID_IMediaSeeking, reinterpret_cast<void **>(&again)));
    EXPECT_EQ(S_OK, again->GetDuration(&duration));
    EXPECT_EQ(Source->Duration(), duration);
    again->Release();
    position->Release();
}

TEST_F(DShowPosition, RequestsWithoutAPeerOrWithRateZeroAreRefused)
{
    IMediaSeeking *seeking = Seeking();
    LONGLONG value = 0;
    GUID format;
    double rate = 0;
    struct Case
    {
        const char *Call;
        HRESULT Result;
    } unconnected[] = {
        {"GetDuration", seeking->GetDuration(&value)},
        {"GetCurrentPosition", seeking->GetCurrentPosition(&value)},
        {"GetTimeFormat", seeking->GetTimeFormat(&format)},
        {"SetRate", seeking->SetRate(2.0)},
        {"GetRate", seeking->GetRate(&rate)},
        {"SetPositions", seeking->SetPositions(&value, AM_SEEKING_AbsolutePositioning, nullptr, 0)},
    };
    for (const Case &c : unconnected) EXPECT_EQ(E_NOTIMPL, c.Result) << c.Call;
    EXPECT_EQ(E_INVALIDARG, seeking->SetRate(0.0));

    Join(false);
    EXPECT_EQ(E_INVALIDARG, seeking->SetRate(0.0));
    EXPECT_EQ(0, Source->Seeking.RateCalls) << "a rate of 0 never reaches the peer";
    EXPECT_EQ(S_OK, seeking->SetRate(2.0));
    EXPECT_EQ(1, Source->Seeking.RateCalls);

    IMediaPosition *position = nullptr;
    ASSERT_EQ(S_OK, seeking->QueryInterface(IID_IMediaPosition, reinterpret_cast<void **>(&position)));
    EXPECT_EQ(E_INVALIDARG, position->put_Rate(0.0));
    EXPECT_EQ(E_NOTIMPL, position->put_Rate(2.0)) << "the source answers no IMediaPosition";
    position->Release();
    seeking->Release();
}

TEST_F(DShowPosition, TheRenderersMediaTimesAnswerTheCurrentPosition)
{
    Join(false);
    IMediaSeeking *seeking = Seeking();
    LONGLONG current = -1;
    EXPECT_EQ(S_OK, seeking->GetCurrentPosition(&current));
    EXPECT_EQ(1, Source->Seeking.CurrentCalls) << "nothing rendered yet: the peer answers";
    Renderer->Position->RegisterMediaTime(123456, 223456);
    EXPECT_EQ(S_OK, seeking->GetCurrentPosition(&current));
    EXPECT_EQ(123456, current);
    EXPECT_EQ(1, Source->Seeking.CurrentCalls);
    Renderer->Position->ResetMediaTime();
    EXPECT_EQ(S_OK, seeking->GetCurrentPosition(&current));
    EXPECT_EQ(2, Source->Seeking.CurrentCalls);
    seeking->Release();
}

TEST_F(DShowPosition, DispatchComesFromTheTypeLibrary)
{
    IMediaPosition *position = nullptr;
    ASSERT_EQ(S_OK, Renderer->Filter()->QueryInterface(IID_IMediaPosition, reinterpret_cast<void **>(&position)));
    UINT count = 0;
    EXPECT_EQ(S_OK, position->GetTypeInfoCount(&count));
    EXPECT_EQ(1u, count);
    ITypeInfo *info = reinterpret_cast<ITypeInfo *>(1);
    EXPECT_EQ(TYPE_E_ELEMENTNOTFOUND, position->GetTypeInfo(1, 0, &info));
    EXPECT_EQ(nullptr, info);
    EXPECT_EQ(DISP_E_UNKNOWNINTERFACE,
              position->Invoke(1, IID_IMediaPosition, 0, DISPATCH_METHOD, nullptr, nullptr, nullptr, nullptr));
    IDispatch *dispatch = nullptr;
    EXPECT_EQ(E_NOINTERFACE, position->QueryInterface(IID_IDispatch, reinterpret_cast<void **>(&dispatch)));

    // The type library keeps OleAut32 loaded until the last object of the family goes.
    for (int round = 0; round < 2; round++) {
        ASSERT_EQ(S_OK, position->GetTypeInfo(0, 0, &info));
        info->Release();
        EXPECT_NE(nullptr, D_OleAut32Module());
        position->Release();
        D_SafeDelete(Renderer);
        D_SafeDelete(Source);
        EXPECT_EQ(nullptr, D_OleAut32Module());
        Renderer = new TestRenderer;
        ASSERT_EQ(S_OK, Renderer->Filter()->QueryInterface(IID_IMediaPosition, reinterpret_cast<void **>(&position)));
    }
    position->Release();
}

}  // namespace
