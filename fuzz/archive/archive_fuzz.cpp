// The archive reader over any image. The input is the archive unscrambled (so that mutations
// work on its fields); the target scrambles it with the default key and hands it over, its last
// byte choosing how: from memory in place, copied or left scrambled, as a file read on demand or
// whole, or through the file-access table as the folder "data". Every member is then found by
// its path and read in full; the tracked heap and the open streams must end as they began.
#include <stdint.h>
#include <string.h>

#include <memory>
#include <string>
#include <vector>

#include "fuzz/native/files_native.h"
#include "fuzz/support/fuzz_check.h"
#include "zovuz/core/file/archive.h"
#include "zovuz/core/file/archive_internal.h"
#include "zovuz/core/file/file_access.h"

namespace {

typedef std::vector<unsigned char> Bytes;

enum Mode { kInPlace, kCopied, kScrambled, kStreamed, kWholeFile, kFileTable, kModeCount };

// Bytes a member may expand to here; larger members are looked up but not read.
const uint64_t kMemberLimit = 1u << 22;

// Reads one member as the archive layer does: stored bytes, then expanded when packed. The
// buffers are exactly as large as the entry says; an empty member is read into none at all (as
// from an empty vector), while the expansion always gets one (a null destination only measures).
void ReadMember(DxArchiveRecord *record, const ArchiveFileEntry &entry) {
  const uint64_t stored = ArchiveIsPacked(record, &entry) ? entry.PackedSize : entry.DataSize;
  if (stored > kMemberLimit || entry.DataSize > kMemberLimit) return;
  std::unique_ptr<unsigned char[]> data(stored > 0 ? new unsigned char[stored] : nullptr);
  if (ArchiveReadBytes(record, record->Stream, record->DataPosition + entry.DataOffset, data.get(), stored) != 0) return;
  if (!ArchiveIsPacked(record, &entry)) return;
  std::unique_ptr<unsigned char[]> expanded(new unsigned char[entry.DataSize]);
  const int64_t got = ArchiveDecompressChecked(data.get(), stored, expanded.get(), entry.DataSize);
  FUZZ_CHECK(got == -1 || (got >= 0 && static_cast<uint64_t>(got) <= entry.DataSize),
             "expanded %lld bytes into room for %llu", static_cast<long long>(got),
             static_cast<unsigned long long>(entry.DataSize));
}

// Walks the tree from the root as the open's check did; every member is looked up by its path
// (in the archive's code page) and read.
void ReadEveryMember(DxArchiveRecord *record) {
  const uint64_t fileBytes = ArchiveFileEntryBytes(record);
  struct Pending { uint64_t dirOffset; std::string path; };
  std::vector<Pending> pending = {{0, ""}};
  while (!pending.empty()) {
    Pending dirAt = pending.back();
    pending.pop_back();
    ArchiveDirEntry dir;
    ArchiveGetDirEntry(record, dirAt.dirOffset, &dir);
    for (uint64_t i = 0; i < dir.FileCount; ++i) {
      ArchiveFileEntry entry;
      ArchiveGetFileEntry(record, dir.FirstFileOffset + i * fileBytes, &entry);
      char name[ARCHIVE_NAME_MAX_BYTES + 4];
      ArchiveCopyStoredName(record, &entry, name);
      const std::string path = dirAt.path + name;
      const bool directory = (entry.Attributes & ARCHIVE_ATTRIBUTE_DIRECTORY) != 0;
      ArchiveFileEntry found;
      uint64_t foundDir = 0;
      ArchiveLookup(record, path.c_str(), directory, &found, &foundDir);
      if (directory) {
        pending.push_back({entry.DataOffset, path + "\\"});
      } else {
        ReadMember(record, entry);
        uint64_t position = 0, size = 0;
        if (ArchiveFindFile(record, record->CodePage, path.c_str(), &position, &size) == 0) {
          FUZZ_CHECK(position <= record->ArchiveSize && size <= record->ArchiveSize - position,
                     "found a member outside the archive");
        }
      }
    }
  }
}

// Reads a file through the table in blocks of Block bytes to its end, which the end test must
// then report. (Its size is not checked against the search's: two members of one name may
// differ, and the path opens the first.)
void ReadThroughTable(const wchar_t *path, size_t block) {
  FileStreamId id = FileAccessOpen(path, 0, 0, 0);
  if (id == 0) return;
  Bytes chunk(block);
  uint64_t total = 0;
  size_t got = 0;
  while (total <= kMemberLimit && (got = FileAccessRead(chunk.data(), 1, block, id)) != 0) total += got;
  FUZZ_CHECK(got == 0 && FileAccessEof(id) == -1, "a read of %llu bytes does not end",
             static_cast<unsigned long long>(total));
  FileAccessSeek(id, -1, FILE_SEEK_END);
  FileAccessRead(chunk.data(), 1, 1, id);
  FileAccessClose(id);
}

// Every file of the folder and its subfolders, through the table's search and reads. Budget
// bounds the entries visited: a stored name such as "\\" leads back into its own folder.
void WalkFolder(const std::u16string &folder, int depth, int &budget) {
  if (depth > 32) return;
  const std::u16string pattern = folder + u"\\*";
  FileFindRecord record;
  FileFindId find = FileAccessFindFirst(reinterpret_cast<const wchar_t *>(pattern.c_str()), &record);
  if (find == FILE_FIND_ID_NONE) return;
  do {
    FUZZ_CHECK(memchr(record.Name, 0, sizeof record.Name) != nullptr, "a found name without terminator");
    const std::u16string name(reinterpret_cast<const char16_t *>(record.Name));
    if (name == u"." || name == u"..") continue;
    const std::u16string path = folder + u"\\" + name;
    if (record.DirFlag) WalkFolder(path, depth + 1, budget);
    else ReadThroughTable(reinterpret_cast<const wchar_t *>(path.c_str()), 1 + budget % 700);
  } while (--budget > 0 && FileAccessFindNext(find, &record) == 0);
  FileAccessFindClose(find);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  InitializeArchiveSystem();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size == 0) return 0;
  const Mode mode = static_cast<Mode>(data[size - 1] % kModeCount);
  Bytes image(data, data + size - 1);
  unsigned char key[ARCHIVE_KEY_BYTES];
  MakeArchiveKey(nullptr, key);
  ArchiveKeyConvert(image.data(), image.size(), 0, key);
  const Bytes original = image;

