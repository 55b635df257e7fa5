// The text services (Windows 7 and later): the thread manager is activated for UI-element-only
// use and the library's UI element sink keeps every IME window of the system hidden, capturing the
// candidate list in its place.
#include "zovuz/core/desktop/windows/ime_state_win.h"

#include "zovuz/core/text/log.h"
#include "zovuz/core/memory/memory.h"
#include "zovuz/core/system_info.h"
#include "zovuz/core/windows/api_table.h"
#include "zovuz/core/com_ref.h"

#include <new>

#include <string.h>

const IID IID_D_ITfCandidateListUIElement = {
    0xea1ea138, 0x19df, 0x11d7, {0xa6, 0xd2, 0x00, 0x06, 0x5b, 0x84, 0x43, 0x5c}};

namespace {

// The element behind an id of the thread manager's UI element manager, or null.
ITfUIElement *FindUIElement(DWORD Id)
{
    ImeInputData &ime = ImeInputState;
    if (ime.ThreadMgr == NULL) return NULL;
    ITfUIElementMgr *manager = NULL;
    if (FAILED(ime.ThreadMgr->QueryInterface(IID_ITfUIElementMgr, reinterpret_cast<void **>(&manager)))) return NULL;
    ITfUIElement *element = NULL;
    if (FAILED(manager->GetUIElement(Id, &element))) element = NULL;
    manager->Release();
    return element;
}

D_ITfCandidateListUIElement *AsCandidateList(ITfUIElement *Element)
{
    D_ITfCandidateListUIElement *list = NULL;
    if (FAILED(Element->QueryInterface(IID_D_ITfCandidateListUIElement, reinterpret_cast<void **>(&list)))) return NULL;
    return list;
}

// Looks the element of an id up and hands it to OnCandidateList when it is a candidate list:
// E_INVALIDARG when the id names no element, else S_OK.
template <class Action>
HRESULT WithUIElement(DWORD Id, Action OnCandidateList)
{
    ITfUIElement *element = FindUIElement(Id);
    if (element == NULL) return E_INVALIDARG;
    if (D_ITfCandidateListUIElement *list = AsCandidateList(element)) {
        OnCandidateList(list);
        list->Release();
    }
    element->Release();
    return S_OK;
}

// Units of a candidate text, terminator not counted; 0 for a failed or null text.
UINT CandidateUnits(HRESULT Result, BSTR Text) { return SUCCEEDED(Result) && Text != NULL ? SysStringLen(Text) : 0; }

void FreeCandidateText(BSTR Text)
{
    if (Text == NULL) return;
    if (WinAPIData.SysFreeStringFunc != NULL)
        WinAPIData.SysFreeStringFunc(Text);
    else
        SysFreeString(Text);
}

// Releases what a failed set-up made; the step that failed, for the log.
const wchar_t *EndTextServicesAfterFailure(const wchar_t *Step)
{
    ImeInputData &ime = ImeInputState;
    ReleaseAndClear(ime.Sink);
    if (ime.ThreadMgr != NULL) {
        ime.ThreadMgr->Deactivate();
        ReleaseAndClear(ime.ThreadMgr);
    }
    return Step;
}

}  // namespace

int ReadCandidateListElement(D_ITfCandidateListUIElement *Element)
{
    ImeInputData &ime = ImeInputState;
    DropCandidateList();

    UINT count = 0;
    UINT selection = 0;
    if (FAILED(Element->GetSelection(&selection)) || FAILED(Element->GetCount(&count))) count = 0;
    if (count == 0) selection = 0;

    // The texts are read twice, once for the size and once to copy them; an element that hands
    // out a longer text the second time gets it cut to the space the first reading left.
    uint64_t size = IME_CANDIDATE_HEADER_BYTES + 4ull * count;
    for (UINT i = 0; i < count && size <= INT32_MAX; ++i) {
        BSTR text = NULL;
        HRESULT result = Element->GetString(i, &text);
        size += (CandidateUnits(result, text) + 1ull) * 2;
        FreeCandidateText(text);
    }
    void *block = size <= INT32_MAX ? DXCALLOC(static_cast<size_t>(size)) : NULL;
    if (block == NULL) {
        LogCandidateAllocFailure(size);
        return -1;
    }
    CANDIDATELIST *list = static_cast<CANDIDATELIST *>(block);
    list->dwCount = count;
    list->dwSelection = selection;
    uint8_t *bytes = static_cast<uint8_t *>(block);
    size_t offset = IME_CANDIDATE_HEADER_BYTES + 4u * static_cast<size_t>(count);
    for (UINT i = 0; i < count; ++i) {
        list->dwOffset[i] = static_cast<DWORD>(offset);
        // Units this text may take with its terminator, leaving one for each later terminator.
        size_t room = (static_cast<size_t>(size) - offset) / 2 - (count - 1 - i);
        BSTR text = NULL;
        HRESULT result = Element->GetString(i, &text);
        size_t units = CandidateUnits(result, text);
        if (units > room - 1) units = room - 1;
        wchar_t *target = reinterpret_cast<wchar_t *>(bytes + offset);
        if (units > 0) memcpy(target, text, units * 2);
        target[units] = 0;
        offset += (units + 1) * 2;
        FreeCandidateText(text);
    }
    ime.CandidateList = list;
    ime.CandidateListSize = static_cast<int>(size);
    return 0;
}

