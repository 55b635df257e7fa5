// Lays out a "DX" archive: header, the data area, then the table block (name table, file
// table, directory table), every byte scrambled with the key. The root's entry comes first in
// the file table; each folder's files follow one another, folders listed breadth first.
#include "tools/archive_writer/archive_writer.h"

#include <string.h>

#include <deque>
#include <memory>

#include "zovuz/core/file/archive.h"
#include "zovuz/core/text/char_code.h"
#include "zovuz/core/file/archive_internal.h"

namespace {

struct Node {
    std::string Name;                            // as stored
    bool Directory = false;
    const ArchiveWriterItem *Item = nullptr;     // the item that made it, if any
    std::vector<std::unique_ptr<Node>> Children; // in the order given
    uint64_t NameOffset = 0;
    uint64_t FileIndex = 0;                      // its entry in the file table
    uint64_t DirIndex = 0;                       // its entry in the directory table (folders)
    uint64_t FirstChild = 0;                     // file-table index of its first child
    uint64_t DataOffset = 0, DataSize = 0, PackedSize = ARCHIVE_NOT_PACKED;
};

bool IsLead(unsigned char c, int CodePage)
{
    if (CodePage == 932) return IsCp932LeadByte(c);
    if (CodePage == 936 || CodePage == 949 || CodePage == 950) return c >= 0x81;
    return false;
}

// Splits at "/" and "\" that are whole characters (a Shift-JIS trail byte may be 0x5C).
std::vector<std::string> SplitPath(const std::string &Path, int CodePage)
{
    std::vector<std::string> parts(1);
    for (size_t i = 0; i < Path.size(); i++) {
        unsigned char c = (unsigned char)Path[i];
        if (IsLead(c, CodePage) && i + 1 < Path.size()) {
            parts.back() += Path.substr(i, 2);
            i++;
        } else if (c == '/' || c == '\\') {
            parts.emplace_back();
        } else {
            parts.back() += (char)c;
        }
    }
    std::vector<std::string> names;
    for (auto &p : parts)
        if (!p.empty()) names.push_back(p);
    return names;
}

std::string UpperName(const std::string &Name, int CodePage)
{
    std::string upper = Name;
    for (size_t i = 0; i < upper.size(); i++) {
        unsigned char c = (unsigned char)upper[i];
        if (IsLead(c, CodePage)) i++;
        else if (c >= 'a' && c <= 'z') upper[i] = (char)(c - 'a' + 'A');
    }
    return upper;
}

void Put(std::vector<unsigned char> &Out, uint64_t Offset, uint64_t Value, int Bytes)
{
    for (int i = 0; i < Bytes; i++) Out[(size_t)Offset + i] = (unsigned char)(Value >> (8 * i));
}

// Name record: units of 4 bytes, check value, upper-case name, stored name, each padded.
uint64_t AddName(std::vector<unsigned char> &Names, const std::string &Name, int CodePage)
{
    const uint64_t offset = Names.size();
    const std::string upper = UpperName(Name, CodePage);
    const size_t units = Name.size() / 4 + 1;
    uint16_t check = 0;
    for (unsigned char c : upper) check = (uint16_t)(check + c);
    Names.resize(Names.size() + 4 + units * 8, 0);
    Put(Names, offset, units, 2);
    Put(Names, offset + 2, check, 2);
    memcpy(Names.data() + offset + 4, upper.data(), upper.size());
    memcpy(Names.data() + offset + 4 + units * 4, Name.data(), Name.size());
    return offset;
}

Node *FindChild(Node *Parent, const std::string &Name, int CodePage)
{
    for (auto &child : Parent->Children)
        if (UpperName(child->Name, CodePage) == UpperName(Name, CodePage)) return child.get();
    return nullptr;
}

}  // namespace

