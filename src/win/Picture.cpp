#include "win/Picture.h"

#include <wincodec.h>

namespace kestrane {

namespace {

template <class T>
struct ComPtr {
    T* p = nullptr;
    ~ComPtr() {
        if (p) p->Release();
    }
    T** operator&() { return &p; }
    T* operator->() const { return p; }
};

}  // namespace

void Picture::Clear() {
    if (bitmap_) DeleteObject(bitmap_);
    bitmap_ = nullptr;
    width_ = height_ = 0;
}

bool Picture::Load(const std::wstring& path) {
    Clear();
    // COM may already be initialised on this thread (S_FALSE) or in another mode; both are fine for WIC.
    HRESULT init = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    bool ok = false;
    {
        ComPtr<IWICImagingFactory> factory;
        ComPtr<IWICBitmapDecoder> decoder;
        ComPtr<IWICBitmapFrameDecode> frame;
        ComPtr<IWICFormatConverter> converter;
        UINT w = 0, h = 0;
        if (SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                       IID_IWICImagingFactory, reinterpret_cast<void**>(&factory))) &&
            SUCCEEDED(factory->CreateDecoderFromFilename(path.c_str(), nullptr, GENERIC_READ,
                                                         WICDecodeMetadataCacheOnDemand, &decoder)) &&
            SUCCEEDED(decoder->GetFrame(0, &frame)) && SUCCEEDED(factory->CreateFormatConverter(&converter)) &&
            SUCCEEDED(converter->Initialize(frame.p, GUID_WICPixelFormat32bppBGR, WICBitmapDitherTypeNone, nullptr,
                                            0.0, WICBitmapPaletteTypeCustom)) &&
            SUCCEEDED(converter->GetSize(&w, &h)) && w > 0 && h > 0) {
            BITMAPINFO bi{};
            bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
            bi.bmiHeader.biWidth = static_cast<LONG>(w);
            bi.bmiHeader.biHeight = -static_cast<LONG>(h);  // top-down rows, as WIC gives them
            bi.bmiHeader.biPlanes = 1;
            bi.bmiHeader.biBitCount = 32;
            bi.bmiHeader.biCompression = BI_RGB;
            void* bits = nullptr;
            HBITMAP bitmap = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
            if (bitmap && SUCCEEDED(converter->CopyPixels(nullptr, w * 4, w * 4 * h, static_cast<BYTE*>(bits)))) {
                bitmap_ = bitmap;
                width_ = static_cast<int>(w);
                height_ = static_cast<int>(h);
                ok = true;
            } else if (bitmap) {
                DeleteObject(bitmap);
            }
        }
    }
    if (SUCCEEDED(init)) CoUninitialize();
    return ok;
}

void Picture::Draw(HDC dc, const RECT& area, UINT dpi) const {
    if (!bitmap_) return;
    HDC memory = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(memory, bitmap_);
    if (dpi == 96 || dpi == 0) {
        BitBlt(dc, area.left, area.top, width_, height_, memory, 0, 0, SRCCOPY);
    } else {
        int previous = SetStretchBltMode(dc, HALFTONE);
        SetBrushOrgEx(dc, 0, 0, nullptr);
        StretchBlt(dc, area.left, area.top, MulDiv(width_, static_cast<int>(dpi), 96),
                   MulDiv(height_, static_cast<int>(dpi), 96), memory, 0, 0, width_, height_, SRCCOPY);
        SetStretchBltMode(dc, previous);
    }
    SelectObject(memory, old);
    DeleteDC(memory);
}

void Picture::PaintBackground(HWND window, HDC dc, UINT dpi) const {
    RECT client;
    GetClientRect(window, &client);
    FillRect(dc, &client, GetSysColorBrush(COLOR_ACTIVEBORDER));
    Draw(dc, client, dpi);
}

}  // namespace kestrane
