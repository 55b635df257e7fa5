#include "window_capture.h"

#include <windows.h>

#include <png.h>
#include <stdio.h>
#include <string.h>

WindowCapture CaptureWindow(HWND Window, int X, int Y, int Width, int Height)
{
    WindowCapture capture;
    if (Window == nullptr || Width < 1 || Height < 1)
        return capture;
    HDC windowDc = GetDC(Window);
    if (windowDc == nullptr)
        return capture;
    BITMAPINFO info;
    memset(&info, 0, sizeof(info));
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = Width;
    info.bmiHeader.biHeight = -Height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void *bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(windowDc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC memoryDc = CreateCompatibleDC(windowDc);
    if (bitmap != nullptr && memoryDc != nullptr) {
        HGDIOBJ old = SelectObject(memoryDc, bitmap);
        if (BitBlt(memoryDc, 0, 0, Width, Height, windowDc, X, Y, SRCCOPY)) {
            GdiFlush();
            capture.Width = Width;
            capture.Height = Height;
            capture.Pixels.assign((const uint32_t *)bits, (const uint32_t *)bits + (size_t)Width * Height);
            for (uint32_t &p : capture.Pixels)
                p &= 0xFFFFFF;
        }
        SelectObject(memoryDc, old);
    }
    if (memoryDc != nullptr)
        DeleteDC(memoryDc);
    if (bitmap != nullptr)
        DeleteObject(bitmap);
    ReleaseDC(Window, windowDc);
    return capture;
}

void PaintWindow(HWND Window, int X, int Y, int Width, int Height, uint32_t Color)
{
    HDC dc = GetDC(Window);
    if (dc == nullptr)
        return;
    HBRUSH brush = CreateSolidBrush(RGB((Color >> 16) & 0xFF, (Color >> 8) & 0xFF, Color & 0xFF));
    RECT rect = {X, Y, X + Width, Y + Height};
    FillRect(dc, &rect, brush);
    DeleteObject(brush);
    GdiFlush();
    ReleaseDC(Window, dc);
}

bool SaveCapturePng(const WindowCapture &Capture, const char *Path)
{
    if (Capture.Empty())
        return false;
    FILE *file = fopen(Path, "wb");
    if (file == nullptr)
        return false;
    std::vector<png_byte> rgb((size_t)Capture.Width * Capture.Height * 3);
    for (size_t i = 0; i < Capture.Pixels.size(); ++i) {
        rgb[3 * i] = (png_byte)(Capture.Pixels[i] >> 16);
        rgb[3 * i + 1] = (png_byte)(Capture.Pixels[i] >> 8);
        rgb[3 * i + 2] = (png_byte)Capture.Pixels[i];
    }
    png_image image;
    memset(&image, 0, sizeof(image));
    image.version = PNG_IMAGE_VERSION;
    image.width = Capture.Width;
    image.height = Capture.Height;
    image.format = PNG_FORMAT_RGB;
    const bool written = png_image_write_to_stdio(&image, file, 0, rgb.data(), 0, nullptr) != 0;
    return fclose(file) == 0 && written;
}
