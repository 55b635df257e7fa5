// Draws tarvex's interface images and its icon in code and writes them: the divided button
// sheets and the transport panel as PNG files into every folder named on the command line (each
// gets an "IMG" folder), and the program icon as an ICO file.
//
//   ui_images --icon <file.ico> <folder> [<folder> ...]
//
// It runs on the build machine with nothing but the C++ library: the PNG files are written with
// stored (uncompressed) deflate blocks, the icon as 32-bit images with alpha.
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

// ---- pixels ------------------------------------------------------------------------------

struct Rgba {
  uint8_t r, g, b, a;
};

constexpr Rgba Colour(uint32_t rgb, uint8_t alpha = 255) {
  return Rgba{uint8_t(rgb >> 16), uint8_t(rgb >> 8), uint8_t(rgb), alpha};
}

constexpr Rgba kClear = {0, 0, 0, 0};

class Canvas {
 public:
  Canvas(int width, int height) : width_(width), height_(height), pixels_(size_t(width) * height, kClear) {}
  int Width() const { return width_; }
  int Height() const { return height_; }
  const std::vector<Rgba>& Pixels() const { return pixels_; }

  void Put(int x, int y, Rgba c) {
    if (x >= 0 && y >= 0 && x < width_ && y < height_) pixels_[size_t(y) * width_ + x] = c;
  }
  Rgba At(int x, int y) const { return pixels_[size_t(y) * width_ + x]; }
  void Fill(int x, int y, int w, int h, Rgba c) {
    for (int j = y; j < y + h; ++j)
      for (int i = x; i < x + w; ++i) Put(i, j, c);
  }
  // A vertical gradient from `top` to `bottom`.
  void Gradient(int x, int y, int w, int h, Rgba top, Rgba bottom) {
    for (int j = 0; j < h; ++j) {
      const int d = h > 1 ? h - 1 : 1;
      auto mix = [&](uint8_t a, uint8_t b) { return uint8_t(a + (int(b) - int(a)) * j / d); };
      Fill(x, y + j, w, 1, Rgba{mix(top.r, bottom.r), mix(top.g, bottom.g), mix(top.b, bottom.b), mix(top.a, bottom.a)});
    }
  }
  void Frame(int x, int y, int w, int h, Rgba c) {
    Fill(x, y, w, 1, c);
    Fill(x, y + h - 1, w, 1, c);
    Fill(x, y, 1, h, c);
    Fill(x + w - 1, y, 1, h, c);
  }
  // A glyph of rows of '#' (set) and anything else (clear), its top left at (x, y).
  void Glyph(int x, int y, const std::vector<const char*>& rows, Rgba c) {
    for (size_t j = 0; j < rows.size(); ++j)
      for (size_t i = 0; rows[j][i]; ++i)
        if (rows[j][i] == '#') Put(x + int(i), y + int(j), c);
  }

 private:
  int width_, height_;
  std::vector<Rgba> pixels_;
};

// ---- buttons -----------------------------------------------------------------------------

// The two looks of every button: raised and light while up, sunk and dark with a lit glyph while
// pressed (or switched on), so that a pressed tile never looks like a normal one.
struct ButtonLook {
  Rgba faceTop, faceBottom, edgeLight, edgeDark, glyph;
};

constexpr ButtonLook kUp = {Colour(0xF2F2F2), Colour(0xC4C4C8), Colour(0xFFFFFF), Colour(0x5A5A60), Colour(0x303038)};
constexpr ButtonLook kDown = {Colour(0x3A3A44), Colour(0x50505C), Colour(0x202028), Colour(0x8A8A96), Colour(0x66E0FF)};

// A button face filling the tile at (x, y): a one-pixel outline, a bevel and the face.
void DrawButtonFace(Canvas& c, int x, int y, int w, int h, const ButtonLook& look) {
  c.Gradient(x, y, w, h, look.faceTop, look.faceBottom);
  c.Fill(x, y, w, 1, look.edgeLight);
  c.Fill(x, y, 1, h, look.edgeLight);
  c.Fill(x, y + h - 1, w, 1, look.edgeDark);
  c.Fill(x + w - 1, y, 1, h, look.edgeDark);
}

