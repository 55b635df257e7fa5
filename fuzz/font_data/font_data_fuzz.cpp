// Font data images ("FNTF") over any file: the first byte is the edge size (0-3) and the rest the
// image. A font that loads must hold only records inside its unpacked header, a code table and a
// high-code list that lead to records of their own codes, and glyphs whose rows lie inside the
// image or the unpack buffer; every glyph is then written into the font's software cache, whose
// cells must stay inside their side. Deleting the font gives back every block.
#include <stdint.h>
#include <string.h>

#include "fuzz/support/fuzz_check.h"
#include "zovuz/graphics/font/font_internal.h"

namespace {

// Records whose glyphs are fetched and cached, at most (the rest are only checked for place).
constexpr int kGlyphRecords = 64;

bool Inside(const void *p, size_t n, const void *base, size_t size) {
  const uint8_t *b = static_cast<const uint8_t *>(base), *q = static_cast<const uint8_t *>(p);
  return q >= b && n <= size && static_cast<size_t>(q - b) <= size - n;
}

void CheckRecords(const FontHandleData &f) {
  FUZZ_CHECK(f.DataRecordNum >= 0 && f.DataHighCodeNum >= 0 && f.DataHighCodeNum <= f.DataRecordNum,
             "%d records, %d high", f.DataRecordNum, f.DataHighCodeNum);
  const size_t records = static_cast<size_t>(f.DataRecordNum) * 32;
  FUZZ_CHECK(Inside(f.DataFirstRecord, records, f.DataHeader, f.DataHeaderSize), "records outside the header");
  if (records > 0) TouchEnds(f.DataFirstRecord, records);
  for (uint32_t code = 0; code < FONT_CODE_INDEX_NUM; ++code) {
    const uint8_t *r = f.DataCodeTable[code];
    if (r == nullptr) continue;
    FUZZ_CHECK(Inside(r, 32, f.DataFirstRecord, records) && (r - f.DataFirstRecord) % 32 == 0 && ReadLe32(r) == code,
               "the table's entry of code %u", code);
  }
  FUZZ_CHECK(reinterpret_cast<const uint8_t *>(f.DataHighCodeList + f.DataHighCodeNum) <= f.DataUnpackBuffer,
             "%d high codes run into the unpack buffer", f.DataHighCodeNum);
  for (int i = 0; i < f.DataHighCodeNum; ++i) {
    const uint8_t *r = f.DataHighCodeList[i];
    FUZZ_CHECK(Inside(r, 32, f.DataFirstRecord, records) && ReadLe32(r) >= FONT_CODE_INDEX_NUM, "high code %d", i);
  }
}

void CheckGlyphs(FontHandleData *f) {
  const int count = f->DataRecordNum < kGlyphRecords ? f->DataRecordNum : kGlyphRecords;
  for (int i = 0; i < count; ++i) {
    const uint8_t *record = f->DataFirstRecord + i * 32;
    FontDataGlyph glyph;
    if (GetFontDataGlyph(f, record, &glyph) == 0 && glyph.Width > 0 && glyph.Height > 0) {
      // What the cache writer reads: every row's pixels, the last row's included.
      const int bits = glyph.Format == FONT_IMAGE_BIT1 ? 1 : glyph.Format == FONT_IMAGE_GREY4 ? 4 : 8;
      const size_t rowBytes = (static_cast<size_t>(glyph.Width) * bits + 7) / 8;
      const size_t pitched = static_cast<size_t>(glyph.Pitch) * (glyph.Height - 1) + rowBytes;
      const size_t bytes = pitched > static_cast<size_t>(glyph.Pitch) * glyph.Height
                               ? pitched : static_cast<size_t>(glyph.Pitch) * glyph.Height;
      FUZZ_CHECK(Inside(glyph.Image, bytes, f->DataGlyphBase, f->DataGlyphSize) ||
                     Inside(glyph.Image, bytes, f->DataUnpackBuffer, f->DataUnpackSize),
                 "record %d: %d x %d glyph of pitch %d outside its data", i, glyph.Width, glyph.Height, glyph.Pitch);
      TouchEnds(glyph.Image, bytes);
    }
    const uint32_t code = ReadLe32(record);
    const uint8_t *found = GetFontDataCharRecord(f, code);
    FUZZ_CHECK(found != nullptr && ReadLe32(found) == code, "record %d: code %u not found", i, code);
    if (found != record) continue;  // another record of the same code is the one in use
    const FontCharData *cell = GetFontCacheCharData(f, code, nullptr, nullptr, nullptr, 0, 0);
    if (cell == nullptr || cell->GraphCharFlag) continue;
    const int side = f->Metrics.CellSide;
    FUZZ_CHECK(cell->Code == code && cell->Width >= 0 && cell->Height >= 0 && cell->Width <= side &&
                   cell->Height <= side && cell->CellIndex >= 0 && cell->CellIndex < f->CellCount,
               "code %u: cell %d of %d, %d x %d in side %d", code, cell->CellIndex, f->CellCount, cell->Width,
               cell->Height, side);
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  InitializeFontSystem();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size < 1) return 0;
  TrackedHeapCheck heap;
  const int handle = LoadFontDataFromMemBase(nullptr, data + 1, static_cast<int>(size - 1), data[0] & 3, -1, 0);
  if (handle >= 0) {
    FontHandleData *font = GetFontHandleData(handle);
    FUZZ_CHECK(font != nullptr && font->FromDataFlag, "a loaded font without its record");
    CheckRecords(*font);
    CheckGlyphs(font);
    DeleteFontToHandle(handle);
  }
  heap.Verify();
  return 0;
}
