// The IME layer: the window's IME messages answered from a stand-in IME (the IMM entries of the
// Windows API table), the pump's restore steps, the text services with the UI element sink, and
// the candidate list read from a candidate-list element.
#include "window_test_support.h"

#include "tests/support/test_files.h"
#include "zovuz/core/desktop/input_char_internal.h"
#include "zovuz/core/text/log_internal.h"
#include "zovuz/core/memory/memory.h"
#include "zovuz/core/system_info.h"
#include "zovuz/core/windows/api_table.h"
#include "zovuz/core/desktop/windows/ime_state_win.h"
#include "zovuz/core/desktop/windows/window_state_win.h"

#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <utility>
#include <vector>

namespace {

const HIMC kContext = reinterpret_cast<HIMC>(0x1234);

// What the stand-in IME reports, and the calls it saw.
struct FakeIme {
    std::wstring Composition, Result;
    LONG Cursor = 0;
    std::vector<uint8_t> Clauses, Attributes, Candidates;
    DWORD CandidateSize = 0;  // reported size; 0 = the size of Candidates
    bool CandidateFillFails = false;
    BOOL Open = FALSE;
    int OpenContexts = 0;
    std::wstring Calls;
};
FakeIme Fake;

LONG CopyOut(const void *Data, size_t Size, void *Buffer, DWORD Bytes)
{
    if (Bytes == 0) return static_cast<LONG>(Size);
    size_t n = Size < Bytes ? Size : Bytes;
    memcpy(Buffer, Data, n);
    return static_cast<LONG>(n);
}

HIMC WINAPI FakeGetContext(HWND) { Fake.OpenContexts++; return kContext; }
BOOL WINAPI FakeReleaseContext(HWND, HIMC Context) { Fake.OpenContexts -= Context == kContext; return TRUE; }
BOOL WINAPI FakeGetOpenStatus(HIMC) { return Fake.Open; }
BOOL WINAPI FakeNotify(HIMC, DWORD Action, DWORD Index, DWORD)
{
    if (Action == NI_COMPOSITIONSTR && Index == CPS_CANCEL) Fake.Calls += L"cancel ";
    return TRUE;
}
BOOL WINAPI FakeSetOpenStatus(HIMC, BOOL Open) { Fake.Calls += Open ? L"open " : L"close "; return TRUE; }
DWORD WINAPI FakeGetCandidateList(HIMC, DWORD, LPCANDIDATELIST List, DWORD Bytes)
{
    DWORD size = Fake.CandidateSize ? Fake.CandidateSize : static_cast<DWORD>(Fake.Candidates.size());
    if (Bytes == 0) return size;
    if (Fake.CandidateFillFails) return 0;
    return static_cast<DWORD>(CopyOut(Fake.Candidates.data(), Fake.Candidates.size(), List, Bytes));
}
LONG WINAPI FakeGetCompositionString(HIMC, DWORD Index, LPVOID Buffer, DWORD Bytes)
{
    switch (Index) {
    case GCS_COMPSTR:
        if (Bytes) Fake.Calls += L"read ";
        return CopyOut(Fake.Composition.data(), Fake.Composition.size() * 2, Buffer, Bytes);
    case GCS_RESULTSTR: return CopyOut(Fake.Result.data(), Fake.Result.size() * 2, Buffer, Bytes);
    case GCS_CURSORPOS: return Fake.Cursor;
    case GCS_COMPCLAUSE: return CopyOut(Fake.Clauses.data(), Fake.Clauses.size(), Buffer, Bytes);
    case GCS_COMPATTR: return CopyOut(Fake.Attributes.data(), Fake.Attributes.size(), Buffer, Bytes);
    }
    return IMM_ERROR_GENERAL;
}
BOOL WINAPI FakeSetCompositionString(HIMC, DWORD Index, LPVOID Text, DWORD Bytes, LPVOID, DWORD)
{
    if (Index == SCS_SETSTR)
        Fake.Calls += L"set:" + std::wstring(static_cast<const wchar_t *>(Text), Bytes / 2) + L" ";
    return TRUE;
}
BOOL WINAPI FakeEnableIme(HWND, BOOL Enable) { Fake.Calls += Enable ? L"enable " : L"disable "; return TRUE; }

// Interface methods the code under test never calls.
#define UNUSED(Name, ...) \
    HRESULT STDMETHODCALLTYPE Name(__VA_ARGS__) override { return E_NOTIMPL; }

// A UI element of the text services; a candidate list unless made otherwise.
struct FakeElement : D_ITfCandidateListUIElement {
    std::vector<std::wstring> Texts;
    UINT Selection = 0;
    bool IsCandidateList = true;
    bool CountFails = false;
    int FailingText = -1;           // GetString fails for this index
    std::wstring GrowsOnSecondRead;  // text 0 on every read after the first
    int Text0Reads = 0;
    LONG Refs = 1;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID Id, void **Out) override
    {
        *Out = nullptr;
        if (!IsEqualIID(Id, IID_IUnknown) && !IsEqualIID(Id, IID_ITfUIElement) &&
            !(IsCandidateList && IsEqualIID(Id, IID_D_ITfCandidateListUIElement)))
            return E_NOINTERFACE;
        *Out = this;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++Refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --Refs; }
    UNUSED(GetDescription, BSTR *) UNUSED(GetGUID, GUID *) UNUSED(Show, WINBOOL) UNUSED(IsShown, WINBOOL *)
    UNUSED(GetUpdatedFlags, DWORD *) UNUSED(GetDocumentMgr, ITfDocumentMgr **)
    HRESULT STDMETHODCALLTYPE GetCount(UINT *Count) override
    {
        *Count = static_cast<UINT>(Texts.size());
        return CountFails ? E_FAIL : S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetSelection(UINT *Index) override { *Index = Selection; return S_OK; }
    HRESULT STDMETHODCALLTYPE GetString(UINT Index, BSTR *Text) override
    {
        *Text = nullptr;
        if (static_cast<int>(Index) == FailingText) return E_FAIL;
        const std::wstring &text = Index == 0 && Text0Reads++ > 0 && !GrowsOnSecondRead.empty() ? GrowsOnSecondRead : Texts[Index];
        *Text = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
        return S_OK;
    }
    UNUSED(GetPageIndex, UINT *, UINT, UINT *) UNUSED(SetPageIndex, UINT *, UINT) UNUSED(GetCurrentPage, UINT *)
};

// A thread manager with its source and UI element manager, handed out by a stand-in
// CoCreateInstance of the Windows API table.
struct FakeTextServices : ITfThreadMgrEx, ITfSource, ITfUIElementMgr {
    HRESULT CreateResult = S_OK, ActivateResult = S_OK, AdviseResult = S_OK;
    bool Active = false;
    IUnknown *Sink = nullptr;
    std::vector<std::pair<DWORD, FakeElement *>> Elements;
    LONG Refs = 1;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID Id, void **Out) override
    {
        *Out = nullptr;
        if (IsEqualIID(Id, IID_IUnknown) || IsEqualIID(Id, IID_ITfThreadMgr) || IsEqualIID(Id, IID_ITfThreadMgrEx))
            *Out = static_cast<ITfThreadMgrEx *>(this);
        else if (IsEqualIID(Id, IID_ITfSource))
            *Out = static_cast<ITfSource *>(this);
        else if (IsEqualIID(Id, IID_ITfUIElementMgr))
            *Out = static_cast<ITfUIElementMgr *>(this);
        else
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++Refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --Refs; }
    UNUSED(Activate, TfClientId *)
    HRESULT STDMETHODCALLTYPE Deactivate() override { Active = false; return S_OK; }
    UNUSED(CreateDocumentMgr, ITfDocumentMgr **) UNUSED(EnumDocumentMgrs, IEnumTfDocumentMgrs **)
    UNUSED(GetFocus, ITfDocumentMgr **) UNUSED(SetFocus, ITfDocumentMgr *)
    UNUSED(AssociateFocus, HWND, ITfDocumentMgr *, ITfDocumentMgr **) UNUSED(IsThreadFocus, WINBOOL *)
    UNUSED(GetFunctionProvider, REFCLSID, ITfFunctionProvider **)
    UNUSED(EnumFunctionProviders, IEnumTfFunctionProviders **) UNUSED(GetGlobalCompartment, ITfCompartmentMgr **)
    HRESULT STDMETHODCALLTYPE ActivateEx(TfClientId *Id, DWORD Flags) override
    {
        *Id = 1;
        Active = SUCCEEDED(ActivateResult) && Flags == TF_TMAE_UIELEMENTENABLEDONLY;
        return ActivateResult;
    }
    UNUSED(GetActiveFlags, DWORD *)
    HRESULT STDMETHODCALLTYPE AdviseSink(REFIID Id, IUnknown *Object, DWORD *Cookie) override
    {
        if (FAILED(AdviseResult)) return AdviseResult;
        if (!IsEqualIID(Id, IID_ITfUIElementSink)) return E_INVALIDARG;
        Object->AddRef();
        Sink = Object;
        *Cookie = 77;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE UnadviseSink(DWORD Cookie) override
    {
        if (Cookie != 77 || Sink == nullptr) return E_INVALIDARG;
        Sink->Release();
        Sink = nullptr;
        return S_OK;
    }
    UNUSED(BeginUIElement, ITfUIElement *, WINBOOL *, DWORD *) UNUSED(UpdateUIElement, DWORD)
    UNUSED(EndUIElement, DWORD)
    HRESULT STDMETHODCALLTYPE GetUIElement(DWORD Id, ITfUIElement **Element) override
    {
        *Element = nullptr;
        for (auto &entry : Elements)
            if (entry.first == Id) {
                entry.second->AddRef();
                *Element = entry.second;
                return S_OK;
            }
        return E_INVALIDARG;
    }
    UNUSED(EnumUIElements, IEnumTfUIElements **)

    ITfUIElementSink *AdvisedSink() { return reinterpret_cast<ITfUIElementSink *>(Sink); }
};
FakeTextServices *Services;

HRESULT WINAPI FakeCoCreateInstance(REFCLSID Class, LPUNKNOWN, DWORD, REFIID Id, LPVOID *Out)
{
    *Out = nullptr;
    if (!IsEqualCLSID(Class, CLSID_TF_ThreadMgr) || FAILED(Services->CreateResult)) return Services->CreateResult;
    return Services->QueryInterface(Id, Out);
}

// A CANDIDATELIST image: count, selection, offsets, texts.
std::vector<uint8_t> CandidateImage(const std::vector<std::wstring> &Texts, DWORD Selection)
{
    size_t size = 24 + 4 * Texts.size();
    for (const std::wstring &text : Texts) size += (text.size() + 1) * 2;
    std::vector<uint8_t> image(size);
    CANDIDATELIST *list = reinterpret_cast<CANDIDATELIST *>(image.data());
    list->dwCount = static_cast<DWORD>(Texts.size());
    list->dwSelection = Selection;
    size_t offset = 24 + 4 * Texts.size();
    for (size_t i = 0; i < Texts.size(); ++i) {
        list->dwOffset[i] = static_cast<DWORD>(offset);
        memcpy(image.data() + offset, Texts[i].c_str(), (Texts[i].size() + 1) * 2);
        offset += (Texts[i].size() + 1) * 2;
    }
    return image;
}

std::vector<uint8_t> HeldCandidates()
{
    const uint8_t *list = reinterpret_cast<const uint8_t *>(ImeInputState.CandidateList);
    return list ? std::vector<uint8_t>(list, list + ImeInputState.CandidateListSize) : std::vector<uint8_t>();
}

std::wstring TakeAllChars()
{
    std::wstring taken;
    uint16_t units[2];
    while (int n = TakeInputChar(units, 1)) taken.append(reinterpret_cast<wchar_t *>(units), n);
    return taken;
}

// One main window for the whole suite (its start measures the timers for a second); each test
// starts the IME layer afresh over the stand-in IME.
class Ime : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        SetLogFileOutputFlag(1);
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);  // as the library's start does
        ApplyApplicationWindowSettings();
        ASSERT_EQ(0, CreateMainWindow());
        ProcessMessage();
    }
    static void TearDownTestSuite()
    {
        EndMainWindowForTest();
        CoUninitialize();
    }
    void SetUp() override
    {
        ASSERT_NE(nullptr, GetMainWindowHandle());
        MainWindowState.WindowActiveFlag = 1;
        Window = GetMainWindowHandle();
        SavedApi = WinAPIData;
        InitializeInputCharBuffer();
        TerminateTextServices();  // the IME messages keep the candidate list
        Fake = FakeIme();
        WinAPIData.ImmGetContextFunc = FakeGetContext;
        WinAPIData.ImmReleaseContextFunc = FakeReleaseContext;
        WinAPIData.ImmGetOpenStatusFunc = FakeGetOpenStatus;
        WinAPIData.ImmNotifyIMEFunc = FakeNotify;
        WinAPIData.ImmSetOpenStatusFunc = FakeSetOpenStatus;
        WinAPIData.ImmGetCandidateListWFunc = FakeGetCandidateList;
        WinAPIData.ImmGetCompositionStringWFunc = FakeGetCompositionString;
        WinAPIData.ImmSetCompositionStringWFunc = FakeSetCompositionString;
        WinAPIData.WINNLSEnableIMEFunc = FakeEnableIme;
    }
    void TearDown() override
    {
        EXPECT_EQ(0, Fake.OpenContexts) << "every input context taken is released";
        DropCandidateList();
        WinAPIData = SavedApi;
        TerminateTextServices();
    }
    LRESULT Send(UINT Message, WPARAM WParam, LPARAM LParam) { return SendMessageW(Window, Message, WParam, LParam); }
    void OpenCandidates(const std::vector<std::wstring> &Texts)
    {
        Fake.Candidates = CandidateImage(Texts, 0);
        Send(WM_IME_NOTIFY, IMN_OPENCANDIDATE, 1);
    }

    HWND Window = nullptr;
    WinAPIFunctionTable SavedApi;
};