namespace ZoVuz {

DX_UIElementSink *DX_UIElementSink::Create(void)
{
    void *memory = DXALLOC(sizeof(DX_UIElementSink));
    return memory != NULL ? new (memory) DX_UIElementSink() : NULL;
}

HRESULT STDMETHODCALLTYPE DX_UIElementSink::QueryInterface(REFIID riid, void **ppvObject)
{
    if (ppvObject == NULL) return E_INVALIDARG;
    *ppvObject = NULL;
    if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_ITfUIElementSink)) return E_NOINTERFACE;
    *ppvObject = this;
    AddRef();
    return S_OK;
}

ULONG STDMETHODCALLTYPE DX_UIElementSink::AddRef(void) { return static_cast<ULONG>(++RefCount); }

ULONG STDMETHODCALLTYPE DX_UIElementSink::Release(void)
{
    LONG count = --RefCount;
    if (count == 0) {
        this->~DX_UIElementSink();
        DXFREE(this);
    }
    return static_cast<ULONG>(count);
}

HRESULT STDMETHODCALLTYPE DX_UIElementSink::BeginUIElement(DWORD dwUIElementId, BOOL *pbShow)
{
    HRESULT result = WithUIElement(dwUIElementId, [](D_ITfCandidateListUIElement *List) {
        ImeInputState.OpenCandidateNum++;
        ReadCandidateListElement(List);
    });
    // The system shows no window for any element.
    if (result == S_OK && pbShow != NULL) *pbShow = FALSE;
    return result;
}

HRESULT STDMETHODCALLTYPE DX_UIElementSink::UpdateUIElement(DWORD dwUIElementId)
{
    return WithUIElement(dwUIElementId, [](D_ITfCandidateListUIElement *List) { ReadCandidateListElement(List); });
}

HRESULT STDMETHODCALLTYPE DX_UIElementSink::EndUIElement(DWORD dwUIElementId)
{
    return WithUIElement(dwUIElementId, [](D_ITfCandidateListUIElement *) {
        // An end without its begin does not take the count below 0.
        ImeInputData &ime = ImeInputState;
        if (ime.OpenCandidateNum > 0) ime.OpenCandidateNum--;
        if (ime.OpenCandidateNum == 0) DropCandidateList();
    });
}

}  // namespace ZoVuz

const wchar_t *SetupTextServices(HRESULT *Result)
{
    ImeInputData &ime = ImeInputState;
    *Result = S_OK;
    HRESULT &result = *Result;
    result = CreateComInstance(&CLSID_TF_ThreadMgr, NULL, CLSCTX_INPROC_SERVER, &IID_ITfThreadMgrEx,
                               reinterpret_cast<void **>(&ime.ThreadMgr));
    if (FAILED(result) || ime.ThreadMgr == NULL) {
        ime.ThreadMgr = NULL;
        return L"CoCreateInstance";
    }
    TfClientId clientId = 0;
    result = ime.ThreadMgr->ActivateEx(&clientId, TF_TMAE_UIELEMENTENABLEDONLY);
    if (FAILED(result)) {
        ReleaseAndClear(ime.ThreadMgr);
        return L"ActivateEx";
    }
    ime.Sink = ZoVuz::DX_UIElementSink::Create();
    if (ime.Sink == NULL) {
        result = E_OUTOFMEMORY;
        return EndTextServicesAfterFailure(L"DX_UIElementSink");
    }
    ITfSource *source = NULL;
    result = ime.ThreadMgr->QueryInterface(IID_ITfSource, reinterpret_cast<void **>(&source));
    if (FAILED(result) || source == NULL) return EndTextServicesAfterFailure(L"ITfSource");
    result = source->AdviseSink(IID_ITfUIElementSink, reinterpret_cast<IUnknown *>(static_cast<D_IUnknown *>(ime.Sink)),
                                &ime.SinkCookie);
    source->Release();
    if (FAILED(result)) return EndTextServicesAfterFailure(L"AdviseSink");
    return NULL;
}

int TerminateTextServices(void)
{
    ImeInputData &ime = ImeInputState;
    if (ime.ThreadMgr == NULL) return 0;
    if (ime.Sink != NULL) {
        ITfSource *source = NULL;
        if (SUCCEEDED(ime.ThreadMgr->QueryInterface(IID_ITfSource, reinterpret_cast<void **>(&source))) &&
            source != NULL) {
            HRESULT result = source->UnadviseSink(ime.SinkCookie);
            source->Release();
            if (SUCCEEDED(result)) AddLogStringWide(L"テキストサービスの UI エレメントシンクを解除しました\n");
        }
    }
    ime.ThreadMgr->Deactivate();
    ReleaseAndClear(ime.ThreadMgr);
    ReleaseAndClear(ime.Sink);
    ime.OpenCandidateNum = 0;
    return 0;
}
