// Writes the library's fallback glyphs (zovuz/graphics/font/font_fallback_glyphs.cpp): the printable
// ASCII characters drawn by GDI without anti-aliasing in "DejaVu Sans Mono" into 8 x 16 cells,
// one byte a row, the leftmost pixel in the top bit. Codes 0-31 and 127 stay empty.
// Run it under Wine (the build's wine-run) and redirect its output into that file.
#include <windows.h>

#include <stdio.h>

int wmain()
{
    const int width = 8, height = 16;
    HDC dc = CreateCompatibleDC(nullptr);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void *bits = nullptr;
    HBITMAP dib = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HFONT font = CreateFontW(-13, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, 0, 0, NONANTIALIASED_QUALITY,
                             FIXED_PITCH, L"DejaVu Sans Mono");
    SelectObject(dc, dib);
    SelectObject(dc, font);
    SetTextColor(dc, RGB(255, 255, 255));
    SetBkColor(dc, RGB(0, 0, 0));
    SetBkMode(dc, OPAQUE);
    TEXTMETRICW tm;
    GetTextMetricsW(dc, &tm);
    const int top = (height - tm.tmHeight) / 2;

    printf("// The fallback font's glyphs: 8 x 16 cells of codes 0-127, one byte a row, the leftmost pixel\n"
           "// in the top bit. Made by tools/fallback_font (GDI, \"DejaVu Sans Mono\", no anti-aliasing).\n"
           "#include \"zovuz/graphics/font/font_internal.h\"\n\n"
           "const uint8_t FallbackFontGlyphs[FONT_FALLBACK_CHAR_NUM][FONT_FALLBACK_CHAR_HEIGHT] = {\n");
    for (int code = 0; code < 128; ++code) {
        unsigned char rows[16] = {};
        if (code >= 32 && code < 127) {
            RECT all = {0, 0, width, height};
            FillRect(dc, &all, (HBRUSH)GetStockObject(BLACK_BRUSH));
            SIZE extent;
            wchar_t c = (wchar_t)code;
            GetTextExtentPoint32W(dc, &c, 1, &extent);
            TextOutW(dc, (width - extent.cx) / 2, top, &c, 1);
            GdiFlush();
            for (int y = 0; y < height; ++y)
                for (int x = 0; x < width; ++x)
                    if (((const unsigned *)bits)[y * width + x] & 0xFFFFFF)
                        rows[y] |= (unsigned char)(0x80 >> x);
        }
        printf("    {");
        for (int y = 0; y < height; ++y)
            printf("0x%02X%s", rows[y], y + 1 < height ? ", " : "");
        printf("},  // %d\n", code);
    }
    printf("};\n");
    return 0;
}