TEST(CountCharsInUnits, PairsCountOnceAndTheCountStopsAtTheTerminator)
{
    const uint16_t pair[] = {'a', 0xD83D, 0xDE00, 'b', 0};
    const uint16_t lone[] = {0xD83D, 'x', 0xDE00, 0};
    struct Case {
        const uint16_t *Text;
        int Units, Expected;
    } cases[] = {
        {pair, 3, 2}, {pair, 4, 3}, {pair, 2, 2}, {pair, 99, 3}, {pair, 0, 0}, {pair, -5, 0},
        {lone, 3, 3},
    };
    for (const Case &c : cases) EXPECT_EQ(c.Expected, CountCharsInUnits(c.Text, c.Units)) << c.Units;
}

TEST_F(Ime, CompositionClausesAttributesAndCursorFollowTheMessages)
{
    EXPECT_EQ(0, Send(WM_IME_STARTCOMPOSITION, 0, 0));
    EXPECT_EQ(1, ImeInputState.ComposingFlag);

    Fake.Composition = L"か\U0001F600じ";
    Fake.Cursor = 3;  // units: after the pair
    Fake.Clauses = {0, 0, 0, 0, 3, 0, 0, 0, 4, 0, 0, 0};
    Fake.Attributes = {1, 1, 1, 0};
    EXPECT_EQ(0, Send(WM_IME_COMPOSITION, 0, GCS_COMPSTR | GCS_CURSORPOS | GCS_COMPCLAUSE | GCS_COMPATTR));
    EXPECT_EQ(Fake.Composition, ImeInputState.CompositionString);
    EXPECT_EQ(2, ImeInputState.CompositionCursor);
    EXPECT_EQ(3, ImeInputState.ClauseNum);
    EXPECT_EQ(0, memcmp(Fake.Clauses.data(), ImeInputState.ClauseData, 12));
    EXPECT_EQ(4, ImeInputState.AttributeLength);
    EXPECT_EQ(0, memcmp(Fake.Attributes.data(), ImeInputState.AttributeData, 4));

    // A shorter composition leaves nothing of the longer one behind.
    Fake.Composition = L"か";
    Send(WM_IME_COMPOSITION, 0, GCS_COMPSTR);
    EXPECT_STREQ(L"か", ImeInputState.CompositionString);

    // The result goes into the typed-character buffer unit by unit; what the IME composes next
    // replaces the composition and the candidate list goes.
    OpenCandidates({L"漢字"});
    Fake.Result = L"漢字x";
    Fake.Composition = L"";
    Send(WM_CHAR, 'a', 0);
    EXPECT_EQ(0, Send(WM_IME_COMPOSITION, 0, GCS_RESULTSTR));
    EXPECT_EQ(L"a漢字x", TakeAllChars());
    EXPECT_STREQ(L"", ImeInputState.CompositionString);
    EXPECT_EQ(nullptr, ImeInputState.CandidateList);

    Fake.Composition = L"ん";
    Send(WM_IME_COMPOSITION, 0, GCS_COMPSTR);
    Fake.Cursor = 1;
    Send(WM_IME_COMPOSITION, 0, GCS_CURSORPOS);
    EXPECT_EQ(0, Send(WM_IME_ENDCOMPOSITION, 0, 0));
    EXPECT_EQ(0, ImeInputState.ComposingFlag);
    EXPECT_STREQ(L"", ImeInputState.CompositionString);
    Send(WM_IME_STARTCOMPOSITION, 0, 0);  // the next composition starts at its beginning
    EXPECT_EQ(0, ImeInputState.CompositionCursor);
}

