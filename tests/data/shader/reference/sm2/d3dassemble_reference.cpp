// Assembles one shader model 2/3 assembly text with the platform's own D3DAssemble
// (d3dcompiler_47.dll) and writes the token stream it returns. Run under Wine by
// make-reference-blobs; the streams are test data for the shader model 2 writer.
//   d3dassemble_reference <source.asm> <out.bin>
#include <windows.h>
#include <d3dcommon.h>

#include <stdio.h>

#include <vector>

typedef HRESULT(WINAPI *AssembleFunction)(const void *Data, SIZE_T Size, const char *FileName,
                                          const D3D_SHADER_MACRO *Defines, ID3DInclude *Include, UINT Flags,
                                          ID3DBlob **Shader, ID3DBlob **Errors);

int main(int argc, char **argv)
{
    if (argc != 3) {
        fprintf(stderr, "usage: d3dassemble_reference source.asm out.bin\n");
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
    AssembleFunction assemble = compiler ? (AssembleFunction)GetProcAddress(compiler, "D3DAssemble") : nullptr;
    if (!assemble) {
        fprintf(stderr, "D3DAssemble is not available\n");
        return 1;
    }
    ID3DBlob *code = nullptr, *errors = nullptr;
    HRESULT hr = assemble(source.data(), source.size(), argv[1], nullptr, nullptr, 0, &code, &errors);
    if (errors) {
        fprintf(stderr, "%.*s\n", (int)errors->GetBufferSize(), (const char *)errors->GetBufferPointer());
        errors->Release();
    }
    if (FAILED(hr) || !code || code->GetBufferSize() < 8) {
        fprintf(stderr, "D3DAssemble failed on %s (0x%08lx)\n", argv[1], (unsigned long)hr);
        return 1;
    }
    FILE *out = fopen(argv[2], "wb");
    if (!out || fwrite(code->GetBufferPointer(), 1, code->GetBufferSize(), out) != code->GetBufferSize()) {
        fprintf(stderr, "cannot write %s\n", argv[2]);
        return 1;
    }
    fclose(out);
    code->Release();
    return 0;
}