// A glyph centred in the tile at (x, y).
void CentreGlyph(Canvas& c, int x, int y, int w, int h, const std::vector<const char*>& rows, Rgba colour) {
  const int gw = int(std::strlen(rows[0])), gh = int(rows.size());
  c.Glyph(x + (w - gw) / 2, y + (h - gh) / 2, rows, colour);
}

const std::vector<const char*> kRewind = {"#  #  #", "# ## ##", "#######", "# ## ##", "#  #  #"};
const std::vector<const char*> kStop = {"#####", "#####", "#####", "#####", "#####"};
const std::vector<const char*> kPlayPause = {"#   # #", "##  # #", "### # #", "##  # #", "#   # #"};
const std::vector<const char*> kFastForward = {"#  #  ", "## ## ", "######", "## ## ", "#  #  "};
const std::vector<const char*> kMinus = {"###"};
const std::vector<const char*> kPlus = {" # ", "###", " # "};
const std::vector<const char*> kLetterM = {"#   #", "## ##", "# # #", "#   #", "#   #"};
const std::vector<const char*> kLetterS = {" ####", "#    ", " ### ", "    #", "#### "};
const std::vector<const char*> kEditLines = {"####", "    ", "####", "    ", "####"};
const std::vector<const char*> kLamp = {" ## ", "####", "####", " ## "};

// Tiles of `w` x `h`, `across` per row; each row of tiles drawn by `draw`(canvas, x, y, column, row).
template <typename Draw>
Canvas Sheet(int w, int h, int across, int down, Draw draw) {
  Canvas c(w * across, h * down);
  for (int row = 0; row < down; ++row)
    for (int column = 0; column < across; ++column) draw(c, column * w, row * h, column, row);
  return c;
}

// "IMG/edit_button.png": normal, pressed.
Canvas EditButton() {
  return Sheet(10, 10, 2, 1, [](Canvas& c, int x, int y, int column, int) {
    const ButtonLook& look = column == 0 ? kUp : kDown;
    DrawButtonFace(c, x, y, 10, 10, look);
    CentreGlyph(c, x, y, 10, 10, kEditLines, look.glyph);
  });
}

// "IMG/onoff_button.png": off, on.
Canvas OnOffButton() {
  return Sheet(10, 10, 2, 1, [](Canvas& c, int x, int y, int column, int) {
    DrawButtonFace(c, x, y, 10, 10, kDown);
    CentreGlyph(c, x, y, 10, 10, kLamp, column == 0 ? Colour(0x404048) : Colour(0x66FF88));
  });
}

// "IMG/TRANSPORTS.png": rewind, stop, play/pause, fast-forward; the pressed row below.
Canvas Transports() {
  const std::vector<const char*>* glyphs[4] = {&kRewind, &kStop, &kPlayPause, &kFastForward};
  return Sheet(19, 13, 4, 2, [&](Canvas& c, int x, int y, int column, int row) {
    const ButtonLook& look = row == 0 ? kUp : kDown;
    DrawButtonFace(c, x, y, 19, 13, look);
    CentreGlyph(c, x, y, 19, 13, *glyphs[column], look.glyph);
  });
}

// "IMG/PLUSMINUS.png": minus, plus; the pressed row below.
Canvas PlusMinus() {
  return Sheet(7, 7, 2, 2, [](Canvas& c, int x, int y, int column, int row) {
    const ButtonLook& look = row == 0 ? kUp : kDown;
    DrawButtonFace(c, x, y, 7, 7, look);
    CentreGlyph(c, x, y, 7, 7, column == 0 ? kMinus : kPlus, look.glyph);
  });
}

// "IMG/MUTESOLO.png": M and S; below them the switched-on pair (mute red, solo yellow).
Canvas MuteSolo() {
  return Sheet(9, 9, 2, 2, [](Canvas& c, int x, int y, int column, int row) {
    ButtonLook look = kUp;
    if (row == 1) {
      look = kDown;
      look.faceTop = column == 0 ? Colour(0xE04040) : Colour(0xE0C020);
      look.faceBottom = column == 0 ? Colour(0xA02020) : Colour(0xA08010);
      look.glyph = Colour(0xFFFFFF);
    }
    DrawButtonFace(c, x, y, 9, 9, look);
    CentreGlyph(c, x, y, 9, 9, column == 0 ? kLetterM : kLetterS, look.glyph);
  });
}

