// The base filter's state changes and the two enumerators, in process, on a filter whose pins can
// be added and made to fail.
#include <string.h>

#include <gtest/gtest.h>

#include "tests/zovuz/movie/dshow_test_filters.h"

namespace {

class PinBank;

// An input pin that answers Active and Inactive as scripted, and counts the calls.
class BankPin : public D_CBaseInputPin
{
public:
    BankPin(PinBank *Filter, D_CCritSec *Lock);
    HRESULT STDMETHODCALLTYPE QueryId(LPWSTR *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EndOfStream() override { return S_OK; }
    HRESULT CheckMediaType(const D_CMediaType *) override { return S_OK; }
    HRESULT GetMediaType(int Position, D_CMediaType *Type) override
    {
        if (Position >= Types) return VFW_S_NO_MORE_ITEMS;
        *Type = PcmType(Position + 1);
        return S_OK;
    }
    HRESULT Active() override { return Actives++, ActiveResult; }
    HRESULT Inactive() override { return Inactives++, InactiveResult; }
    HRESULT Run(REFERENCE_TIME) override { return Runs++, S_OK; }
    // Connected to itself, as far as the filter's state changes can tell.
    void PretendConnected() { m_Connected = PinInterface(); }
    void PretendDisconnected() { m_Connected = nullptr; }

    HRESULT ActiveResult = S_OK, InactiveResult = S_OK;
    int Actives = 0, Inactives = 0, Runs = 0, Types = 2;
};

class PinBank : public D_CBaseFilter
{
public:
    PinBank() : D_CBaseFilter(L"Pin bank", nullptr, &Lock, GUID_NULL) {}
    ~PinBank() override
    {
        for (BankPin *&pin : Pins) {
            pin->PretendDisconnected();
            D_SafeDelete(pin);
        }
    }
    HRESULT STDMETHODCALLTYPE FindPin(LPCWSTR, IPin **) override { return E_NOTIMPL; }
    int GetPinCount() override { return static_cast<int>(Pins.size()); }
    D_CBasePin *GetPin(int Index) override { return Index >= 0 && Index < GetPinCount() ? Pins[Index] : nullptr; }
    BankPin *Add()
    {
        Pins.push_back(new BankPin(this, &Lock));
        IncrementPinVersion();
        return Pins.back();
    }
    FILTER_STATE State()
    {
        FILTER_STATE state;
        GetState(0, &state);
        return state;
    }
    std::vector<BankPin *> Pins;
    D_CCritSec Lock;
};

BankPin::BankPin(PinBank *Filter, D_CCritSec *Lock) : D_CBaseInputPin(L"Bank pin", Filter, Lock, nullptr, L"Bank") {}

class DShowFilter : public ::testing::Test
{
protected:
    DShowTest Com;
};

TEST_F(DShowFilter, StateChangesStopAtTheFirstFailingPin)
{
    PinBank bank;
    BankPin *a = bank.Add(), *b = bank.Add(), *idle = bank.Add();
    a->PretendConnected();
    b->PretendConnected();
    IBaseFilter *filter = &bank;

    ASSERT_EQ(S_OK, filter->Run(0));
    EXPECT_EQ(State_Running, bank.State());
    EXPECT_EQ(1, a->Actives);
    EXPECT_EQ(1, a->Runs);
    EXPECT_EQ(0, idle->Actives + idle->Runs) << "unconnected pins are skipped";

    a->InactiveResult = E_FAIL;
    b->InactiveResult = E_ACCESSDENIED;
    EXPECT_EQ(E_FAIL, filter->Stop()) << "the first failure";
    EXPECT_EQ(State_Stopped, bank.State()) << "Stop always ends stopped";
    EXPECT_EQ(1, b->Inactives);

    b->ActiveResult = E_OUTOFMEMORY;
    EXPECT_EQ(E_OUTOFMEMORY, filter->Run(0));
    EXPECT_EQ(State_Stopped, bank.State());
    EXPECT_EQ(1, a->Runs) << "no pin runs when one fails to activate";
    EXPECT_EQ(E_OUTOFMEMORY, filter->Pause());
    b->ActiveResult = S_OK;
    EXPECT_EQ(S_OK, filter->Pause());
    EXPECT_EQ(State_Paused, bank.State());
    EXPECT_EQ(4, a->Actives) << "each way out of Stopped activates";

    REFERENCE_TIME time;
    EXPECT_EQ(VFW_E_NO_CLOCK, bank.StreamTime(&time));
    a->PretendDisconnected();
    b->PretendDisconnected();
}

TEST_F(DShowFilter, PinEnumerationRestartsWithoutDuplicatesAfterAChange)
{
    PinBank bank;
    bank.Add();
    IEnumPins *pins = nullptr;
    ASSERT_EQ(S_OK, static_cast<IBaseFilter *>(&bank)->EnumPins(&pins));
    IPin *got[4] = {};
    ULONG fetched = 99;
    EXPECT_EQ(S_FALSE, pins->Next(0, got, &fetched));
    EXPECT_EQ(0u, fetched);
    EXPECT_EQ(E_INVALIDARG, pins->Next(2, got, nullptr));
    ASSERT_EQ(S_OK, pins->Next(1, got, nullptr));
    EXPECT_EQ(bank.Pins[0]->PinInterface(), got[0]);
    got[0]->Release();

    bank.Add();
    bank.Add();
    IEnumPins *clone = nullptr;
    EXPECT_EQ(VFW_E_ENUM_OUT_OF_SYNC, pins->Clone(&clone));
    EXPECT_EQ(VFW_E_ENUM_OUT_OF_SYNC, pins->Skip(1));
    EXPECT_EQ(S_FALSE, pins->Next(4, got, &fetched)) << "restarts, but the first pin was handed out already";
    ASSERT_EQ(2u, fetched);
    EXPECT_EQ(bank.Pins[1]->PinInterface(), got[0]);
    EXPECT_EQ(bank.Pins[2]->PinInterface(), got[1]);

    EXPECT_EQ(S_OK, pins->Reset());
    EXPECT_EQ(S_OK, pins->Skip(2));
    EXPECT_EQ(S_FALSE, pins->Skip(2)) << "past the end";
    ASSERT_EQ(S_OK, pins->Clone(&clone));
    EXPECT_EQ(S_OK, clone->Next(1, got, nullptr));
    EXPECT_EQ(bank.Pins[2]->PinInterface(), got[0]);
    clone->Release();
    pins->Release();
}

TEST_F(DShowFilter, MediaTypeEnumerationFollowsThePinsTypes)
{
    PinBank bank;
    BankPin *pin = bank.Add();
    IEnumMediaTypes *types = nullptr;
    ASSERT_EQ(S_OK, pin->EnumMediaTypes(&types));
    AM_MEDIA_TYPE *got[3] = {};
    ULONG fetched = 0;
    EXPECT_EQ(S_FALSE, types->Next(3, got, &fetched));
    ASSERT_EQ(2u, fetched);
    EXPECT_TRUE(*reinterpret_cast<D_CMediaType *>(got[1]) == PcmType(2));
    D_FreeMediaType(got[0]);
    D_FreeMediaType(got[1]);

    EXPECT_EQ(S_OK, types->Reset());
    EXPECT_EQ(S_OK, types->Skip(0));
    EXPECT_EQ(S_FALSE, types->Skip(3)) << "past the last type";
    EXPECT_EQ(S_FALSE, types->Next(1, got, nullptr)) << "the position moved all the same";

    pin->IncrementTypeVersion();
    EXPECT_EQ(VFW_E_ENUM_OUT_OF_SYNC, types->Next(1, got, &fetched));
    EXPECT_EQ(S_OK, types->Reset());
    ASSERT_EQ(S_OK, types->Next(1, got, nullptr));
    EXPECT_TRUE(*reinterpret_cast<D_CMediaType *>(got[0]) == PcmType(1));
    D_FreeMediaType(got[0]);
    types->Release();
}

}  // namespace
