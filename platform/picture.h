// Pictures the program carries as resources: the logo, a BMP file packed
// with LZNT1 (which Windows unpacks without the imaging component), and the
// BMP button pictures, drawn straight from their file bytes.
#pragma once

#include <windows.h>

#include <cstdint>
#include <span>

namespace platform {

// The bytes of an RCDATA resource of the running program.
std::span<const std::uint8_t> ResourceBytes(int id);

// Unpacks a packed BMP (its length, 4 bytes, then the file in LZNT1) into
// a DIB section. Throws a Failure if the bytes are damaged; the caller
// deletes the bitmap.
HBITMAP UnpackPicture(std::span<const std::uint8_t> packed);

// A view of a complete BMP file (file header, info header, pixels).
struct BmpView {
    const BITMAPINFO* info = nullptr;
    const void* bits = nullptr;
    int width = 0;
    int height = 0;
};
// Throws a Failure if the bytes are not a BMP file the program can draw.
BmpView ViewBmp(std::span<const std::uint8_t> file);
// Draws the picture unscaled with its top-left corner at x, y.
void DrawBmp(HDC dc, const BmpView& bmp, int x, int y);

}  // namespace platform