  TrackedHeapCheck heap;
  DxArchiveRecord record;
  int opened = -1;
  switch (mode) {
    case kInPlace:
    case kCopied:
    case kScrambled:
      opened = OpenArchiveFromMemory(&record, image.data(), image.size(), mode == kCopied, mode == kScrambled,
                                     nullptr, L"mem");
      break;
    case kStreamed:
    case kWholeFile:
      NativeFilesAdd(L"fuzz.dxa", image.data(), image.size());
      opened = mode == kStreamed ? OpenArchiveFileStreamed(&record, L"fuzz.dxa", nullptr)
                                 : OpenArchiveFileToMemory(&record, L"fuzz.dxa", nullptr, 0);
      break;
    case kFileTable:
    default: {
      NativeFilesAdd(L"data.dxa", image.data(), image.size());
      int budget = 512;
      WalkFolder(u"data", 0, budget);
      // Closes the archive the table opened, so the next input is read afresh.
      TerminateArchiveSystem();
      InitializeArchiveSystem();
      break;
    }
  }
  if (opened == 0) {
    FUZZ_CHECK(record.TableSize <= record.ArchiveSize, "table larger than the archive");
    ReadEveryMember(&record);
    ArchiveCloseRecord(&record);
  }
  FUZZ_CHECK(image == original, "the caller's image was not given back as it was");
  NativeFilesClear();
  FUZZ_CHECK(NativeFilesOpenStreams() == 0, "%d streams left open", NativeFilesOpenStreams());
  heap.Verify();
  return 0;
}