TEST_F(Ime, CandidateListThroughTheImeMessages)
{
    OpenCandidates({L"漢字", L"感じ", L"幹事"});
    EXPECT_EQ(Fake.Candidates, HeldCandidates());

    // A cursor that stays keeps the list; one that moves drops it.
    Fake.Composition = L"かんじ";
    Fake.Cursor = 0;
    Send(WM_IME_COMPOSITION, 0, GCS_COMPSTR | GCS_CURSORPOS);
    EXPECT_NE(nullptr, ImeInputState.CandidateList);
    Fake.Cursor = 2;
    Send(WM_IME_COMPOSITION, 0, GCS_CURSORPOS);
    EXPECT_EQ(nullptr, ImeInputState.CandidateList);

    OpenCandidates({L"一"});
    Fake.Candidates = CandidateImage({L"二", L"三"}, 1);
    Send(WM_IME_NOTIFY, IMN_CHANGECANDIDATE, 1);
    EXPECT_EQ(Fake.Candidates, HeldCandidates());
    EXPECT_EQ(0, Send(WM_IME_NOTIFY, IMN_CLOSECANDIDATE, 1));
    EXPECT_EQ(nullptr, ImeInputState.CandidateList);
    EXPECT_EQ(0, ImeInputState.CandidateListSize);
}

