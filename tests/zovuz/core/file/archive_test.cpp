// Archives: the writer's archives read back byte-exact in every version and mode, names found
// the way the reader promises, and hostile archives refused without harm.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/test_files.h"
#include "tools/archive_writer/archive_writer.h"
#include "zovuz/core/file/archive.h"
#include "zovuz/core/file/archive_internal.h"
#include "zovuz/core/text/char_code.h"
#include "zovuz/core/memory/memory.h"
#include "zovuz/core/memory/memory_internal.h"
#include "zovuz/core/file/file_access_internal.h"

namespace {

typedef std::vector<unsigned char> Bytes;

Bytes Text(const std::string &s) { return Bytes(s.begin(), s.end()); }

Bytes Compressible(size_t Size, unsigned Seed)
{
    std::mt19937 random(Seed);
    Bytes data(Size);
    for (size_t i = 0; i < Size; i++) data[i] = (i % 97 < 60) ? (unsigned char)("tarvex archive "[i % 15]) : (unsigned char)random();
    return data;
}

void WriteBytes(const std::wstring &Path, const Bytes &Data)
{
    ASSERT_TRUE(WriteFileBytes(Path, Data));
}

// The content every archive of these tests holds; paths in code page 932 (narrow literals).
std::vector<ArchiveWriterItem> SampleItems()
{
    std::vector<ArchiveWriterItem> items;
    auto add = [&](const char *path, Bytes data) {
        ArchiveWriterItem item;
        item.Path = path;
        item.Data = std::move(data);
        item.LastWriteTime = 0x01D9000000000000ull;
        items.push_back(item);
    };
    add("top.txt", Text("top level text"));
    add("Sub/Inner.bin", Compressible(70000, 1));
    add("Sub/deeper/leaf.dat", Compressible(5000, 2));
    add("音楽/曲データ.bin", Compressible(3000, 3));
    add("empty.bin", Bytes());
    add("Sub/runs.bin", Bytes(20000, 'Z'));
    ArchiveWriterItem folder;
    folder.Path = "Sub/void";
    folder.Directory = true;
    items.push_back(folder);
    return items;
}

Bytes Build(const std::vector<ArchiveWriterItem> &Items, ArchiveWriterOptions Options)
{
    Bytes out;
    std::string error;
    EXPECT_EQ(BuildArchive(Items, Options, out, &error), 0) << error;
    return out;
}

// Reads a member through a record: looks it up, then reads and, when packed, expands it.
bool ReadMember(DxArchiveRecord *Record, const std::string &Path, Bytes &Out)
{
    ArchiveFileEntry entry;
    if (ArchiveLookup(Record, Path.c_str(), 0, &entry, nullptr) != 0) return false;
    uint64_t position = Record->DataPosition + entry.DataOffset;
    if (!ArchiveIsPacked(Record, &entry)) {
        Out.resize((size_t)entry.DataSize);
        return ArchiveReadBytes(Record, Record->Stream, position, Out.data(), Out.size()) == 0;
    }
    if (entry.PackedSize > (1u << 24) || entry.DataSize > (1u << 24)) return false;
    Bytes packed((size_t)entry.PackedSize);
    if (ArchiveReadBytes(Record, Record->Stream, position, packed.data(), packed.size()) != 0) return false;
    Out.resize((size_t)entry.DataSize);
    return ArchiveDecompressChecked(packed.data(), packed.size(), Out.data(), Out.size()) == (int64_t)Out.size();
}

// ---- packing and key -------------------------------------------------------------------------

TEST(ArchivePacking, RoundTripsEveryShapeOfData)
{
    std::vector<Bytes> samples = {Bytes(), Bytes(1, 7), Bytes(9000, 0), Compressible(200000, 9), Text("abcabcabcabcabcabc")};
    Bytes noise(100000);
    std::mt19937 random(4);
    for (auto &b : noise) b = (unsigned char)random();
    samples.push_back(noise);
    Bytes distant = Compressible(4000, 5);
    distant.insert(distant.end(), noise.begin(), noise.end());
    distant.insert(distant.end(), distant.begin(), distant.begin() + 4000);  // a match 100 KB back: three distance bytes
    samples.push_back(distant);
    for (const Bytes &data : samples) {
        Bytes packed = ArchivePack(data.data(), data.size());
        Bytes out(data.size() + 1, 0xEE);
        ASSERT_EQ(ArchiveDecompressChecked(packed.data(), packed.size(), out.data(), data.size()), (int64_t)data.size());
        out.pop_back();
        EXPECT_EQ(out, data);
        EXPECT_EQ(ArchiveDecompress(packed.data(), nullptr), (int64_t)data.size());
    }
}

TEST(ArchivePacking, ShortDistanceRepeatsItsPatternAndBadCodesAreRefused)
{
    // "AB", then a copy of 10 bytes from 2 back: ABABABABABAB. Escape 0xF0.
    const unsigned char run[] = {12, 0, 0, 0, 9 + 5, 0, 0, 0, 0xF0, 'A', 'B', 0xF0, (6 << 3) | 0, 1};
    unsigned char out[12];
    ASSERT_EQ(ArchiveDecompressChecked(run, sizeof(run), out, sizeof(out)), 12);
    EXPECT_EQ(std::string((char *)out, 12), "ABABABABABAB");

    struct Case { const char *why; std::vector<unsigned char> block; };
    const Case bad[] = {
        {"distance before the start", {6, 0, 0, 0, 13, 0, 0, 0, 0xF0, 'A', 0xF0, (0 << 3) | 0, 4}},
        {"copy past the expanded size", {5, 0, 0, 0, 13, 0, 0, 0, 0xF0, 'A', 0xF0, (6 << 3) | 0, 0}},
        {"code cut short", {5, 0, 0, 0, 12, 0, 0, 0, 0xF0, 'A', 0xF0, (0 << 3) | 1}},
        {"distance type 3", {5, 0, 0, 0, 13, 0, 0, 0, 0xF0, 'A', 0xF0, (0 << 3) | 3, 0}},
        {"packed size past the block", {1, 0, 0, 0, 99, 0, 0, 0, 0xF0, 'A'}},
        {"fewer bytes than announced", {4, 0, 0, 0, 10, 0, 0, 0, 0xF0, 'A'}},
        {"header only half there", {4, 0, 0, 0}},
    };
    for (const Case &c : bad) {
        unsigned char room[64];
        EXPECT_EQ(ArchiveDecompressChecked(c.block.data(), c.block.size(), room, sizeof(room)), -1) << c.why;
    }
    unsigned char tooSmall[4];
    EXPECT_EQ(ArchiveDecompressChecked(run, sizeof(run), tooSmall, sizeof(tooSmall)), -1);
}

TEST(ArchiveKey, IsItsOwnInverseAndDependsOnTheString)
{
    unsigned char none[ARCHIVE_KEY_BYTES], a[ARCHIVE_KEY_BYTES], b[ARCHIVE_KEY_BYTES], again[ARCHIVE_KEY_BYTES];
    MakeArchiveKey(nullptr, none);
    MakeArchiveKey("secret", a);
    MakeArchiveKey("secreT", b);
    MakeArchiveKey("secret", again);
    EXPECT_EQ(memcmp(a, again, ARCHIVE_KEY_BYTES), 0);
    EXPECT_NE(memcmp(a, b, ARCHIVE_KEY_BYTES), 0);
    EXPECT_NE(memcmp(a, none, ARCHIVE_KEY_BYTES), 0);

    Bytes data = Compressible(1000, 6), copy = data;
    ArchiveKeyConvert(copy.data(), 500, 0, a);
    ArchiveKeyConvert(copy.data() + 500, 500, 500, a);  // pieces at their positions = the whole
    EXPECT_NE(copy, data);
    ArchiveKeyConvert(copy.data(), copy.size(), 0, a);
    EXPECT_EQ(copy, data);
}

// ---- records in every version and mode -------------------------------------------------------

struct Variant {
    int version;
    bool pack;
    const char *key;      // the key string the archive is made with
    bool fallbackKey;     // made with the all-0xFF key
};

std::string Describe(const Variant &v)
{
    return "v" + std::to_string(v.version) + (v.pack ? " packed" : "") + (v.key ? " key" : "") + (v.fallbackKey ? " ff" : "");
}

std::vector<Variant> AllVariants()
{
    std::vector<Variant> variants;
    for (int version = 0; version <= ARCHIVE_MAX_VERSION; version++)
        for (bool pack : {false, true})
            if (!pack || version >= 2)  // packing came with version 2
                for (int k = 0; k < 3; k++) variants.push_back({version, pack, k == 1 ? "secret" : nullptr, k == 2});
    return variants;
}

void ExpectSampleContents(DxArchiveRecord *Record, const std::string &Label)
{
    for (const ArchiveWriterItem &item : SampleItems()) {
        if (item.Directory) continue;
        Bytes got;
        ASSERT_TRUE(ReadMember(Record, item.Path, got)) << Label << " " << item.Path;
        EXPECT_EQ(got, item.Data) << Label << " " << item.Path;
    }
}

TEST(ArchiveRecord, EveryVersionPackingAndKeyReadsBackInEveryMode)
{
    const int allocsBefore = GetAllocNum();
    for (const Variant &v : AllVariants()) {
        const std::string label = Describe(v);
        ArchiveWriterOptions options;
        options.Version = v.version;
        options.Pack = v.pack;
        options.KeyString = v.key;
        options.FallbackKey = v.fallbackKey;
        const Bytes archive = Build(SampleItems(), options);
        WriteBytes(L"record.dxa", archive);
        DxArchiveRecord record;

        ASSERT_EQ(OpenArchiveFileStreamed(&record, L"record.dxa", v.key), 0) << label;
        EXPECT_EQ(record.Version, v.version);
        ExpectSampleContents(&record, label + " streamed");
        ArchiveCloseRecord(&record);

        ASSERT_EQ(OpenArchiveFileToMemory(&record, L"record.dxa", v.key, 1), 0) << label;
        EXPECT_NE(ArchiveWaitReadEnd(&record), nullptr);
        ExpectSampleContents(&record, label + " whole file");
        ArchiveCloseRecord(&record);

        for (int mode = 0; mode < 3; mode++) {
            Bytes image = archive;
            ASSERT_EQ(OpenArchiveFromMemory(&record, image.data(), image.size(), mode == 1, mode == 2, v.key, L"mem"), 0) << label;
            ExpectSampleContents(&record, label + " memory " + std::to_string(mode));
            ArchiveCloseRecord(&record);
            EXPECT_EQ(image, archive) << "the caller's image is given back as it was";
        }
        if (v.key != nullptr) {
            EXPECT_EQ(OpenArchiveFileStreamed(&record, L"record.dxa", "wrong"), -1) << label;
            EXPECT_EQ(OpenArchiveFileStreamed(&record, L"record.dxa", nullptr), -1) << label;
        }
    }
    EXPECT_EQ(GetAllocNum(), allocsBefore);
}

TEST(ArchiveRecord, FindFileGivesThePositionOfAStoredFile)
{
    ArchiveWriterOptions options;
    options.Version = 6;
    Bytes archive = Build(SampleItems(), options);
    DxArchiveRecord record;
    ASSERT_EQ(OpenArchiveFromMemory(&record, archive.data(), archive.size(), 0, 0, nullptr, nullptr), 0);
    uint64_t position = 0, size = 0;
    ASSERT_EQ(ArchiveFindFile(&record, CHAR_CODE_SHIFTJIS, "sub\\DEEPER\\Leaf.dat", &position, &size), 0);
    EXPECT_EQ(Bytes(archive.begin() + position, archive.begin() + position + size), Compressible(5000, 2));
    ASSERT_EQ(ArchiveFindFile(&record, CHAR_CODE_UTF16LE, (const char *)L"音楽/曲データ.bin", &position, &size), 0);
    EXPECT_EQ(size, 3000u);
    EXPECT_EQ(ArchiveFindFile(&record, CHAR_CODE_SHIFTJIS, "sub/missing.dat", &position, &size), -1);
    EXPECT_EQ(ArchiveFindFile(&record, CHAR_CODE_SHIFTJIS, "sub", &position, &size), -1);  // a folder
    ArchiveCloseRecord(&record);

    // Bytes that are no text of the archive's code page never match a shorter name.
    options.CodePage = CHAR_CODE_UTF8;
    ArchiveWriterItem top;
    top.Path = "top.txt";
    archive = Build({top}, options);
    ASSERT_EQ(OpenArchiveFromMemory(&record, archive.data(), archive.size(), 0, 0, nullptr, nullptr), 0);
    EXPECT_EQ(ArchiveFindFile(&record, CHAR_CODE_UTF8, "top.txt", &position, &size), 0);
    EXPECT_EQ(ArchiveFindFile(&record, CHAR_CODE_UTF8, "top.txt\xFF", &position, &size), -1);
    EXPECT_EQ(ArchiveFindFile(&record, CHAR_CODE_UTF8, "top\xFF.txt", &position, &size), -1);
    ArchiveCloseRecord(&record);
}

TEST(ArchiveRecord, ThreadsMeetingTheEndOfAWholeFileLoadShareItSafely)
{
    // Several threads read one archive while its whole-file load finishes: one of them closes
    // the load stream, and the others must never touch that stream afterwards. The member is
    // stored as it is: the threads meet at the load's end, not in expanding it. Six readers in
    // twelve rounds meet there often enough: with the lock around the stream's end taken out,
    // every run crashed or hung.
    ArchiveWriterItem big;
    big.Path = "big.bin";
    big.Data = Compressible(1 << 20, 11);
    ArchiveWriterOptions stored;
    stored.Pack = false;
    WriteBytes(L"whole.dxa", Build({big}, stored));
    const int allocsBefore = GetAllocNum();
    for (int round = 0; round < 12; round++) {
        DxArchiveRecord record;
        ASSERT_EQ(OpenArchiveFileToMemory(&record, L"whole.dxa", nullptr, 1), 0);
        std::vector<std::thread> readers;
        std::vector<int> good(6, 0);
        for (size_t t = 0; t < good.size(); t++)
            readers.emplace_back([&, t] {
                Bytes got;
                good[t] = ReadMember(&record, "big.bin", got) && got == big.Data;
            });
        for (std::thread &reader : readers) reader.join();
        EXPECT_EQ(good, std::vector<int>(good.size(), 1)) << round;
        ArchiveCloseRecord(&record);
    }
    EXPECT_EQ(GetAllocNum(), allocsBefore);
}

TEST(ArchiveRecord, CodePageFollowsTheVersionAndTheStoredValue)
{
    struct Case { int version; uint32_t stored; int expected; };
    const Case cases[] = {{4, 65001, 65001}, {4, 32765, 932}, {5, 65001, 65001}, {5, 32765, 932},
                          {5, 1252, 1252}, {6, 65001, 65001}, {6, 12345, 932}};
    for (const Case &c : cases) {
        ArchiveWriterOptions options;
        options.Version = c.version;
        options.CodePage = 932;
        Bytes archive = Build({}, options);
        unsigned char key[ARCHIVE_KEY_BYTES];
        MakeArchiveKey(nullptr, key);
        ArchiveKeyConvert(archive.data(), archive.size(), 0, key);
        const size_t at = c.version == 6 ? 40 : 24;
        memcpy(&archive[at], &c.stored, 4);
        ArchiveKeyConvert(archive.data(), archive.size(), 0, key);
        DxArchiveRecord record;
        ASSERT_EQ(OpenArchiveFromMemory(&record, archive.data(), archive.size(), 0, 0, nullptr, nullptr), 0);
        EXPECT_EQ(record.CodePage, c.expected) << c.version << " " << c.stored;
        ArchiveCloseRecord(&record);
    }
    // Names before version 4 are code page 932 whatever the writer was told.
    for (int version = 0; version < 4; version++) {
        ArchiveWriterOptions options;
        options.Version = version;
        options.CodePage = 65001;
        Bytes archive = Build(SampleItems(), options);
        DxArchiveRecord record;
        ASSERT_EQ(OpenArchiveFromMemory(&record, archive.data(), archive.size(), 0, 0, nullptr, nullptr), 0);
        EXPECT_EQ(record.CodePage, 932) << version;
        ArchiveCloseRecord(&record);
    }
}

// ---- the default file-access set -------------------------------------------------------------

struct ArchiveLayerFixture : ::testing::Test {
    void SetUp() override
    {
        InitializeArchiveSystem();
        CreateDirectoryW(L"data", nullptr);
    }
    void TearDown() override
    {
        TerminateArchiveSystem();  // closes the idle archives, so each test writes its own
        SetStreamFunctionTable(nullptr);
    }
    void MakeDataArchive(ArchiveWriterOptions Options, std::vector<ArchiveWriterItem> Items = SampleItems())
    {
        WriteBytes(L"data.dxa", Build(Items, Options));
    }
    static Bytes ReadThroughTable(const wchar_t *Path, int Async = 0, size_t Block = 1000)
    {
        FileStreamId id = FileAccessOpen(Path, 0, 0, Async);
        if (id == 0) return Text("<not opened>");
        Bytes data, chunk(Block);
        for (;;) {
            size_t got = FileAccessRead(chunk.data(), 1, chunk.size(), id);
            while (FileAccessIdleCheck(id) == 0) Sleep(0);
            if (got == 0) break;
            data.insert(data.end(), chunk.begin(), chunk.begin() + got);
        }
        EXPECT_EQ(FileAccessEof(id), -1);
        EXPECT_EQ(FileAccessClose(id), 0);
        return data;
    }
};

TEST_F(ArchiveLayerFixture, FilesComeFromTheArchiveWithAnyCaseAndDots)
{
    for (int version : {2, 5, 6}) {
        for (bool pack : {false, true}) {
            ArchiveWriterOptions options;
            options.Version = version;
            options.Pack = pack;
            MakeDataArchive(options);
            SCOPED_TRACE(version * 10 + pack);
            for (int async = 0; async < 2; async++) {
                EXPECT_EQ(ReadThroughTable(L"data\\Sub\\Inner.bin", async), Compressible(70000, 1));
                EXPECT_EQ(ReadThroughTable(L"DATA/SUB/INNER.BIN", async, 4096), Compressible(70000, 1));
                EXPECT_EQ(ReadThroughTable(L"data\\sub\\deeper\\..\\.\\runs.BIN", async), Bytes(20000, 'Z'));
                // Reads of a prime size start at every place of the key and end with a short one.
                EXPECT_EQ(ReadThroughTable(L"data/sub/deeper/leaf.dat", async, 61), Compressible(5000, 2));
                EXPECT_EQ(ReadThroughTable(L"data\\音楽\\曲データ.bin", async), Compressible(3000, 3));
                EXPECT_EQ(ReadThroughTable(L"data\\empty.bin", async), Bytes());
            }
            TerminateArchiveSystem();
            InitializeArchiveSystem();
        }
    }
}

TEST_F(ArchiveLayerFixture, ArchiveComesBeforeTheLooseFileAndMissingMembersFallBack)
{
    ArchiveWriterOptions options;
    MakeDataArchive(options);
    WriteBytes(L"data\\top.txt", Text("loose top"));
    WriteBytes(L"data\\only_loose.txt", Text("only loose"));
    EXPECT_EQ(ReadThroughTable(L"data\\top.txt"), Text("top level text"));
    EXPECT_EQ(ReadThroughTable(L"data\\only_loose.txt"), Text("only loose"));
    EXPECT_EQ(FileAccessOpen(L"data\\nowhere.txt", 0, 0, 0), 0u);
    // A folder of the archive is not a file.
    EXPECT_EQ(FileAccessOpen(L"data\\sub", 0, 0, 0), 0u);
}

TEST_F(ArchiveLayerFixture, ANameTheArchiveCodePageCannotSpellIsNeverAShorterMember)
{
    // U+2603 has no code in 932: such a name cannot be in the archive, and it must not turn
    // into "top.txt" on the way there.
    MakeDataArchive(ArchiveWriterOptions());
    DeleteFileW(L"data\\top.txt\x2603");  // left by an earlier run
    for (const wchar_t *path : {L"data\\top.txt\x2603", L"data\\sub\x2603\\inner.bin"}) {
        FileStreamId id = FileAccessOpen(path, 0, 0, 0);
        EXPECT_EQ(id, 0u) << "opened as a shorter name";
        if (id != 0) FileAccessClose(id);
    }
    WriteBytes(L"data\\top.txt\x2603", Text("loose snowman"));
    EXPECT_EQ(ReadThroughTable(L"data\\top.txt\x2603"), Text("loose snowman"));

    DxArchiveRecord record;
    Bytes archive = Build(SampleItems(), ArchiveWriterOptions());
    ASSERT_EQ(OpenArchiveFromMemory(&record, archive.data(), archive.size(), 0, 0, nullptr, nullptr), 0);
    uint64_t position = 0, size = 0;
    EXPECT_EQ(ArchiveFindFile(&record, CHAR_CODE_UTF16LE, (const char *)L"top.txt\x2603", &position, &size), -1);
    EXPECT_EQ(ArchiveFindFile(&record, CHAR_CODE_UTF16LE, (const char *)L"top.txt", &position, &size), 0);
    ArchiveCloseRecord(&record);
}

TEST_F(ArchiveLayerFixture, SeekTellAndEndFollowTheStreamRules)
{
    for (bool pack : {false, true}) {
        ArchiveWriterOptions options;
        options.Pack = pack;
        MakeDataArchive(options);
        FileStreamId id = FileAccessOpen(L"data\\top.txt", 0, 0, 0);  // "top level text", 14 bytes
        ASSERT_NE(id, 0u);
        char buffer[16] = {};
        EXPECT_EQ(FileAccessSeek(id, -3, FILE_SEEK_END), 0);
        EXPECT_EQ(FileAccessTell(id), 11);
        EXPECT_EQ(FileAccessRead(buffer, 2, 4, id), 1u);  // 3 bytes left: one whole item
        EXPECT_EQ(std::string(buffer, 3), "ext");
        EXPECT_EQ(FileAccessEof(id), 0);
        EXPECT_EQ(FileAccessRead(buffer, 1, 1, id), 0u);
        EXPECT_EQ(FileAccessEof(id), -1);
        EXPECT_EQ(FileAccessSeek(id, -100, FILE_SEEK_CUR), 0);
        EXPECT_EQ(FileAccessTell(id), 0);
        EXPECT_EQ(FileAccessSeek(id, 100, FILE_SEEK_SET), 0);
        EXPECT_EQ(FileAccessTell(id), 14);
        EXPECT_EQ(FileAccessSeek(id, 0, 5), -1);
        EXPECT_EQ(FileAccessClose(id), 0);
        TerminateArchiveSystem();
        InitializeArchiveSystem();
    }
    // Ids that were never handed out are refused by every operation.
    for (FileStreamId bad : {(FileStreamId)0, (FileStreamId)12, (FileStreamId)0xF0001234u, (FileStreamId)0xF0FFFFFFu}) {
        char byte;
        EXPECT_EQ(FileAccessClose(bad), -1);
        EXPECT_EQ(FileAccessRead(&byte, 1, 1, bad), 0u);
        EXPECT_EQ(FileAccessSeek(bad, 0, FILE_SEEK_SET), -1);
        EXPECT_EQ(FileAccessTell(bad), -1);
    }
    EXPECT_EQ(FileAccessOpen(nullptr, 0, 0, 0), 0u);
    EXPECT_EQ(FileAccessFindClose(FILE_FIND_ID_NONE), -1);
}

TEST_F(ArchiveLayerFixture, TwoOpensShareOneRecordThatStaysOpenWhenIdle)
{
    MakeDataArchive(ArchiveWriterOptions());
    const int before = GetOpenArchiveCount();
    FileStreamId a = FileAccessOpen(L"data\\top.txt", 0, 0, 0);
    FileStreamId b = FileAccessOpen(L"data\\sub\\inner.bin", 0, 0, 0);
    ASSERT_NE(a, 0u);
    ASSERT_NE(b, 0u);
    EXPECT_EQ(GetOpenArchiveCount(), before + 1);
    int index = 0;
    while (index < 4096 && GetArchiveReferenceCount(index) != 2) index++;
    ASSERT_LT(index, 4096);
    FileAccessClose(a);
    FileAccessClose(b);
    EXPECT_EQ(GetArchiveReferenceCount(index), 0);
    EXPECT_EQ(GetOpenArchiveCount(), before + 1);  // idle, still open
    FileFindId find = FileAccessFindFirst(L"data\\*", nullptr);  // a search holds a reference too
    EXPECT_EQ(GetArchiveReferenceCount(index), 1);
    FileAccessFindClose(find);
    EXPECT_EQ(GetArchiveReferenceCount(index), 0);
    FileAccessClose(FileAccessOpen(L"DATA\\TOP.TXT", 0, 0, 0));
    EXPECT_EQ(GetOpenArchiveCount(), before + 1);
}

TEST_F(ArchiveLayerFixture, ListsFoldersInTableOrderWithDotEntries)
{
    for (int codePage : {932, 65001}) {
        std::vector<ArchiveWriterItem> items = SampleItems();
        if (codePage == 65001) {
            for (auto &item : items) {
                wchar_t wide[260];
                ConvertCharCode(item.Path.c_str(), CHAR_CODE_SHIFTJIS, (char *)wide, sizeof(wide), CHAR_CODE_UTF16LE);
                char utf8[520];
                ConvertCharCode((const char *)wide, CHAR_CODE_UTF16LE, utf8, sizeof(utf8), CHAR_CODE_UTF8);
                item.Path = utf8;
            }
        }
        ArchiveWriterOptions options;
        options.Version = 6;
        options.CodePage = codePage;
        MakeDataArchive(options, items);
        SCOPED_TRACE(codePage);

        auto list = [](const wchar_t *pattern) {
            std::vector<std::wstring> names;
            FileFindRecord record;
            FileFindId id = FileAccessFindFirst(pattern, &record);
            if (id == FILE_FIND_ID_NONE) return names;
            do names.push_back(record.Name + std::wstring(record.DirFlag ? L"/" : L""));
            while (FileAccessFindNext(id, &record) == 0);
            EXPECT_EQ(FileAccessFindClose(id), 0);
            return names;
        };
        EXPECT_EQ(list(L"data\\*"), (std::vector<std::wstring>{L"top.txt", L"Sub/", L"音楽/", L"empty.bin", L"./"}));
        EXPECT_EQ(list(L"data\\SUB\\*"), (std::vector<std::wstring>{L"Inner.bin", L"deeper/", L"runs.bin", L"void/", L"./", L"../"}));
        EXPECT_EQ(list(L"data\\sub\\*.BIN"), (std::vector<std::wstring>{L"Inner.bin", L"runs.bin"}));
        EXPECT_EQ(list(L"data\\音楽\\曲???.*"), (std::vector<std::wstring>{L"曲データ.bin"}));
        EXPECT_TRUE(list(L"data\\sub\\nothing*").empty());
        EXPECT_EQ(ReadThroughTable(L"data\\音楽\\曲データ.BIN"), Compressible(3000, 3));

        FileFindRecord record;
        FileFindId id = FileAccessFindFirst(L"data\\sub\\inner.bin", &record);
        ASSERT_NE(id, FILE_FIND_ID_NONE);
        EXPECT_EQ(record.Size, 70000u);
        EXPECT_EQ(record.DirFlag, 0);
        EXPECT_GE(record.LastWriteTime.Year, 2020);
        FileAccessFindClose(id);
        TerminateArchiveSystem();
        InitializeArchiveSystem();
    }
}

TEST_F(ArchiveLayerFixture, FallbackKeyOpensAndAForeignKeyMeansLooseFiles)
{
    ArchiveWriterOptions options;
    options.FallbackKey = true;
    MakeDataArchive(options);
    EXPECT_EQ(ReadThroughTable(L"data\\top.txt"), Text("top level text"));
    TerminateArchiveSystem();
    InitializeArchiveSystem();

    options.FallbackKey = false;
    options.KeyString = "someone else's";
    MakeDataArchive(options);
    WriteBytes(L"data\\top.txt", Text("loose top"));
    EXPECT_EQ(ReadThroughTable(L"data\\top.txt"), Text("loose top"));
}

// ---- hostile archives ------------------------------------------------------------------------

// Unscrambles, lets Damage change the plain archive, scrambles again: the damage hits the
// structure rather than only the key.
Bytes Damaged(const Bytes &Archive, const std::function<void(Bytes &)> &Damage)
{
    unsigned char key[ARCHIVE_KEY_BYTES];
    MakeArchiveKey(nullptr, key);
    Bytes plain = Archive;
    ArchiveKeyConvert(plain.data(), plain.size(), 0, key);
    Damage(plain);
    ArchiveKeyConvert(plain.data(), plain.size(), 0, key);
    return plain;
}

TEST(ArchiveHostile, CorruptedArchivesAreRefusedOrReadSafely)
{
    std::vector<ArchiveWriterItem> items = SampleItems();
    items[1].Data.resize(3000);  // small enough for thousands of rounds
    std::vector<Bytes> originals;
    for (int version : {2, 5, 6})
        for (bool pack : {false, true}) {
            ArchiveWriterOptions options;
            options.Version = version;
            options.Pack = pack;
            originals.push_back(Build(items, options));
        }

    std::mt19937 random(20261207);
    const int allocsBefore = GetAllocNum();
    int opened = 0, refused = 0;
    for (int round = 0; round < 3000; round++) {
        const Bytes &original = originals[round % originals.size()];
        Bytes archive = Damaged(original, [&](Bytes &plain) {
            switch (random() % 5) {
            case 0:  // truncated
                plain.resize(random() % plain.size());
                break;
            case 1:  // a few flipped bytes anywhere
                for (int n = 1 + random() % 4; n > 0; n--) plain[random() % plain.size()] ^= (unsigned char)(1 + random() % 255);
                break;
            case 2: {  // a huge or stray value over a header field or table word
                size_t at = random() % 2 ? (random() % 12) * 4 : random() % (plain.size() - 4);
                uint32_t value = random() % 2 ? 0xFFFFFFF0u + random() % 16 : (uint32_t)random();
                if (at + 4 <= plain.size()) memcpy(&plain[at], &value, 4);
                break;
            }
            case 3:  // the last part of the table block flipped (entries and offsets)
                for (int n = 0; n < 3; n++) plain[plain.size() - 1 - random() % 200 % plain.size()] ^= (unsigned char)random();
                break;
            default:  // the data area flipped: packed codes, lengths and distances
                for (int n = 0; n < 6; n++) plain[48 + random() % (plain.size() / 2)] ^= (unsigned char)random();
                break;
            }
        });
        DxArchiveRecord record;
        if (OpenArchiveFromMemory(&record, archive.data(), archive.size(), 1, round % 2, nullptr, nullptr) != 0) {
            refused++;
            continue;
        }
        opened++;
        for (const ArchiveWriterItem &item : items) {
            Bytes out;
            ReadMember(&record, item.Path, out);
        }
        ArchiveCloseRecord(&record);
    }
    EXPECT_GT(opened, 100);
    EXPECT_GT(refused, 100);
    EXPECT_EQ(GetAllocNum(), allocsBefore);
    EXPECT_EQ(CheckMemory(), 0);
}

TEST_F(ArchiveLayerFixture, CorruptedArchiveOnDiskStillLeavesEveryFileReadable)
{
    std::vector<ArchiveWriterItem> items = SampleItems();
    items[1].Data.resize(3000);
    WriteBytes(L"data\\top.txt", Text("loose top"));
    std::mt19937 random(7);
    // The six archives the rounds damage in turn, each built once.
    std::vector<Bytes> built;
    for (int round = 0; round < 6; round++) {
        ArchiveWriterOptions options;
        options.Version = round % 2 ? 6 : 5;
        options.Pack = round % 3 != 0;
        built.push_back(Build(items, options));
    }
    const int allocsBefore = GetAllocNum();
    for (int round = 0; round < 300; round++) {
        Bytes archive = Damaged(built[round % 6], [&](Bytes &plain) {
            for (int n = 1 + random() % 3; n > 0; n--) plain[random() % plain.size()] ^= (unsigned char)(1 + random() % 255);
        });
        WriteBytes(L"data.dxa", archive);
        // Whatever the damage, the file opens (from the archive or loose) and reads to its end.
        Bytes top = ReadThroughTable(L"data\\top.txt", round % 4 == 1);
        EXPECT_NE(top, Text("<not opened>"));
        ReadThroughTable(L"data\\sub\\inner.bin");
        FileAccessFindClose(FileAccessFindFirst(L"data\\sub\\*", nullptr));
        TerminateArchiveSystem();
        InitializeArchiveSystem();
    }
    EXPECT_EQ(GetAllocNum(), allocsBefore);
    EXPECT_EQ(CheckMemory(), 0);
}

TEST(ArchiveHostile, InconsistentTablesAreRefused)
{
    ArchiveWriterOptions options;
    options.Version = 5;
    const Bytes archive = Build(SampleItems(), options);
    auto header = [&](Bytes &plain, size_t at, uint32_t value) { memcpy(&plain[at], &value, 4); };
    struct Case { const char *why; std::function<void(Bytes &)> damage; };
    const std::vector<Case> cases = {
        {"version 7", [&](Bytes &p) { p[2] = 7; }},
        {"table past the end", [&](Bytes &p) { header(p, 12, (uint32_t)p.size()); }},
        {"table size past the end", [&](Bytes &p) { header(p, 4, 0xFFFFFF00u); }},
        {"data area past the end", [&](Bytes &p) { header(p, 8, (uint32_t)p.size() + 1); }},
        {"directory table past the table", [&](Bytes &p) { header(p, 20, 0x7FFFFFFF); }},
        {"file table past the table", [&](Bytes &p) { header(p, 16, 0x7FFFFFFF); }},
        {"too short for a header", [&](Bytes &p) { p.resize(20); }},
        // The second directory ("Sub") names a parent far outside the directory table: ".."
        // from inside it would lead there.
        {"parent outside the directory table", [&](Bytes &p) {
             uint32_t table, dirs;
             memcpy(&table, &p[12], 4);
             memcpy(&dirs, &p[20], 4);
             header(p, table + dirs + ARCHIVE_DIR_ENTRY_BYTES_V0 + 4, 0x7FFFFFF0u);
         }},
    };
    for (const Case &c : cases) {
        Bytes bad = Damaged(archive, c.damage);
        DxArchiveRecord record;
        EXPECT_EQ(OpenArchiveFromMemory(&record, bad.data(), bad.size(), 1, 0, nullptr, nullptr), -1) << c.why;
    }
    Bytes nothing(3, 0);
    DxArchiveRecord record;
    EXPECT_EQ(OpenArchiveFromMemory(&record, nothing.data(), nothing.size(), 1, 0, nullptr, nullptr), -1);
    EXPECT_EQ(OpenArchiveFromMemory(&record, nullptr, 100, 1, 0, nullptr, nullptr), -1);
    EXPECT_EQ(OpenArchiveFileStreamed(&record, L"no such archive.dxa", nullptr), -1);
}

}  // namespace
