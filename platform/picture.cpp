#include "platform/picture.h"

#include <vector>

#include "platform/failure.h"
#include "platform/scoped_handle.h"
#include "platform/system_library.h"

namespace platform {

namespace {
Failure NotAPicture() { return Failure(ERROR_INVALID_DATA, L"Not a picture the program can show"); }

// Rows of a 24-bit BMP are padded to whole 4-byte words.
std::size_t RowBytes(int width) { return (static_cast<std::size_t>(width) * 3 + 3) & ~std::size_t{3}; }
}  // namespace

std::span<const std::uint8_t> ResourceBytes(int id) {
    const std::wstring what = L"Picture " + std::to_wstring(id);
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(10) /* RT_RCDATA */);
    if (found == nullptr)
        ThrowLastError(what);
    HGLOBAL loaded = LoadResource(module, found);
    if (loaded == nullptr)
        ThrowLastError(what);
    // Resources stay mapped with the module, so the bytes outlive this call.
    const void* bytes = LockResource(loaded);
    DWORD size = SizeofResource(module, found);
    // Windows does not always set an error code here.
    if (bytes == nullptr || size == 0)
        throw Failure(ERROR_RESOURCE_DATA_NOT_FOUND, what + L": " + SystemErrorText(ERROR_RESOURCE_DATA_NOT_FOUND));
    return {static_cast<const std::uint8_t*>(bytes), size};
}

HBITMAP UnpackPicture(std::span<const std::uint8_t> packed) {
    std::uint32_t size = 0;
    if (packed.size() <= sizeof(size))
        throw NotAPicture();
    memcpy(&size, packed.data(), sizeof(size));
    // A picture far beyond the logo's size is a damaged resource.
    if (size > 16 * 1024 * 1024)
        throw NotAPicture();
    using DecompressFn = LONG(WINAPI*)(USHORT, PUCHAR, ULONG, PUCHAR, ULONG, PULONG);
    static const auto decompress = SystemFunction<DecompressFn>(L"ntdll.dll", "RtlDecompressBuffer");
    constexpr USHORT kLznt1 = 2;  // COMPRESSION_FORMAT_LZNT1
    std::vector<std::uint8_t> file(size);
    ULONG unpacked = 0;
    LONG status = decompress(kLznt1, file.data(), size, const_cast<PUCHAR>(packed.data() + sizeof(size)),
                             static_cast<ULONG>(packed.size() - sizeof(size)), &unpacked);
    if (status < 0 || unpacked != size)
        throw NotAPicture();
    BmpView bmp = ViewBmp(file);
    void* bits = nullptr;
    ScopedGdi<HBITMAP> bitmap(CreateDIBSection(nullptr, bmp.info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!bitmap)
        ThrowLastError(L"Picture bitmap");
    memcpy(bits, bmp.bits, RowBytes(bmp.width) * bmp.height);
    return bitmap.Release();
}

BmpView ViewBmp(std::span<const std::uint8_t> file) {
    if (file.size() < sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER) || file[0] != 'B' || file[1] != 'M')
        throw NotAPicture();
    BITMAPFILEHEADER header;
    memcpy(&header, file.data(), sizeof(header));
    BmpView view;
    view.info = reinterpret_cast<const BITMAPINFO*>(file.data() + sizeof(BITMAPFILEHEADER));
    const BITMAPINFOHEADER& info = view.info->bmiHeader;
    if (info.biSize != sizeof(BITMAPINFOHEADER) || info.biBitCount != 24 || info.biCompression != BI_RGB ||
        info.biWidth <= 0 || info.biHeight <= 0)
        throw NotAPicture();
    if (header.bfOffBits > file.size() || file.size() - header.bfOffBits < RowBytes(info.biWidth) * info.biHeight)
        throw NotAPicture();
    view.bits = file.data() + header.bfOffBits;
    view.width = info.biWidth;
    view.height = info.biHeight;
    return view;
}

void DrawBmp(HDC dc, const BmpView& bmp, int x, int y) {
    SetDIBitsToDevice(dc, x, y, static_cast<DWORD>(bmp.width), static_cast<DWORD>(bmp.height), 0, 0, 0,
                      static_cast<UINT>(bmp.height), bmp.bits, bmp.info, DIB_RGB_COLORS);
}

}  // namespace platform