TEST_F(Ime, CandidateListsThatCannotBeHadAreLoggedAndNotKept)
{
    StartLogFile();
    OpenCandidates({L"古い"});
    LogAppendReader log;
    Fake.CandidateFillFails = true;
    Send(WM_IME_NOTIFY, IMN_OPENCANDIDATE, 1);
    EXPECT_EQ(nullptr, ImeInputState.CandidateList);
    EXPECT_NE(std::wstring::npos, log.Appended().find(L"漢字変換候補の取得に失敗しました  BufSize:"));

    // Far more than the heap gives: the program goes on without a list.
    Fake.CandidateFillFails = false;
    Fake.CandidateSize = 0x7FFFFFF0;
    log.Mark();
    Send(WM_IME_NOTIFY, IMN_SETCANDIDATEPOS, 1);
    EXPECT_EQ(nullptr, ImeInputState.CandidateList);
    EXPECT_EQ(0, ImeInputState.CandidateListSize);
    EXPECT_NE(std::wstring::npos,
              log.Appended().find(L"漢字変換候補を保存するメモリの確保に失敗しました( 確保しようとしたサイズ 2147483632 バイト )"));
}

// Posted to a helper window: the pump dispatches it, and its handling changes the IME's open state
// (which runs the pump again inside) and then the window's activation.
int QueuedDuringDispatch = -1;
LRESULT CALLBACK OpenStatusThenActivate(HWND Helper, UINT Message, WPARAM WParam, LPARAM LParam)
{
    if (Message != WM_APP) return DefWindowProcW(Helper, Message, WParam, LParam);
    SendMessageW(GetMainWindowHandle(), WM_IME_NOTIFY, IMN_SETOPENSTATUS, 0);
    SendMessageW(GetMainWindowHandle(), WM_ACTIVATE, WA_ACTIVE, 0);
    QueuedDuringDispatch = GetWindowActivateQueueNum();
    return 0;
}

