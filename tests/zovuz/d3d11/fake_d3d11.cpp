// The fake's state and its installation in front of the call layer.
#include "tests/zovuz/d3d11/fake_d3d11.h"

#include "zovuz/d3d11/calls/windows/d3d11_calls.h"

FakeD3D11Data FakeD3D11;

namespace {

const D3D11ModuleFunctions FakeModules = {
    .Load = FakeD3D11LoadLibrary,
    .GetProc = FakeD3D11GetProcAddress,
    .Free = FakeD3D11FreeLibrary,
};

}  // namespace

void InstallFakeD3D11(void)
{
    FakeD3D11 = FakeD3D11Data();
    D3D11_SetModuleFunctions(&FakeModules);
}

void RemoveFakeD3D11(void) { D3D11_SetModuleFunctions(nullptr); }

std::vector<std::string> FakeD3D11CallsStartingWith(const std::string &Prefix)
{
    std::vector<std::string> calls;
    for (const std::string &call : FakeD3D11.Calls)
        if (call.compare(0, Prefix.size(), Prefix) == 0) calls.push_back(call);
    return calls;
}

int FakeD3D11Count(const std::string &Method)
{
    auto it = FakeD3D11.CallCount.find(Method);
    return it != FakeD3D11.CallCount.end() ? it->second : 0;
}
