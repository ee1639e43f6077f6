#include "winui/about_box.h"

#include <algorithm>

#include "dialog/resource_ids.h"
#include "winui/progress_box.h"

namespace talvek {
namespace {

// The picture shrunk to fit the frame, keeping its proportions, when the
// dialog font makes the frame smaller than the picture; null when it fits.
HBITMAP fittedPicture(HINSTANCE module, HWND frame) {
  HBITMAP art = static_cast<HBITMAP>(
      ::LoadImageW(module, MAKEINTRESOURCEW(IDB_ABOUT), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  if (art == nullptr) return nullptr;
  BITMAP size{};
  ::GetObjectW(art, sizeof size, &size);
  RECT room{};
  ::GetClientRect(frame, &room);
  // Inside the sunken edge.
  const int roomWidth = std::max<int>(1, room.right - 2);
  const int roomHeight = std::max<int>(1, room.bottom - 2);
  if (size.bmWidth <= roomWidth && size.bmHeight <= roomHeight) {
    ::DeleteObject(art);
    return nullptr;
  }
  const double scale = std::min(static_cast<double>(roomWidth) / size.bmWidth,
                                static_cast<double>(roomHeight) / size.bmHeight);
  const int width = std::max(1, static_cast<int>(size.bmWidth * scale));
  const int height = std::max(1, static_cast<int>(size.bmHeight * scale));

  HDC screen = ::GetDC(nullptr);
  HDC from = ::CreateCompatibleDC(screen);
  HDC to = ::CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP fitted = ::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (fitted != nullptr) {
    HGDIOBJ oldFrom = ::SelectObject(from, art);
    HGDIOBJ oldTo = ::SelectObject(to, fitted);
    ::SetStretchBltMode(to, HALFTONE);
    ::SetBrushOrgEx(to, 0, 0, nullptr);
    ::StretchBlt(to, 0, 0, width, height, from, 0, 0, size.bmWidth, size.bmHeight, SRCCOPY);
    ::SelectObject(from, oldFrom);
    ::SelectObject(to, oldTo);
  }
  ::DeleteDC(from);
  ::DeleteDC(to);
  ::ReleaseDC(nullptr, screen);
  ::DeleteObject(art);
  return fitted;
}

// The fitted picture, which the box deletes when it goes.
constexpr wchar_t kFittedProperty[] = L"TalvekFittedPicture";

INT_PTR CALLBACK aboutProc(HWND box, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      const auto module = reinterpret_cast<HINSTANCE>(lParam);
      if (HWND frame = aboutPicture(box)) {
        if (HBITMAP fitted = fittedPicture(module, frame)) {
          HBITMAP old = reinterpret_cast<HBITMAP>(
              ::SendMessageW(frame, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(fitted)));
          if (old != nullptr && old != fitted) ::DeleteObject(old);
          ::SetPropW(box, kFittedProperty, fitted);
        }
      }
      centreWindow(box, ::GetWindow(box, GW_OWNER));
      return TRUE;  // the focus goes to OK, the only tab stop
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
        // Made by createAboutBox, the box stays until its maker destroys it.
        ::EndDialog(box, LOWORD(wParam));
        return TRUE;
      }
      return FALSE;
    case WM_DESTROY:
      if (HANDLE fitted = ::RemovePropW(box, kFittedProperty)) {
        if (HWND frame = aboutPicture(box)) ::SendMessageW(frame, STM_SETIMAGE, IMAGE_BITMAP, 0);
        ::DeleteObject(fitted);
      }
      return FALSE;
    default:
      return FALSE;
  }
}

}  // namespace

HWND aboutPicture(HWND box) {
  for (HWND child = ::GetWindow(box, GW_CHILD); child != nullptr;
       child = ::GetWindow(child, GW_HWNDNEXT)) {
    if ((::GetWindowLongPtrW(child, GWL_STYLE) & SS_TYPEMASK) == SS_BITMAP) return child;
  }
  return nullptr;
}

void runAboutBox(HINSTANCE module, HWND owner) {
  ::DialogBoxParamW(module, MAKEINTRESOURCEW(IDD_ABOUTBOX), owner, aboutProc,
                    reinterpret_cast<LPARAM>(module));
}

HWND createAboutBox(HINSTANCE module, HWND owner) {
  HWND box = ::CreateDialogParamW(module, MAKEINTRESOURCEW(IDD_ABOUTBOX), owner, aboutProc,
                                  reinterpret_cast<LPARAM>(module));
  if (box != nullptr) ::ShowWindow(box, SW_SHOW);
  return box;
}

}  // namespace talvek