TEST_F(Ime, OpenStatusIsReadAfterTheWaitAndActivationsStayQueued)
{
    Fake.Open = TRUE;
    EXPECT_EQ(0, Send(WM_IME_NOTIFY, IMN_SETOPENSTATUS, 0));
    EXPECT_EQ(1, ImeInputState.OpenStatus);

    WNDCLASSW helperClass = {};
    helperClass.lpfnWndProc = OpenStatusThenActivate;
    helperClass.hInstance = GetModuleHandleW(nullptr);
    helperClass.lpszClassName = L"tarvex ime helper";
    RegisterClassW(&helperClass);
    HWND helper = CreateWindowW(helperClass.lpszClassName, L"", 0, 0, 0, 1, 1, HWND_MESSAGE, nullptr,
                                helperClass.hInstance, nullptr);
    ASSERT_NE(nullptr, helper);
    QueuedDuringDispatch = -1;
    PostMessageW(helper, WM_APP, 0, 0);
    EXPECT_EQ(0, ProcessMessage());
    EXPECT_EQ(1, QueuedDuringDispatch);
    EXPECT_EQ(0, GetWindowActivateQueueNum());  // handled after the pump's loop
    DestroyWindow(helper);
    UnregisterClassW(helperClass.lpszClassName, helperClass.hInstance);
}

