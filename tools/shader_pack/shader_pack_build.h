// Builds the shader packs that the library carries in its program: a code pack (a table of
// 16-bit sizes, one per slot, then the codes back to back) or an archive image, LZ-packed with
// the archive layer's packer and written as packed text (zovuz/core/file/packed_text.h) into a
// generated source file of writable arrays. The same input always gives the same bytes.
//
// The packing is the back ends' common step; which shaders fill a pack is each back end's
// (shader_pack_main.cpp).
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

#include "tools/archive_writer/archive_writer.h"

namespace shader_pack {

using Bytes = std::vector<unsigned char>;

// The contents of a code pack of Slots.size() slots (an empty slot has no code). False with a
// reason in Error when a code is longer than a 16-bit size holds.
bool BuildCodePack(const std::vector<Bytes> &Slots, Bytes &Content, std::string *Error);

// An archive image of the files (stored, not packed, so that they are read in place), its names
// in code page 932 so that they are found by ASCII names given in any code. False with a reason.
bool BuildShaderArchive(const std::vector<ArchiveWriterItem> &Files, Bytes &Image, std::string *Error);

// The packed text of Content: LZ-packed, then as 7-bit units.
Bytes PackText(const Bytes &Content);

// One pack of the generated source: the PackedTextData variable Name over the text.
struct SourcePack {
    std::string Name;
    Bytes Text;
};

// The generated source: Comment (lines without "//"), the include, then each pack's text as a
// string literal in a writable array and its PackedTextData record.
std::string WritePackSource(const std::vector<SourcePack> &Packs, const std::string &Comment);

}  // namespace shader_pack
