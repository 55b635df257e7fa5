// The shell's GDI objects: the fonts of the plug-in windows and the dialogs, and the brushes of
// the plug-in windows and the parameter view.
#include <windows.h>

#include <cstddef>
#include <type_traits>

#include "app/shell/app_state.h"

static_assert(std::is_same<HFONT, HFONT__*>::value, "AppState keeps fonts as HFONT");
static_assert(std::is_same<HBRUSH, HBRUSH__*>::value, "AppState keeps brushes as HBRUSH");
static_assert(std::is_same<HINSTANCE, HINSTANCE__*>::value, "AppState keeps the instance as HINSTANCE");
static_assert(sizeof(ShellRect) == sizeof(RECT) && offsetof(ShellRect, right) == offsetof(RECT, right) &&
                  offsetof(ShellRect, bottom) == offsetof(RECT, bottom),
              "ShellRect is laid out as a RECT");

namespace {

constexpr int kPluginWindowFontHeight = 10;
constexpr int kDialogFontHeight = 13;
// The faces, as narrow strings in code page 932.
constexpr char kPluginWindowFontFace[] = "ＭＳ ゴシック";
constexpr char kDialogFontFace[] = "ＭＳ Ｐゴシック";
constexpr COLORREF kBrushColors[kShellBrushCount] = {0x444444, 0xCCCCCC, 0x44CCCC};

HFONT MakeFont(int height, const char* face) {
  return CreateFontA(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET, OUT_DEFAULT_PRECIS,
                     CLIP_DEFAULT_PRECIS, PROOF_QUALITY, DEFAULT_PITCH | FF_DONTCARE, face);
}

template <typename Handle>
void Delete(Handle*& object) {
  if (object) DeleteObject(object);
  object = nullptr;
}

}  // namespace

void MakeAppGdiObjects(AppState& app) {
  app.pluginWindowFont = MakeFont(kPluginWindowFontHeight, kPluginWindowFontFace);
  app.dialogFont = MakeFont(kDialogFontHeight, kDialogFontFace);
  for (int i = 0; i < kShellBrushCount; ++i) app.brushes[i] = CreateSolidBrush(kBrushColors[i]);
}

void DeleteAppGdiObjects(AppState& app) {
  Delete(app.pluginWindowFont);
  Delete(app.dialogFont);
  for (HBRUSH__*& brush : app.brushes) Delete(brush);
}
