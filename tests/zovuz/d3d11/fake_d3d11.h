// A recording stand-in for "d3d11.dll" and "dxgi.dll", put behind the back end's call layer
// (calls/windows/d3d11_calls.h) through D3D11_SetModuleFunctions.
//
// The call layer loads the two "DLLs" through the fake's loader, whose entry points
// (D3D11CreateDevice, CreateDXGIFactory1, CreateDXGIFactory) make fake COM objects: the factory,
// adapters and outputs, the device with its contexts and DXGI side, swap chains, and every object
// the device creates. The wrappers call them exactly as they call the platform's objects, so the
// whole back end above the platform runs against it unchanged.
//
// Every call is recorded as one line of text, the method and its arguments
// ("CreateTexture2D 64x32 fmt=28 bind=0x28 samples=1"), and counted by method name. What the fake
// answers is set in FakeD3D11 before the calls: the feature level it grants, the format support
// and multisample levels it reports, the adapters and outputs it has, a DLL or entry point it
// lacks, and an HRESULT that any method returns instead of acting.
//
// A method the fake does not implement stops the test program with its interface and slot
// ("fake Direct3D 11: ID3D11DeviceContext method 57 is not faked"); add it in fake_d3d11.cpp.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

// Every support bit: what the fake reports for a format that FormatSupport does not name.
#define FAKE_D3D11_FULL_SUPPORT 0xFFFFFFFFu

struct FakeD3D11Data
{
    // ---- What the fake answers ----
    std::vector<std::wstring> MissingModules;  // loading these fails ("dxgi.dll")
    std::vector<std::string> MissingProcs;     // these entry points are missing ("CreateDXGIFactory1")
    int MaxFeatureLevel = 0xB100;              // the device gets the first requested level at or below it
    std::map<int, UINT> FormatSupport;         // CheckFormatSupport by format; 0 = not supported (E_FAIL)
    // CheckMultisampleQualityLevels by (format, count); absent: 1 level for counts 1, 2, 4 and 8.
    std::map<std::pair<int, int>, UINT> QualityLevels;
    std::map<std::string, HRESULT> Fail;   // a method's name -> what it returns instead of acting
    std::map<std::string, int> FailFrom;   // ... from its call number N on (1 = its first); absent: every call
    int AdapterNum = 1;                    // adapters the factory enumerates
    int OutputNum = 1;                     // outputs of each adapter
    RECT OutputRect = {0, 0, 1920, 1080};  // each output's desktop rectangle
    int QueryBusyPolls = 0;                // GetData answers S_FALSE this often after each End

    // ---- What the fake saw ----
    std::vector<std::string> Calls;           // one line per call, in order
    std::map<std::string, int> CallCount;     // calls by method name
    std::vector<int> RequestedLevels;         // the levels of the last D3D11CreateDevice
    std::vector<DWORD> CallThreads;           // the thread of each recorded call
    std::vector<std::wstring> LoadedModules;  // loaded and not freed
    int LiveObjects = 0;                      // fake objects made and not released to 0 references

    // Every UpdateSubresource: where it wrote and the bytes of its box, rows packed (block rows
    // for block-compressed textures). Only the box's bytes are read from the caller's memory.
    struct Update
    {
        UINT Subresource;
        UINT Left, Top, Right, Bottom;
        UINT RowPitch;
        const void *Data;
        std::vector<unsigned char> Bytes;
    };
    std::vector<Update> Updates;
};
extern FakeD3D11Data FakeD3D11;

// Clears FakeD3D11 to its defaults and puts the fake in front of the call layer's loader. Only
// while neither DLL is loaded.
void InstallFakeD3D11(void);
// Gives the call layer the system's loader back.
void RemoveFakeD3D11(void);

// Calls recorded so far whose line starts with Prefix.
std::vector<std::string> FakeD3D11CallsStartingWith(const std::string &Prefix);
int FakeD3D11Count(const std::string &Method);

// The fake's loader, which InstallFakeD3D11 puts in front of the call layer.
HMODULE WINAPI FakeD3D11LoadLibrary(LPCWSTR FileName);
FARPROC WINAPI FakeD3D11GetProcAddress(HMODULE Module, LPCSTR Name);
BOOL WINAPI FakeD3D11FreeLibrary(HMODULE Module);
