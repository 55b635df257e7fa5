// Compiles one HLSL file with the platform's own D3DCompile (d3dcompiler_47.dll) and writes
// the container it returns. Run under Wine by make-reference-blobs; the containers are test
// data for the shader emitter's checksum and dumper.
//   d3dcompile_reference <source.hlsl> <entry> <profile> <out.dxbc>
#include <windows.h>
#include <d3dcompiler.h>

#include <stdio.h>

#include <vector>

int main(int argc, char **argv)
{
    if (argc != 5) {
        fprintf(stderr, "usage: d3dcompile_reference source.hlsl entry profile out.dxbc\n");
        return 2;
    }
    FILE *in = fopen(argv[1], "rb");
    if (!in) {
        fprintf(stderr, "cannot open %s\n", argv[1]);
        return 1;
    }
    std::vector<char> source;
    char block[4096];
    size_t got;
    while ((got = fread(block, 1, sizeof block, in)) > 0) source.insert(source.end(), block, block + got);
    fclose(in);

    HMODULE compiler = LoadLibraryA("d3dcompiler_47.dll");
    auto compile = compiler ? reinterpret_cast<pD3DCompile>(GetProcAddress(compiler, "D3DCompile")) : nullptr;
    if (!compile) {
        fprintf(stderr, "D3DCompile is not available\n");
        return 1;
    }
    ID3DBlob *code = nullptr, *errors = nullptr;
    HRESULT hr = compile(source.data(), source.size(), argv[1], nullptr, nullptr, argv[2], argv[3], 0, 0, &code, &errors);
    if (errors) {
        fprintf(stderr, "%.*s\n", (int)errors->GetBufferSize(), (const char *)errors->GetBufferPointer());
        errors->Release();
    }
    // Some failures come back as S_OK with no code: both count as failures here.
    if (FAILED(hr) || !code || code->GetBufferSize() < 32) {
        fprintf(stderr, "D3DCompile failed on %s (0x%08lx)\n", argv[1], (unsigned long)hr);
        return 1;
    }
    FILE *out = fopen(argv[4], "wb");
    if (!out || fwrite(code->GetBufferPointer(), 1, code->GetBufferSize(), out) != code->GetBufferSize()) {
        fprintf(stderr, "cannot write %s\n", argv[4]);
        return 1;
    }
    fclose(out);
    code->Release();
    return 0;
}
