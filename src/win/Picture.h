// A background picture decoded once (JPEG and the other formats WIC knows), painted at its own size.
#pragma once

#include <windows.h>

#include <string>

namespace kestrane {

class Picture {
public:
    Picture() = default;
    ~Picture() { Clear(); }
    Picture(const Picture&) = delete;
    Picture& operator=(const Picture&) = delete;

    // Replaces the picture by the file's; on failure the picture is left empty and false returned.
    bool Load(const std::wstring& path);
    void Clear();
    bool Empty() const { return bitmap_ == nullptr; }
    // Paints the picture from the top left corner of `area`, at its own size when `dpi` is 96 and grown
    // with the DPI otherwise (so that it covers as much of a scaled window); does nothing when empty.
    void Draw(HDC dc, const RECT& area, UINT dpi = 96) const;

    // The background of a window: its client area in the colour of window frames, the picture over it.
    void PaintBackground(HWND window, HDC dc, UINT dpi) const;

private:
    HBITMAP bitmap_ = nullptr;
    int width_ = 0;
    int height_ = 0;
};

}  // namespace kestrane