// "IMG/TRANSPORTS_BACK.png": the dark, slightly see-through panel behind the transport's texts,
// with rounded corners. Pure black is the transparent colour of graphs drawn with transparency,
// so the panel is never pure black.
Canvas TransportBack() {
  constexpr int w = 183, h = 18;
  Canvas c(w, h);
  c.Gradient(0, 0, w, h, Colour(0x34343E, 235), Colour(0x1C1C24, 235));
  c.Fill(1, 0, w - 2, 1, Colour(0x5A5A66, 235));
  c.Fill(1, h - 1, w - 2, 1, Colour(0x101016, 235));
  for (int x : {0, w - 1})
    for (int y : {0, h - 1}) c.Put(x, y, kClear);
  return c;
}

// The program icon at `size`: a dark rounded tile with four level meters.
Canvas Icon(int size) {
  Canvas c(size, size);
  const int r = std::max(1, size / 8);
  c.Gradient(0, 0, size, size, Colour(0x2C2C38), Colour(0x15151C));
  for (int y = 0; y < r; ++y)
    for (int x = 0; x < r - y; ++x)
      for (auto [px, py] : {std::array<int, 2>{x, y}, {size - 1 - x, y}, {x, size - 1 - y}, {size - 1 - x, size - 1 - y}})
        c.Put(px, py, kClear);
  const int heights[4] = {55, 85, 40, 70};  // percent of the inner height
  const int inner = size - 2 * r, barWidth = std::max(1, inner / 6), gap = std::max(1, (inner - 4 * barWidth) / 5);
  for (int i = 0; i < 4; ++i) {
    const int barHeight = std::max(1, inner * heights[i] / 100);
    const int x = r + gap + i * (barWidth + gap);
    c.Gradient(x, size - r - barHeight, barWidth, barHeight, Colour(0x66E0FF), Colour(0x2277CC));
  }
  return c;
}

// ---- files -------------------------------------------------------------------------------

uint32_t Crc32(const uint8_t* data, size_t size, uint32_t crc = 0) {
  static const std::array<uint32_t, 256> table = [] {
    std::array<uint32_t, 256> t{};
    for (uint32_t n = 0; n < 256; ++n) {
      uint32_t v = n;
      for (int k = 0; k < 8; ++k) v = v & 1 ? 0xEDB88320u ^ (v >> 1) : v >> 1;
      t[n] = v;
    }
    return t;
  }();
  crc = ~crc;
  for (size_t i = 0; i < size; ++i) crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

void PutBe32(std::vector<uint8_t>& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(uint8_t(v >> shift));
}
void PutLe16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(uint8_t(v));
  out.push_back(uint8_t(v >> 8));
}
void PutLe32(std::vector<uint8_t>& out, uint32_t v) {
  PutLe16(out, v);
  PutLe16(out, v >> 16);
}

void PutChunk(std::vector<uint8_t>& png, const char* type, const std::vector<uint8_t>& data) {
  PutBe32(png, uint32_t(data.size()));
  const size_t start = png.size();
  png.insert(png.end(), type, type + 4);
  png.insert(png.end(), data.begin(), data.end());
  PutBe32(png, Crc32(png.data() + start, png.size() - start));
}

