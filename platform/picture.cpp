#include "platform/picture.h"

#include <wincodec.h>

#include "platform/failure.h"
#include "platform/scoped_handle.h"

namespace platform {

namespace {
void Check(HRESULT hr, const wchar_t* what) {
    if (FAILED(hr))
        throw Failure(static_cast<long>(hr), std::wstring(what) + L": " + SystemErrorText(static_cast<long>(hr)));
}
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

HBITMAP DecodePicture(std::span<const std::uint8_t> file) {
    // The apartment outlives every interface below, which are released first.
    ComApartment com;
    ComPtr<IWICImagingFactory> factory;
    ComPtr<IWICStream> stream;
    ComPtr<IWICBitmapDecoder> decoder;
    ComPtr<IWICBitmapFrameDecode> frame;
    ComPtr<IWICFormatConverter> converter;
    Check(com.Failed(), L"Imaging component");
    Check(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                           factory.PutVoid()),
          L"Imaging component");
    Check(factory->CreateStream(stream.Put()), L"Picture stream");
    Check(stream->InitializeFromMemory(const_cast<BYTE*>(file.data()), static_cast<DWORD>(file.size())),
          L"Picture stream");
    Check(factory->CreateDecoderFromStream(stream.Get(), nullptr, WICDecodeMetadataCacheOnDemand, decoder.Put()),
          L"Picture decoder");
    Check(decoder->GetFrame(0, frame.Put()), L"Picture frame");
    Check(factory->CreateFormatConverter(converter.Put()), L"Picture converter");
    Check(converter->Initialize(frame.Get(), GUID_WICPixelFormat32bppBGR, WICBitmapDitherTypeNone, nullptr, 0.0,
                                WICBitmapPaletteTypeCustom),
          L"Picture converter");
    UINT width = 0, height = 0;
    Check(converter->GetSize(&width, &height), L"Picture size");
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = static_cast<LONG>(width);
    info.bmiHeader.biHeight = -static_cast<LONG>(height);
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    ScopedGdi<HBITMAP> bitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!bitmap)
        ThrowLastError(L"Picture bitmap");
    Check(converter->CopyPixels(nullptr, width * 4, width * height * 4, static_cast<BYTE*>(bits)), L"Picture pixels");
    return bitmap.Release();
}

BmpView ViewBmp(std::span<const std::uint8_t> file) {
    const auto bad = [] { return Failure(ERROR_INVALID_DATA, L"Not a picture the program can show"); };
    if (file.size() < sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER) || file[0] != 'B' || file[1] != 'M')
        throw bad();
    BITMAPFILEHEADER header;
    memcpy(&header, file.data(), sizeof(header));
    BmpView view;
    view.info = reinterpret_cast<const BITMAPINFO*>(file.data() + sizeof(BITMAPFILEHEADER));
    const BITMAPINFOHEADER& info = view.info->bmiHeader;
    if (info.biSize != sizeof(BITMAPINFOHEADER) || info.biBitCount != 24 || info.biCompression != BI_RGB ||
        info.biWidth <= 0 || info.biHeight <= 0)
        throw bad();
    std::size_t rowBytes = (static_cast<std::size_t>(info.biWidth) * 3 + 3) & ~std::size_t{3};
    if (header.bfOffBits > file.size() || file.size() - header.bfOffBits < rowBytes * info.biHeight)
        throw bad();
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