int BuildArchive(const std::vector<ArchiveWriterItem> &Items, const ArchiveWriterOptions &Options,
                 std::vector<unsigned char> &Out, std::string *Error)
{
    auto fail = [&](const std::string &Reason) {
        if (Error != nullptr) *Error = Reason;
        return -1;
    };
    const int version = Options.Version;
    if (version < 0 || version > ARCHIVE_MAX_VERSION) return fail("version must be 0 to 6");
    if (Options.Pack && version < 2) return fail("packing needs version 2 or later");
    const int codePage = version >= 4 ? Options.CodePage : 932;
    if (codePage != 932 && codePage != 65001 && codePage != 1252 && codePage != 936 && codePage != 949 && codePage != 950)
        return fail("unsupported code page for names");
    const bool wide = version >= 6;
    const uint64_t fileBytes = wide ? ARCHIVE_FILE_ENTRY_BYTES_V6
                               : version >= 2 ? ARCHIVE_FILE_ENTRY_BYTES_V2 : ARCHIVE_FILE_ENTRY_BYTES_V0;
    const uint64_t dirBytes = wide ? ARCHIVE_DIR_ENTRY_BYTES_V6 : ARCHIVE_DIR_ENTRY_BYTES_V0;
    const uint64_t headerBytes = wide ? ARCHIVE_HEADER_BYTES_V6 : version >= 4 ? ARCHIVE_HEADER_BYTES_V4 : ARCHIVE_HEADER_BYTES_V0;

    // The tree, in the order given.
    Node root;
    root.Directory = true;
    for (const ArchiveWriterItem &item : Items) {
        std::vector<std::string> names = SplitPath(item.Path, codePage);
        if (names.empty()) return fail("empty path");
        Node *at = &root;
        for (size_t i = 0; i < names.size(); i++) {
            if (names[i].size() + 4 > 1024) return fail("name too long: " + names[i]);
            if (names[i] == "." || names[i] == "..") return fail("\".\" and \"..\" are not names: " + item.Path);
            const bool last = i + 1 == names.size();
            Node *child = FindChild(at, names[i], codePage);
            if (child != nullptr && (last || !child->Directory)) return fail("given twice: " + item.Path);
            if (child == nullptr) {
                at->Children.emplace_back(new Node);
                child = at->Children.back().get();
                child->Name = names[i];
                child->Directory = !last || item.Directory;
            }
            if (last) child->Item = &item;
            at = child;
        }
    }

    // Breadth first: file-table and directory-table indices, names, data.
    std::vector<unsigned char> names, data;
    std::vector<Node *> files{&root}, dirs{&root};
    root.NameOffset = AddName(names, "", codePage);
    std::deque<Node *> queue{&root};
    while (!queue.empty()) {
        Node *dir = queue.front();
        queue.pop_front();
        dir->FirstChild = files.size();
        for (auto &child : dir->Children) {
            Node *node = child.get();
            node->FileIndex = files.size();
            files.push_back(node);
            node->NameOffset = AddName(names, node->Name, codePage);
            if (node->Directory) {
                node->DirIndex = dirs.size();
                dirs.push_back(node);
                queue.push_back(node);
                continue;
            }
            const std::vector<unsigned char> empty;
            const std::vector<unsigned char> &bytes = node->Item != nullptr ? node->Item->Data : empty;
            node->DataOffset = data.size();
            node->DataSize = bytes.size();
            if (Options.Pack) {
                std::vector<unsigned char> packed = ArchivePack(bytes.data(), bytes.size());
                node->PackedSize = packed.size();
                data.insert(data.end(), packed.begin(), packed.end());
            } else {
                data.insert(data.end(), bytes.begin(), bytes.end());
            }
            if (!wide && data.size() > 0xFFFFFFFFu) return fail("archive too large for 32-bit tables");
        }
    }

    const uint64_t fileTableOffset = names.size();
    const uint64_t dirTableOffset = fileTableOffset + files.size() * fileBytes;
    const uint64_t tableSize = dirTableOffset + dirs.size() * dirBytes;
    std::vector<unsigned char> table(tableSize, 0);
    memcpy(table.data(), names.data(), names.size());
    for (size_t i = 0; i < files.size(); i++) {
        const Node *node = files[i];
        const uint64_t at = fileTableOffset + i * fileBytes;
        const int w = wide ? 8 : 4;
        const ArchiveWriterItem *item = node->Item;
        Put(table, at, node->NameOffset, w);
        Put(table, at + w, node->Directory ? ARCHIVE_ATTRIBUTE_DIRECTORY : 0x20, w);
        Put(table, at + 2 * w, item ? item->CreationTime : 0, 8);
        Put(table, at + 2 * w + 8, item ? item->LastAccessTime : 0, 8);
        Put(table, at + 2 * w + 16, item ? item->LastWriteTime : 0, 8);
        Put(table, at + 2 * w + 24, node->Directory ? node->DirIndex * dirBytes : node->DataOffset, w);
        Put(table, at + 3 * w + 24, node->Directory ? 0 : node->DataSize, w);
        if (version >= 2) Put(table, at + 4 * w + 24, node->Directory ? ARCHIVE_NOT_PACKED : node->PackedSize, w);
    }
    for (size_t i = 0; i < dirs.size(); i++) {
        const Node *dir = dirs[i];
        const uint64_t at = dirTableOffset + i * dirBytes;
        const int w = wide ? 8 : 4;
        uint64_t parent = ARCHIVE_NO_PARENT;
        for (const Node *candidate : dirs)
            for (auto &child : candidate->Children)
                if (child.get() == dir) parent = candidate->DirIndex * dirBytes;
        Put(table, at, dir->FileIndex * fileBytes, w);
        Put(table, at + w, parent, w);
        Put(table, at + 2 * w, dir->Children.size(), w);
        Put(table, at + 3 * w, dir->FirstChild * fileBytes, w);
    }

    const uint64_t dataPosition = headerBytes;
    const uint64_t tablePosition = dataPosition + data.size();
    if (!wide && (tablePosition > 0xFFFFFFFFu || tableSize > 0xFFFFFFFFu)) return fail("archive too large for 32-bit tables");
    Out.assign((size_t)headerBytes, 0);
    Put(Out, 0, ARCHIVE_MAGIC, 2);
    Put(Out, 2, (uint64_t)version, 2);
    Put(Out, 4, tableSize, 4);
    const int w = wide ? 8 : 4;
    Put(Out, 8, dataPosition, w);
    Put(Out, 8 + w, tablePosition, w);
    Put(Out, 8 + 2 * w, fileTableOffset, w);
    Put(Out, 8 + 3 * w, dirTableOffset, w);
    if (version >= 4) Put(Out, 8 + 4 * w, (uint64_t)codePage, w);
    Out.insert(Out.end(), data.begin(), data.end());
    Out.insert(Out.end(), table.begin(), table.end());

    unsigned char key[ARCHIVE_KEY_BYTES];
    if (Options.FallbackKey) MakeArchiveFallbackKey(key);
    else MakeArchiveKey(Options.KeyString, key);
    ArchiveKeyConvert(Out.data(), Out.size(), 0, key);
    return 0;
}
