// Pictures the program carries as resources: the JPEG logo, decoded by
// Windows' imaging component, and the BMP button pictures, drawn straight
// from their file bytes.
#pragma once

#include <windows.h>

#include <cstdint>
#include <span>

namespace platform {

// The bytes of an RCDATA resource of the running program.
std::span<const std::uint8_t> ResourceBytes(int id);

// Decodes a JPEG (or any picture WIC reads) into a 32-bit DIB section.
// The caller deletes the bitmap.
HBITMAP DecodePicture(std::span<const std::uint8_t> file);

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
