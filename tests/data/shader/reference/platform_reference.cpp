// Runs the platform's own shader tools (d3dcompiler_47.dll) on one source file and writes what
// they return. Run under Wine by make-reference-blobs beside it; the outputs are test data for
// the shader emitter and the shader model 2 writer.
//   platform_reference compile <source.hlsl> <entry> <profile> <out.dxbc>   (D3DCompile)
//   platform_reference assemble <source.asm> <out.bin>                      (D3DAssemble)
#include <windows.h>
#include <d3dcompiler.h>

#include <stdio.h>
#include <string.h>

#include <vector>

typedef HRESULT(WINAPI *AssembleFunction)(const void *Data, SIZE_T Size, const char *FileName,
                                          const D3D_SHADER_MACRO *Defines, ID3DInclude *Include, UINT Flags,
                                          ID3DBlob **Shader, ID3DBlob **Errors);

int main(int argc, char **argv)
{
    const bool compiling = argc == 6 && strcmp(argv[1], "compile") == 0;
    const bool assembling = argc == 4 && strcmp(argv[1], "assemble") == 0;
    if (!compiling && !assembling) {
        fprintf(stderr, "usage: platform_reference compile source.hlsl entry profile out.dxbc\n"
                        "       platform_reference assemble source.asm out.bin\n");
        return 2;
    }
    const char *path = argv[2], *output = argv[argc - 1];
    FILE *in = fopen(path, "rb");
    if (!in) {
        fprintf(stderr, "cannot open %s\n", path);
        return 1;
    }
    std::vector<char> source;
    char block[4096];
    size_t got;
    while ((got = fread(block, 1, sizeof block, in)) > 0) source.insert(source.end(), block, block + got);
    fclose(in);

    HMODULE compiler = LoadLibraryA("d3dcompiler_47.dll");
    FARPROC entry = compiler ? GetProcAddress(compiler, compiling ? "D3DCompile" : "D3DAssemble") : nullptr;
    if (!entry) {
        fprintf(stderr, "%s is not available\n", compiling ? "D3DCompile" : "D3DAssemble");
        return 1;
    }
    ID3DBlob *code = nullptr, *errors = nullptr;
    const HRESULT hr =
        compiling ? reinterpret_cast<pD3DCompile>(entry)(source.data(), source.size(), path, nullptr, nullptr, argv[3],
                                                         argv[4], 0, 0, &code, &errors)
                  : reinterpret_cast<AssembleFunction>(entry)(source.data(), source.size(), path, nullptr, nullptr, 0,
                                                              &code, &errors);
    if (errors) {
        fprintf(stderr, "%.*s\n", (int)errors->GetBufferSize(), (const char *)errors->GetBufferPointer());
        errors->Release();
    }
    // Some failures come back as S_OK with no code (or a stub): they count as failures here.
    if (FAILED(hr) || !code || code->GetBufferSize() < (compiling ? 32u : 8u)) {
        fprintf(stderr, "%s failed on %s (0x%08lx)\n", argv[1], path, (unsigned long)hr);
        return 1;
    }
    FILE *out = fopen(output, "wb");
    if (!out || fwrite(code->GetBufferPointer(), 1, code->GetBufferSize(), out) != code->GetBufferSize()) {
        fprintf(stderr, "cannot write %s\n", output);
        return 1;
    }
    fclose(out);
    code->Release();
    return 0;
}