TEST_F(Ime, AnOpenImeGetsItsCompositionBackAfterReactivation)
{
    struct Case {
        int Enabled, Open, Step;  // Step 0: the activation decides
        const wchar_t *Calls;
    } cases[] = {
        {1, 1, 0, L"read cancel close open open set:へんかん "},
        {0, 1, 0, L""},
        {1, 0, 0, L""},
        {1, 1, 3, L"open open set: "},
    };
    for (const Case &c : cases) {
        ImeInputState.EnableState = c.Enabled;
        ImeInputState.OpenStatus = c.Open;
        memset(ImeInputState.SavedComposition, 0, sizeof ImeInputState.SavedComposition);
        Fake.Composition = L"へんかん";
        Fake.Calls.clear();
        if (c.Step) ImeInputState.RestoreStep = c.Step;
        else RestoreImeOnActivate();
        EXPECT_EQ(0, ProcessInputString());
        EXPECT_EQ(c.Calls, Fake.Calls) << c.Enabled << c.Open << c.Step;
        EXPECT_EQ(0, ImeInputState.RestoreStep);
        Fake.Calls.clear();
        ProcessInputString();  // nothing further
        EXPECT_EQ(L"", Fake.Calls);
    }
}

TEST_F(Ime, InputStringsGoAtTheWindowsEndAndTheImeFollowsTheUseFlag)
{
    int before = GetAllocNum();
    for (int slot : {3, 200}) {
        InputStringRecord &record = ImeInputState.InputString[slot];
        record.UsedFlag = 1;
        record.CheckNumber = slot;
        record.Text = static_cast<wchar_t *>(DXCALLOC(64));
    }
    ImeInputState.ActiveInputHandle = InputStringHandle(200);
    EXPECT_EQ(0x24C800C8, ImeInputState.ActiveInputHandle);

    OpenCandidates({L"候補"});
    Fake.Composition = L"こう";
    Send(WM_IME_COMPOSITION, 0, GCS_COMPSTR);
    ImeInputState.ComposingFlag = 1;
    ImeInputState.EnableState = 0;  // already as the use flag wants: nothing changes
    Fake.Calls.clear();
    EXPECT_EQ(0, DeleteAllInputStrings());
    EXPECT_EQ(L"", Fake.Calls);
    EXPECT_EQ(before + 1, GetAllocNum());  // only the candidate list is left
    EXPECT_EQ(-1, ImeInputState.ActiveInputHandle);
    EXPECT_EQ(0, ImeInputState.InputString[200].UsedFlag);

    ImeInputState.EnableState = 1;  // switched on: the IME goes off and forgets its state
    EXPECT_EQ(0, DeleteAllInputStrings());
    EXPECT_EQ(L"disable ", Fake.Calls);
    EXPECT_EQ(0, ImeInputState.EnableState);
    EXPECT_EQ(nullptr, ImeInputState.CandidateList);
    EXPECT_STREQ(L"", ImeInputState.CompositionString);
    EXPECT_EQ(0, ImeInputState.ComposingFlag);
}

