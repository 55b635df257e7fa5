// Damaged Theora files: a seeded mutation loop over the test movies (cut short, bytes flipped,
// headers alone) and the regression inputs of tests/data/hostile/theora/. Each is opened, decoded
// forward, across the end and after seeks; nothing may crash or hang, and every decoder gives
// back all its memory and ends its thread.
#include "tests/zovuz/movie/movie_fixture.h"

#include <gtest/gtest.h>

#include <random>

#include "tests/support/test_paths.h"

#include "tests/support/test_files.h"

#include <windows.h>
#include <tlhelp32.h>

namespace {

// The pages of an Ogg file whose granule position is 0: the headers alone.
Bytes HeaderPagesOnly(const Bytes &File)
{
    Bytes out;
    size_t at = 0;
    while (at + 27 <= File.size() && memcmp(&File[at], "OggS", 4) == 0) {
        int segments = File[at + 26];
        if (at + 27 + segments > File.size()) break;
        size_t body = 0;
        for (int i = 0; i < segments; ++i) body += File[at + 27 + i];
        size_t size = 27 + segments + body;
        if (at + size > File.size()) break;
        int64_t granule;
        memcpy(&granule, &File[at + 6], 8);
        if (granule == 0) out.insert(out.end(), File.begin() + at, File.begin() + at + size);
        at += size;
    }
    return out;
}

Bytes Mutate(const Bytes &File, std::mt19937 &Random)
{
    Bytes out = File;
    switch (Random() % 3) {
    case 0:  // cut short anywhere
        out.resize(Random() % out.size());
        break;
    case 1:  // a few bytes flipped
        for (int i = 0, n = 1 + Random() % 8; i < n; ++i) out[Random() % out.size()] ^= (uint8_t)(1 + Random() % 255);
        break;
    default:  // the headers, perhaps with some bytes flipped too
        out = HeaderPagesOnly(File);
        if (Random() % 2 && !out.empty()) out[Random() % out.size()] ^= 0x40;
        break;
    }
    return out;
}

int ThreadCount()
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 entry;
    entry.dwSize = sizeof(entry);
    int count = 0;
    for (BOOL ok = Thread32First(snapshot, &entry); ok; ok = Thread32Next(snapshot, &entry))
        if (entry.th32OwnerProcessID == GetCurrentProcessId()) ++count;
    CloseHandle(snapshot);
    return count;
}

// Opens the image and drives the decoder: every step must come back, and once it is closed
// nothing of it is left.
void Drive(const Bytes &Image, std::mt19937 &Random)
{
    const int allocs = GetAllocNum();
    {
        MemoryDecoder decoder(Image);
        if (decoder.State != nullptr) {
            TheoraDecodeInfo info;
            TheoraDecode_GetInfo(decoder.State, &info);
            ASSERT_GT(info.FrameCount, 0);
            for (int i = 0; i < 6; ++i) {
                TheoraDecode_GetYUVImage(decoder.State);
                if (i == 3)
                    TheoraDecode_SeekToFrame(decoder.State, (int)(Random() % info.FrameCount));
                else
                    TheoraDecode_IncToFrame(decoder.State, 1 + (int)(Random() % 40));
            }
        }
    }
    ASSERT_EQ(allocs, GetAllocNum());
}

// The same image as a Movie handle with its sound track, played on a moving clock and deleted.
void PlayAsMovie(const Bytes &Image)
{
    const int allocs = GetAllocNum();
    TestClock clock;
    int handle = OpenMovie(nullptr, nullptr, Image.data(), Image.size(), nullptr, nullptr, 0, 0);
    if (handle >= 0) {
        MovieHandleData *movie = GetMovieHandleData(handle);
        movie->PlayFlag = 1;
        movie->PlayType = DX_PLAYTYPE_LOOP;
        ResumeAllMovies();
        for (int i = 1; i <= 4; ++i) {
            TestClock::Set(TestClock::Now + 700000);
            ASSERT_EQ(0, UpdateMovieFrame(handle, 0));
            TheoraDecode_GetYUVImage(movie->TheoraHandle);
        }
        PauseAllMovies();
        ASSERT_EQ(0, SubHandle(handle));
    }
    ASSERT_EQ(allocs, GetAllocNum());
}

class TheoraHostile : public MovieTest
{
};

}  // namespace

TEST_F(TheoraHostile, MutatedMoviesOpenAndDecodeWithoutHarm)
{
    std::mt19937 random(69);
    int threads = -1;
    int opened = 0;
    for (const char *name : {kGrayMovie, kGraySmallMovie, kGrayVorbisMovie}) {
        Bytes file = ReadMovie(name);
        ASSERT_FALSE(file.empty());
        for (int i = 0; i < 200; ++i) {
            Bytes image = Mutate(file, random);
            SCOPED_TRACE(testing::Message() << name << " case " << i);
            if (image.empty()) continue;
            MemStream *probe = CreateMemStream(image.data(), (uint32_t)image.size());
            TheoraDecodeState *state = TheoraDecode_Open(GetMemStreamFunctionTable(), probe, 20, 0, 0, 0);
            opened += state != nullptr;
            if (state != nullptr) TheoraDecode_Terminate(state);
            MemStreamClose(probe);
            Drive(image, random);
            if (HasFatalFailure()) return;
            if (i % 4 == 0) PlayAsMovie(image);
            // Wine starts a helper thread of its own during the first cases.
            if (threads < 0 && i == 10) threads = ThreadCount();
        }
    }
    EXPECT_GT(opened, 0);  // the loop reached the decoding, not only the refusal
    // An ended decode thread leaves the process a moment after it said so.
    for (int i = 0; i < 200 && ThreadCount() > threads; ++i) Sleep(10);
    EXPECT_EQ(threads, ThreadCount());
}

// Files that once broke the decoder; a movie with headers and no frame must not open.
TEST_F(TheoraHostile, RegressionInputsAreRefusedOrPlayed)
{
    std::mt19937 random(1);
    WIN32_FIND_DATAA found;
    std::string dir = TestDataDir() + "/hostile/theora/";
    HANDLE find = FindFirstFileA((dir + "*.ogv").c_str(), &found);
    ASSERT_NE(INVALID_HANDLE_VALUE, find);
    int count = 0;
    do {
        SCOPED_TRACE(found.cFileName);
        FILE *f = fopen((dir + found.cFileName).c_str(), "rb");
        ASSERT_NE(nullptr, f);
        Bytes image;
        for (int c; (c = fgetc(f)) != EOF;) image.push_back((uint8_t)c);
        fclose(f);
        Drive(image, random);
        ++count;
    } while (FindNextFileA(find, &found));
    FindClose(find);
    EXPECT_GT(count, 0);

    Bytes headers = HeaderPagesOnly(ReadMovie(kGrayMovie));
    MemoryDecoder decoder(headers);
    EXPECT_EQ(nullptr, decoder.State);
    LogAppendReader log;
    EXPECT_EQ(-1, OpenMovie(nullptr, nullptr, headers.data(), headers.size(), nullptr, nullptr, 0, 0));
    EXPECT_NE(std::wstring::npos, log.Appended().find(L"ムービーファイルオープン処理時に失敗しました"));
}