// An 8-bit RGBA PNG, its pixel rows in a zlib stream of stored blocks.
std::vector<uint8_t> EncodePng(const Canvas& c) {
  std::vector<uint8_t> raw;
  for (int y = 0; y < c.Height(); ++y) {
    raw.push_back(0);  // no row filter
    for (int x = 0; x < c.Width(); ++x) {
      const Rgba p = c.At(x, y);
      raw.insert(raw.end(), {p.r, p.g, p.b, p.a});
    }
  }
  std::vector<uint8_t> zlib = {0x78, 0x01};
  size_t at = 0;
  do {
    const size_t n = std::min<size_t>(raw.size() - at, 65535);
    zlib.push_back(at + n == raw.size() ? 1 : 0);
    PutLe16(zlib, uint32_t(n));
    PutLe16(zlib, uint32_t(~n & 0xFFFF));
    zlib.insert(zlib.end(), raw.begin() + at, raw.begin() + at + n);
    at += n;
  } while (at < raw.size());
  uint32_t a = 1, b = 0;
  for (uint8_t v : raw) {
    a = (a + v) % 65521;
    b = (b + a) % 65521;
  }
  PutBe32(zlib, (b << 16) | a);

  std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<uint8_t> header;
  PutBe32(header, uint32_t(c.Width()));
  PutBe32(header, uint32_t(c.Height()));
  header.insert(header.end(), {8, 6, 0, 0, 0});  // 8 bits, RGBA, deflate, no filter method, no interlace
  PutChunk(png, "IHDR", header);
  PutChunk(png, "IDAT", zlib);
  PutChunk(png, "IEND", {});
  return png;
}

// An icon file of 32-bit images with alpha (rows bottom up, then an all-clear AND mask).
std::vector<uint8_t> EncodeIco(const std::vector<Canvas>& images) {
  std::vector<std::vector<uint8_t>> bodies;
  for (const Canvas& c : images) {
    std::vector<uint8_t> body;
    PutLe32(body, 40);
    PutLe32(body, uint32_t(c.Width()));
    PutLe32(body, uint32_t(c.Height() * 2));
    PutLe16(body, 1);
    PutLe16(body, 32);
    for (int i = 0; i < 6; ++i) PutLe32(body, 0);
    for (int y = c.Height() - 1; y >= 0; --y)
      for (int x = 0; x < c.Width(); ++x) {
        const Rgba p = c.At(x, y);
        body.insert(body.end(), {p.b, p.g, p.r, p.a});
      }
    const size_t maskRow = size_t((c.Width() + 31) / 32) * 4;
    body.insert(body.end(), maskRow * c.Height(), 0);
    bodies.push_back(std::move(body));
  }
  std::vector<uint8_t> ico;
  PutLe16(ico, 0);
  PutLe16(ico, 1);
  PutLe16(ico, uint32_t(images.size()));
  uint32_t offset = uint32_t(6 + 16 * images.size());
  for (size_t i = 0; i < images.size(); ++i) {
    ico.insert(ico.end(), {uint8_t(images[i].Width()), uint8_t(images[i].Height()), 0, 0});
    PutLe16(ico, 1);
    PutLe16(ico, 32);
    PutLe32(ico, uint32_t(bodies[i].size()));
    PutLe32(ico, offset);
    offset += uint32_t(bodies[i].size());
  }
  for (const auto& body : bodies) ico.insert(ico.end(), body.begin(), body.end());
  return ico;
}

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
  std::string icon;
  std::vector<std::string> folders;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--icon") == 0 && i + 1 < argc) {
      icon = argv[++i];
    } else {
      folders.push_back(argv[i]);
    }
  }
  if (icon.empty() || folders.empty()) {
    std::fprintf(stderr, "usage: ui_images --icon <file.ico> <folder> [<folder> ...]\n");
    return 2;
  }
  const std::pair<const char*, Canvas> images[] = {
      {"edit_button.png", EditButton()}, {"onoff_button.png", OnOffButton()},
      {"TRANSPORTS.png", Transports()},  {"PLUSMINUS.png", PlusMinus()},
      {"MUTESOLO.png", MuteSolo()},      {"TRANSPORTS_BACK.png", TransportBack()},
  };
  for (const std::string& folder : folders) {
    const std::string dir = folder + "/IMG";
    mkdir(folder.c_str(), 0777);
    mkdir(dir.c_str(), 0777);
    for (const auto& [name, canvas] : images) {
      if (!WriteFile(dir + "/" + name, EncodePng(canvas))) {
        std::fprintf(stderr, "ui_images: cannot write %s/%s\n", dir.c_str(), name);
        return 1;
      }
    }
  }
  if (!WriteFile(icon, EncodeIco({Icon(16), Icon(32), Icon(48)}))) {
    std::fprintf(stderr, "ui_images: cannot write %s\n", icon.c_str());
    return 1;
  }
  return 0;
}