TEST_F(Ime, TheSystemsThreadManagerTakesTheSinkAndGivesItBack)
{
    ASSERT_GE(GetWindowsVersionCode(), WINDOWS_VERSION_7);
    StartLogFile();
    int before = GetAllocNum();
    LogAppendReader log;
    InitializeInputCharBuffer();
    ASSERT_NE(nullptr, ImeInputState.ThreadMgr);
    ASSERT_NE(nullptr, ImeInputState.Sink);
    EXPECT_NE(std::wstring::npos, log.Appended().find(L"文字コードバッファの初期化を行います... 完了しました"));
    EXPECT_NE(std::wstring::npos, log.Appended().find(L"テキストサービスの UI エレメントシンクを登録しました"));

    // With text services the IME messages leave the candidate list alone.
    Fake.Candidates = CandidateImage({L"無視"}, 0);
    Send(WM_IME_NOTIFY, IMN_OPENCANDIDATE, 1);
    EXPECT_EQ(nullptr, ImeInputState.CandidateList);
    BOOL show = TRUE;
    EXPECT_EQ(E_INVALIDARG, ImeInputState.Sink->BeginUIElement(12345, &show));  // no such element

    log.Mark();
    EXPECT_EQ(0, TerminateTextServices());
    EXPECT_NE(std::wstring::npos, log.Appended().find(L"テキストサービスの UI エレメントシンクを解除しました"));
    EXPECT_EQ(nullptr, ImeInputState.ThreadMgr);
    EXPECT_EQ(nullptr, ImeInputState.Sink);
    EXPECT_EQ(before, GetAllocNum()) << "the sink is freed once the system lets it go";
    EXPECT_EQ(0, TerminateTextServices());
}

TEST_F(Ime, TheSinkAnswersOnlyItsTwoInterfacesAndFreesItselfAtTheLastRelease)
{
    int before = GetAllocNum();
    ZoVuz::DX_UIElementSink *sink = ZoVuz::DX_UIElementSink::Create();
    ASSERT_NE(nullptr, sink);
    EXPECT_EQ(before + 1, GetAllocNum());
    struct Case {
        const IID *Id;
        HRESULT Expected;
    } cases[] = {
        {&IID_IUnknown, S_OK}, {&IID_ITfUIElementSink, S_OK}, {&IID_ITfSource, E_NOINTERFACE},
        {&IID_IDispatch, E_NOINTERFACE}, {&IID_D_ITfCandidateListUIElement, E_NOINTERFACE},
    };
    for (const Case &c : cases) {
        void *out = reinterpret_cast<void *>(1);
        EXPECT_EQ(c.Expected, sink->QueryInterface(*c.Id, &out));
        EXPECT_EQ(c.Expected == S_OK ? static_cast<void *>(sink) : nullptr, out);
        if (out) {
            EXPECT_EQ(1u, sink->Release());
        }
    }
    EXPECT_EQ(E_INVALIDARG, sink->QueryInterface(IID_IUnknown, nullptr));
    EXPECT_EQ(2u, sink->AddRef());
    EXPECT_EQ(1u, sink->Release());
    EXPECT_EQ(before + 1, GetAllocNum());
    EXPECT_EQ(0u, sink->Release());
    EXPECT_EQ(before, GetAllocNum());
}

TEST_F(Ime, CandidateListElementsThroughTheSink)
{
    FakeTextServices services;
    Services = &services;
    WinAPIData.CoCreateInstanceFunc = FakeCoCreateInstance;
    FakeElement candidates, reading;
    candidates.Texts = {L"漢字", L"感じ"};
    reading.IsCandidateList = false;
    services.Elements = {{5, &candidates}, {6, &reading}};
    int before = GetAllocNum();
    InitializeInputCharBuffer();
    ASSERT_TRUE(services.Active);
    ITfUIElementSink *sink = services.AdvisedSink();
    ASSERT_NE(nullptr, sink);

    WINBOOL show = TRUE;
    EXPECT_EQ(S_OK, sink->BeginUIElement(6, &show));  // not a candidate list: only hidden
    EXPECT_FALSE(show);
    EXPECT_EQ(nullptr, ImeInputState.CandidateList);
    show = TRUE;
    EXPECT_EQ(E_INVALIDARG, sink->BeginUIElement(9, &show));
    EXPECT_TRUE(show);
    EXPECT_EQ(E_INVALIDARG, sink->UpdateUIElement(9));
    EXPECT_EQ(E_INVALIDARG, sink->EndUIElement(9));

    EXPECT_EQ(S_OK, sink->BeginUIElement(5, &show));
    EXPECT_FALSE(show);
    EXPECT_EQ(CandidateImage(candidates.Texts, 0), HeldCandidates());
    candidates.Texts = {L"幹事"};
    EXPECT_EQ(S_OK, sink->UpdateUIElement(5));
    EXPECT_EQ(CandidateImage(candidates.Texts, 0), HeldCandidates());
    EXPECT_EQ(S_OK, sink->BeginUIElement(5, &show));  // a second list opens
    EXPECT_EQ(S_OK, sink->EndUIElement(5));
    EXPECT_NE(nullptr, ImeInputState.CandidateList);
    EXPECT_EQ(S_OK, sink->EndUIElement(5));
    EXPECT_EQ(nullptr, ImeInputState.CandidateList);
    EXPECT_EQ(S_OK, sink->EndUIElement(5));  // one end too many does not count below 0
    EXPECT_EQ(S_OK, sink->BeginUIElement(5, &show));
    EXPECT_EQ(S_OK, sink->EndUIElement(5));
    EXPECT_EQ(nullptr, ImeInputState.CandidateList);
    EXPECT_EQ(1, candidates.Refs);
    EXPECT_EQ(1, reading.Refs);

    EXPECT_EQ(0, TerminateTextServices());
    EXPECT_EQ(nullptr, services.Sink);
    EXPECT_FALSE(services.Active);
    EXPECT_EQ(1, services.Refs);
    EXPECT_EQ(before, GetAllocNum());
}

