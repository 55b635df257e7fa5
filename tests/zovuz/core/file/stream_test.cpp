// Streams: the read, seek and end-flag rules the loaders depend on, of memory streams and of
// every kind of stream where they share them.
#include <gtest/gtest.h>

#include <string.h>
#include <windows.h>

#include <vector>

#include "tests/support/test_files.h"
#include "tools/archive_writer/archive_writer.h"
#include "zovuz/core/file/archive_internal.h"
#include "zovuz/core/file/file_access.h"
#include "zovuz/core/file/stream.h"

namespace {

const unsigned char Ten[10] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};

struct MemStreamFixture : ::testing::Test {
    MemStream *Stream = nullptr;
    const StreamFunctionTable *Table = GetMemStreamFunctionTable();
    void SetUp() override { Stream = CreateMemStream(Ten, sizeof(Ten)); ASSERT_NE(Stream, nullptr); }
    void TearDown() override { Table->Close(Stream); }
};

TEST_F(MemStreamFixture, ReadsWholeBlocksThenTheTailAsOneBlockThenSetsTheEndFlag)
{
    unsigned char buffer[16];
    memset(buffer, 0xEE, sizeof(buffer));
    EXPECT_EQ(Table->Read(buffer, 4, 3, Stream), 2u);
    EXPECT_EQ(memcmp(buffer, Ten, 8), 0);
    EXPECT_EQ(buffer[8], 0xEE);
    EXPECT_EQ(Table->Tell(Stream), 8);
    EXPECT_EQ(Table->Eof(Stream), 0);

    memset(buffer, 0xEE, sizeof(buffer));
    EXPECT_EQ(Table->Read(buffer, 4, 3, Stream), 1u);  // 2 bytes, counted as one block
    EXPECT_EQ(buffer[0], 8);
    EXPECT_EQ(buffer[1], 9);
    EXPECT_EQ(buffer[2], 0xEE);
    EXPECT_EQ(Table->Eof(Stream), 0);  // raised only by the next read

    EXPECT_EQ(Table->Read(buffer, 4, 3, Stream), 0u);
    EXPECT_NE(Table->Eof(Stream), 0);
}

// The same ten bytes read as a memory stream, as a loose file and from inside an archive: every
// kind of stream seeks by the same rules.
struct StreamKind {
    const char *Name;
    const StreamFunctionTable *Table;
    void *Stream;
};

TEST(StreamSeek, EveryKindClampsToItsDataAndRefusesAnUnknownOrigin)
{
    ASSERT_EQ(InitializeArchiveSystem(), 0);
    CreateDirectoryW(L"archived", nullptr);
    ArchiveWriterItem item;
    item.Path = "ten.bin";
    item.Data.assign(Ten, Ten + sizeof(Ten));
    std::vector<unsigned char> archive;
    ASSERT_EQ(BuildArchive({item}, ArchiveWriterOptions(), archive, nullptr), 0);
    ASSERT_TRUE(WriteFileBytes(L"archived.dxa", archive));
    ASSERT_TRUE(WriteFileBytes(L"loose.bin", Ten, sizeof(Ten)));
    const StreamFunctionTable *files = GetFileStreamFunctionTable();
    const StreamKind kinds[] = {
        {"memory", GetMemStreamFunctionTable(), CreateMemStream(Ten, sizeof(Ten))},
        {"loose file", files, (void *)FileAccessOpen(L"loose.bin", 0, 0, 0)},
        {"archived file", files, (void *)FileAccessOpen(L"archived\\ten.bin", 0, 0, 0)},
    };

    struct Case { int64_t from; int64_t offset; int origin; int result; int64_t expected; };
    const Case cases[] = {
        {0, -5, FILE_SEEK_SET, 0, 0},   {0, 100, FILE_SEEK_END, 0, 10}, {0, -3, FILE_SEEK_END, 0, 7},
        {4, 3, FILE_SEEK_CUR, 0, 7},    {4, -9, FILE_SEEK_CUR, 0, 0},   {4, 11, FILE_SEEK_SET, 0, 10},
        {6, 2, 3, -1, 6},  {6, 0, -1, -1, 6},  // unknown origins move nothing
    };
    unsigned char buffer[16];
    for (const StreamKind &kind : kinds) {
        SCOPED_TRACE(kind.Name);
        ASSERT_NE(kind.Stream, nullptr);
        for (const Case &c : cases) {
            kind.Table->Seek(kind.Stream, 10, FILE_SEEK_SET);
            kind.Table->Read(buffer, 1, 1, kind.Stream);
            ASSERT_NE(kind.Table->Eof(kind.Stream), 0);
            kind.Table->Seek(kind.Stream, c.from, FILE_SEEK_SET);
            EXPECT_EQ(kind.Table->Seek(kind.Stream, c.offset, c.origin), c.result) << c.origin;
            EXPECT_EQ(kind.Table->Tell(kind.Stream), c.expected) << c.from << " " << c.offset << " " << c.origin;
            EXPECT_EQ(kind.Table->Eof(kind.Stream), 0);
        }
        EXPECT_EQ(kind.Table->Close(kind.Stream), 0);
    }
    TerminateArchiveSystem();
}

TEST_F(MemStreamFixture, DegenerateReadsCopyNothing)
{
    unsigned char buffer[16];
    memset(buffer, 0xEE, sizeof(buffer));
    EXPECT_EQ(Table->Read(buffer, 0, 5, Stream), 0u);
    EXPECT_EQ(Table->Read(buffer, 4, 0, Stream), 0u);
    EXPECT_EQ(buffer[0], 0xEE);
    // A block size times count that wraps 32 bits must not read past the block.
    EXPECT_EQ(Table->Read(buffer, (size_t)1 << 31, 2, Stream), 1u);
    EXPECT_EQ(Table->Tell(Stream), 10);
    EXPECT_EQ(buffer[9], 9);
    EXPECT_EQ(buffer[10], 0xEE);
}

TEST(MemStream, EmptyBlockIsAtTheEndAtOnce)
{
    MemStream *stream = CreateMemStream(nullptr, 0);
    ASSERT_NE(stream, nullptr);
    unsigned char byte;
    EXPECT_EQ(MemStreamRead(&byte, 1, 1, stream), 0u);
    EXPECT_NE(MemStreamEof(stream), 0);
    EXPECT_EQ(GetMemStreamFunctionTable()->IdleCheck(stream), 0);
    EXPECT_EQ(MemStreamClose(stream), 0);
}

}  // namespace
