#include "window_fixture.h"

#include "dialog/resource_ids.h"
#include "platform/win32/wide_text.h"

namespace talvek::test {

HACCEL loadTestAccelerators() {
  return ::LoadAcceleratorsW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_ACCELERATORS));
}

WindowTest::WindowTest() : accelerators(loadTestAccelerators()) {}

WindowTest::~WindowTest() {
  if (accelerators != nullptr) ::DestroyAcceleratorTable(accelerators);
}

std::unique_ptr<EncoderWindow> WindowTest::openWindow(DialogEnvironment environment) {
  SystemBoxes boxes;
  boxes.messageBox = [this](HWND, const std::wstring& text, const std::wstring& caption,
                            unsigned flags) {
    shown.push_back({utf8FromWide(text), utf8FromWide(caption), flags});
    if (answers.empty()) return IDOK;
    const int answer = answers.front();
    answers.pop_front();
    return answer;
  };
  boxes.fileDialog = [this](HWND, bool save, const FileDialogSpec& description) {
    fileDialogs.push_back({save, description});
    return fileAnswer;
  };
  boxes.openDocument = [this](HWND, const std::string& path) {
    opened.push_back(path);
    return openSucceeds;
  };
  boxes.about = [this](HWND) { ++aboutShown; };
  auto window = std::make_unique<EncoderWindow>(::GetModuleHandleW(nullptr), std::move(environment),
                                                accelerators, std::move(boxes));
  EXPECT_NE(window->handle(), nullptr);
  // What the dialog posted to itself at its start.
  pump(window.get());
  return window;
}

void WindowTest::pump(EncoderWindow* window) {
  MSG message;
  while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (window != nullptr && window->preTranslate(message)) continue;
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
}

void WindowTest::press(EncoderWindow& window, HWND target, UINT key, bool control) {
  BYTE keys[256] = {};
  ::GetKeyboardState(keys);
  if (control) {
    keys[VK_CONTROL] = 0x80;
    ::SetKeyboardState(keys);
  }
  for (const UINT message : {WM_KEYDOWN, WM_KEYUP}) {
    MSG event{};
    event.hwnd = target;
    event.message = message;
    event.wParam = key;
    event.lParam = message == WM_KEYUP ? static_cast<LPARAM>(0xC0000001) : 1;
    if (!window.preTranslate(event)) {
      ::TranslateMessage(&event);
      ::DispatchMessageW(&event);
    }
    pump(&window);
  }
  if (control) {
    keys[VK_CONTROL] = 0;
    ::SetKeyboardState(keys);
  }
}

std::string WindowTest::windowText(HWND window) {
  const int length = ::GetWindowTextLengthW(window);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  const int got = ::GetWindowTextW(window, text.data(), length + 1);
  return utf8FromWide(text.data(), static_cast<size_t>(got > 0 ? got : 0));
}

}  // namespace talvek::test
