// Stands in for the GDI back end of fonts (zovuz/graphics/font/windows/font_gdi_win.cpp): the native
// build has no GDI, so only fonts from font data images can be made; a GDI font fails, as a face
// that cannot be had does, and the library falls back on its own font.
#include "zovuz/graphics/font/font_internal.h"

FontGDITestHooksData FontGDITestHooks;

int CFont(const FontCreateOptions *, FontHandleData *Font, int) { return Font->FromDataFlag ? 0 : -1; }
int DeleteFontHandleGDIFont(FontHandleData *) { return 0; }
int TerminateFontHandleGDI(FontHandleData *) { return 0; }
int SetupFontCacheDC(FontHandleData *) { return 0; }
int EndFontCacheDC(FontHandleData *) { return 0; }
int RenderGlyphGDI(FontHandleData *, FontCharData *, uint32_t, int) { return -1; }
int EnumInstalledFontFamilies(FontFamilyEnumData *, int, int) { return 0; }
int EnumFontFamilyNames(wchar_t *, int, const wchar_t *, int) { return 0; }