TEST_F(Ime, TextServicesThatFailToStartLeaveNothingBehind)
{
    StartLogFile();
    struct Case {
        HRESULT Create, Activate, Advise;
        const wchar_t *Step;
    } cases[] = {
        {REGDB_E_CLASSNOTREG, S_OK, S_OK, L"CoCreateInstance"},
        {S_OK, E_FAIL, S_OK, L"ActivateEx"},
        {S_OK, S_OK, E_OUTOFMEMORY, L"AdviseSink"},
    };
    for (const Case &c : cases) {
        DropCandidateList();
        FakeTextServices services;
        services.CreateResult = c.Create;
        services.ActivateResult = c.Activate;
        services.AdviseResult = c.Advise;
        Services = &services;
        WinAPIData.CoCreateInstanceFunc = FakeCoCreateInstance;
        int before = GetAllocNum();
        LogAppendReader log;
        EXPECT_EQ(0, InitializeInputCharBuffer());
        EXPECT_EQ(nullptr, ImeInputState.ThreadMgr) << c.Step;
        EXPECT_EQ(1, services.Refs) << c.Step;
        EXPECT_FALSE(services.Active) << c.Step;
        EXPECT_EQ(before, GetAllocNum()) << c.Step;
        EXPECT_NE(std::wstring::npos, log.Appended().find(std::wstring(L"テキストサービスを使用しません( ") + c.Step))
            << c.Step;
        // The IME messages keep the candidate list instead.
        OpenCandidates({L"代わり"});
        EXPECT_EQ(Fake.Candidates, HeldCandidates()) << c.Step;
    }
}

TEST(ImeCandidateElement, ListsReadFromACandidateListElement)
{
    struct Case {
        const char *Name;
        std::vector<std::wstring> Texts;
        UINT Selection;
        bool CountFails;
        int FailingText;
        std::wstring Grows;
        std::vector<std::wstring> Expected;
        UINT ExpectedSelection;
    } cases[] = {
        {"three", {L"漢字", L"", L"感じ"}, 2, false, -1, L"", {L"漢字", L"", L"感じ"}, 2},
        {"a text fails", {L"一", L"二", L"三"}, 0, false, 1, L"", {L"一", L"", L"三"}, 0},
        {"no count", {L"一"}, 1, true, -1, L"", {}, 0},
        {"empty", {}, 3, false, -1, L"", {}, 0},
        // Longer on the second reading: cut to the space measured, every text still terminated.
        {"grows", {L"ab", L"c"}, 0, false, -1, L"abXYZ", {L"abX", L""}, 0},
    };
    for (const Case &c : cases) {
        FakeElement element;
        element.Texts = c.Texts;
        element.Selection = c.Selection;
        element.CountFails = c.CountFails;
        element.FailingText = c.FailingText;
        element.GrowsOnSecondRead = c.Grows;
        ASSERT_EQ(0, ReadCandidateListElement(&element)) << c.Name;
        std::vector<uint8_t> expected = CandidateImage(c.Expected, c.ExpectedSelection);
        EXPECT_EQ(expected, HeldCandidates()) << c.Name;
        DropCandidateList();
    }
}

}  // namespace
