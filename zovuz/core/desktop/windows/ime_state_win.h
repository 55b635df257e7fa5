// The IME layer's state and its text-services objects, shared by the files that answer the IME
// messages, run the text services and start and end the layer. Main thread only: the window
// procedure, the message pump and the sink (whose calls arrive on the thread that activated the
// thread manager).
#pragma once

#include "zovuz/core/desktop/ime_internal.h"

#include <windows.h>
#include <imm.h>
#include <msctf.h>

#define IME_TEXT_UNITS 1025            // composition and saved composition, terminator included
#define IME_READ_BYTES 1024            // what one composition read passes to the IME
#define IME_CLAUSE_BYTES 4096          // clause data
#define IME_ATTRIBUTE_BYTES 1024       // attribute data
#define IME_CANDIDATE_HEADER_BYTES 24  // CANDIDATELIST up to its offset table
#define INPUT_STRING_MAXNUM 256        // input-string records
#define DX_HANDLETYPE_INPUT_STRING 9   // handle type of the input-string records

#ifndef TF_TMAE_UIELEMENTENABLEDONLY
#define TF_TMAE_UIELEMENTENABLEDONLY 0x00000004
#endif

// The library's own declarations of the two interfaces the UI element sink implements.
struct D_IUnknown
{
    virtual HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **ppvObject) = 0;
    virtual ULONG STDMETHODCALLTYPE AddRef(void) = 0;
    virtual ULONG STDMETHODCALLTYPE Release(void) = 0;
};

struct D_ITfUIElementSink : public D_IUnknown
{
    virtual HRESULT STDMETHODCALLTYPE BeginUIElement(DWORD dwUIElementId, BOOL *pbShow) = 0;
    virtual HRESULT STDMETHODCALLTYPE UpdateUIElement(DWORD dwUIElementId) = 0;
    virtual HRESULT STDMETHODCALLTYPE EndUIElement(DWORD dwUIElementId) = 0;
};

// The candidate-list UI element of the text services, which the system headers here lack.
extern const IID IID_D_ITfCandidateListUIElement;
struct D_ITfCandidateListUIElement : public ITfUIElement
{
    virtual HRESULT STDMETHODCALLTYPE GetUpdatedFlags(DWORD *pdwFlags) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetDocumentMgr(ITfDocumentMgr **ppdim) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetCount(UINT *puCount) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetSelection(UINT *puIndex) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetString(UINT uIndex, BSTR *pstr) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetPageIndex(UINT *pIndex, UINT uSize, UINT *puPageCnt) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetPageIndex(UINT *pIndex, UINT uPageCnt) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetCurrentPage(UINT *puPage) = 0;
};

namespace ZoVuz {

// The UI element sink: hides every UI element of the text services and keeps the candidate list
// of a candidate-list element in the IME state. Made with a reference count of 1 in tracked
// memory; the last Release frees it.
class DX_UIElementSink : public D_ITfUIElementSink
{
public:
    static DX_UIElementSink *Create(void);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **ppvObject) override;
    ULONG STDMETHODCALLTYPE AddRef(void) override;
    ULONG STDMETHODCALLTYPE Release(void) override;
    HRESULT STDMETHODCALLTYPE BeginUIElement(DWORD dwUIElementId, BOOL *pbShow) override;
    HRESULT STDMETHODCALLTYPE UpdateUIElement(DWORD dwUIElementId) override;
    HRESULT STDMETHODCALLTYPE EndUIElement(DWORD dwUIElementId) override;

private:
    DX_UIElementSink() : RefCount(1) {}
    ~DX_UIElementSink() = default;
    LONG RefCount;  // starts at 1
};

}  // namespace ZoVuz

struct InputStringRecord
{
    int UsedFlag;     // the record is in use
    int CheckNumber;  // check number of its handle
    wchar_t *Text;    // tracked allocation, UTF-16
};

// Text-input state. InitializeInputCharBuffer clears all of it but UseFlag and EnableState.
struct ImeInputData
{
    int UseFlag;      // the program takes IME input
    int EnableState;  // last state given to WINNLSEnableIME

    int ComposingFlag;                           // a composition is under way
    wchar_t CompositionString[IME_TEXT_UNITS];   // the IME's current composition
    int CompositionCursor;                       // cursor in characters (a pair counts once)
    uint8_t ClauseData[IME_CLAUSE_BYTES];        // clause offsets from the IME
    int ClauseNum;                               // bytes returned / 4
    uint8_t AttributeData[IME_ATTRIBUTE_BYTES];  // one attribute byte per unit
    int AttributeLength;                         // bytes returned
    CANDIDATELIST *CandidateList;                // tracked allocation, null when none
    int CandidateListSize;                       // its size in bytes, 0 when none
    int OpenStatus;                              // the IME's last reported open state
    int RestoreStep;                             // 0 idle, 1..4 the pump's next restore step
    wchar_t SavedComposition[IME_TEXT_UNITS];    // composition kept across a restore
    int OpenStatusWaitFlag;                      // the open-status wait runs (no nesting)

    ITfThreadMgrEx *ThreadMgr;      // text services, null when not in use
    ZoVuz::DX_UIElementSink *Sink;  // the advised sink
    DWORD SinkCookie;               // cookie of its advice
    int OpenCandidateNum;           // candidate-list elements begun and not ended

    InputStringRecord InputString[INPUT_STRING_MAXNUM];
    int ActiveInputHandle;  // -1 when none
};

extern ImeInputData ImeInputState;

// Frees the candidate list; size 0.
void DropCandidateList(void);

// Logs that a candidate list of Size bytes could not be allocated (the list stays empty).
void LogCandidateAllocFailure(uint64_t Size);

// Creates and activates the thread manager and advises the sink: null, or the step that failed
// (everything made is released again; Result receives the failing HRESULT).
const wchar_t *SetupTextServices(HRESULT *Result);

// Replaces the candidate list by what a candidate-list element of the text services holds: count,
// selection, one offset per candidate and the terminated candidates. The size, style and page
// fields stay 0. An element that reports no candidates gives the 24-byte list of count 0. 0, or
// -1 when the list could not be allocated (logged; no list is kept).
int ReadCandidateListElement(D_ITfCandidateListUIElement *Element);

// The handle of an input-string record.
int InputStringHandle(int Slot);
