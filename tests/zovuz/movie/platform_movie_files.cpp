// The files the platform movie tests play: an uncompressed AVI with one colour per frame,
// written by the test, and files written into the test's folder.
#include "tests/zovuz/movie/platform_movie_files.h"

#include "tests/support/test_files.h"

#include <stdio.h>

#include <algorithm>

namespace {

const int W = AviWidth, H = AviHeight, Frames = AviFrames;

void Put32(std::vector<BYTE> &b, uint32_t v)
{
    for (int i = 0; i < 4; i++) b.push_back(static_cast<BYTE>(v >> (8 * i)));
}
void PutTag(std::vector<BYTE> &b, const char *t) { b.insert(b.end(), t, t + 4); }
// A chunk: tag, size, data (padded to even).
void PutChunk(std::vector<BYTE> &b, const char *t, const std::vector<BYTE> &d)
{
    PutTag(b, t);
    Put32(b, static_cast<uint32_t>(d.size()));
    b.insert(b.end(), d.begin(), d.end());
    if (d.size() & 1) b.push_back(0);
}
std::vector<BYTE> List(const char *t, const std::vector<BYTE> &d)
{
    std::vector<BYTE> b;
    PutTag(b, t);
    b.insert(b.end(), d.begin(), d.end());
    return b;
}

}  // namespace

void FrameColour(int k, BYTE *Rgb)
{
    Rgb[0] = static_cast<BYTE>(20 + k * 23);   // red
    Rgb[1] = static_cast<BYTE>(230 - k * 19);  // green
    Rgb[2] = static_cast<BYTE>((k * 71) % 256);
}

std::vector<BYTE> BuildAvi(int BitCount)
{
    const uint32_t pixelBytes = BitCount / 8, frameBytes = W * pixelBytes * H;
    std::vector<BYTE> avih;
    for (uint32_t v : {100000u, frameBytes * 10, 0u, 0x10u, static_cast<uint32_t>(Frames), 0u, 1u, frameBytes,
                       static_cast<uint32_t>(W), static_cast<uint32_t>(H), 0u, 0u, 0u, 0u})
        Put32(avih, v);
    std::vector<BYTE> strh;
    PutTag(strh, "vids");
    PutTag(strh, "DIB ");
    for (uint32_t v : {0u, 0u, 0u, 1u, 10u, 0u, static_cast<uint32_t>(Frames), frameBytes, 0xFFFFFFFFu, 0u})
        Put32(strh, v);
    Put32(strh, 0);
    Put32(strh, (H << 16) | W);
    std::vector<BYTE> strf;
    for (uint32_t v : {40u, static_cast<uint32_t>(W), static_cast<uint32_t>(H)}) Put32(strf, v);
    strf.push_back(1);
    strf.push_back(0);
    strf.push_back(static_cast<BYTE>(BitCount));
    strf.push_back(0);
    for (uint32_t v : {0u, frameBytes, 0u, 0u, 0u, 0u}) Put32(strf, v);
    std::vector<BYTE> strl;
    PutChunk(strl, "strh", strh);
    PutChunk(strl, "strf", strf);
    std::vector<BYTE> hdrl;
    PutChunk(hdrl, "avih", avih);
    PutChunk(hdrl, "LIST", List("strl", strl));
    std::vector<BYTE> movi, idx;
    uint32_t offset = 4;
    for (int k = 0; k < Frames; k++) {
        std::vector<BYTE> frame;
        BYTE rgb[3];
        FrameColour(k, rgb);
        for (int i = 0; i < W * H; i++) {
            frame.push_back(rgb[2]);  // stored blue, green, red
            frame.push_back(rgb[1]);
            frame.push_back(rgb[0]);
            if (pixelBytes == 4) frame.push_back(FrameAlpha(k));
        }
        PutChunk(movi, "00db", frame);
        PutTag(idx, "00db");
        Put32(idx, 0x10);
        Put32(idx, offset);
        Put32(idx, frameBytes);
        offset += 8 + frameBytes;
    }
    std::vector<BYTE> body;
    PutTag(body, "AVI ");
    PutChunk(body, "LIST", List("hdrl", hdrl));
    PutChunk(body, "LIST", List("movi", movi));
    PutChunk(body, "idx1", idx);
    std::vector<BYTE> file;
    PutChunk(file, "RIFF", body);
    return file;
}

std::wstring WriteFile(const wchar_t *Name, const std::vector<BYTE> &Bytes)
{
    wchar_t dir[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, dir);
    const std::wstring path = std::wstring(dir) + L"\\" + Name;
    WriteFileBytes(path, Bytes);
    return path;
}

void UseOwnTempFolder()
{
    wchar_t dir[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, dir);
    const std::wstring own = std::wstring(dir) + L"\\tmp";
    CreateDirectoryW(own.c_str(), nullptr);
    SetEnvironmentVariableW(L"TMP", own.c_str());
    SetEnvironmentVariableW(L"TEMP", own.c_str());
}

std::vector<std::wstring> TempFiles()
{
    wchar_t dir[MAX_PATH];
    GetTempPathW(MAX_PATH, dir);
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE h = FindFirstFileW((std::wstring(dir) + L"tmp*.tmp").c_str(), &found);
    if (h == INVALID_HANDLE_VALUE) return names;
    do names.push_back(found.cFileName);
    while (FindNextFileW(h, &found));
    FindClose(h);
    std::sort(names.begin(), names.end());
    return names;
}
