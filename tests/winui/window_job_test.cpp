// Long jobs in the Win32 window: on a thread of their own, under a disabled
// main dialog whose input is dropped, with the progress box and its three
// ways to stop, a failure's reason, and the session's end.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "dialog/dialog_texts.h"
#include "dialog/job_failure_text.h"
#include "dialog/option_storage.h"
#include "dialog/resource_ids.h"
#include "temp_dir.h"
#include "window_fixture.h"
#include "winui/winui_ids.h"

namespace talvek::test {
namespace {

// What the progress box of the dialog's thread is: a visible window owned
// by the main dialog.
struct BoxSearch {
  HWND owner;
  HWND found = nullptr;
};

HWND progressBoxOf(HWND mainDialog) {
  BoxSearch search{mainDialog};
  ::EnumThreadWindows(
      ::GetWindowThreadProcessId(mainDialog, nullptr),
      [](HWND window, LPARAM data) -> BOOL {
        auto* search = reinterpret_cast<BoxSearch*>(data);
        if (::GetWindow(window, GW_OWNER) != search->owner || !::IsWindowVisible(window))
          return TRUE;
        search->found = window;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::string textOf(HWND window) {
  wchar_t text[512] = {};
  ::GetWindowTextW(window, text, 512);
  std::string out;
  for (const wchar_t* c = text; *c != 0; ++c) out += static_cast<char>(*c < 0x80 ? *c : '?');
  return out;
}

class RecordedOptions : public OptionStorage {
 public:
  int loadOptType() override { return IDC_USE_PASSWORD; }
  void saveOptType(bool passwordChecked) override { saved.push_back(passwordChecked); }
  std::vector<bool> saved;
};

class WindowJobTest : public WindowTest {
 protected:
  WindowJobTest() : tmp_(home_.file("tmp")) {
    writeFile(home_.file("in.txt"), "some bytes");
  }

  std::unique_ptr<EncoderWindow> readyWindow() {
    auto window = openWindow(DialogEnvironment{&options_, home_.path(), ""});
    window->setControlText(IDC_SOURCE, home_.file("in.txt"));
    window->setControlText(IDC_DESTINATION, home_.file("out.tc"));
    window->setControlText(IDC_PASSWORD1, "pw");
    window->setControlText(IDC_PASSWORD2, "pw");
    return window;
  }

  TempDir home_;
  TmpdirOverride tmp_;
  RecordedOptions options_;
};

// A job that runs until it is asked to stop, reading the box on the way
// and asking for the stop in one way.
struct StopWay {
  const char* name;
  std::function<void(HWND box)> ask;
};

class ProgressBoxTest : public WindowJobTest, public ::testing::WithParamInterface<StopWay> {};

TEST_P(ProgressBoxTest, ALongJobShowsItsProgressAndStopsWithoutAWarning) {
  auto window = readyWindow();
  ::SetFocus(item(*window, IDC_PASSWORD2));
  HWND dialog = window->handle();
  std::string caption, file, percent, stopping;
  bool mainEnabled = true, cancelEnabled = false, cancelAfter = true, stopped = false;
  window->dialog().setTransformJob([&](std::string, std::string, std::string key, bool encode, bool,
                                       JobReport* report, const JobProgress& progress) {
    EXPECT_EQ(key, "pw");
    EXPECT_TRUE(encode);
    HWND box = nullptr;
    bool asked = false;
    // Bounded, so a box that never comes fails the test instead of hanging it.
    for (int step = 0; step < 6000; ++step) {
      if (!progress(static_cast<uint64_t>(step % 100), 100)) {
        stopped = true;
        break;
      }
      if (box == nullptr && (box = progressBoxOf(dialog)) != nullptr) {
        mainEnabled = ::IsWindowEnabled(dialog) != FALSE;
        cancelEnabled = ::IsWindowEnabled(::GetDlgItem(box, IDCANCEL)) != FALSE;
        caption = textOf(box);
        file = textOf(::GetDlgItem(box, IDC_PROGRESS_FILE));
        percent = textOf(::GetDlgItem(box, IDC_PROGRESS_PERCENT));
      }
      if (box != nullptr && !asked) {
        asked = true;
        GetParam().ask(box);
      }
      ::Sleep(10);
    }
    if (box != nullptr) {
      cancelAfter = ::IsWindowEnabled(::GetDlgItem(box, IDCANCEL)) != FALSE;
      stopping = textOf(::GetDlgItem(box, IDC_PROGRESS_TIME_LEFT));
    }
    report->failure = stopped ? JobFailure::Stopped : JobFailure::WriteFailed;
    return false;
  });
  ::PostMessageW(dialog, WM_COMMAND, ID_TASK_ENCODE, 0);
  pump(window.get());

  EXPECT_TRUE(stopped);
  EXPECT_FALSE(mainEnabled);
  EXPECT_TRUE(cancelEnabled);
  EXPECT_FALSE(cancelAfter);
  EXPECT_EQ(caption, "Encoding");
  EXPECT_EQ(file, "in.txt");
  EXPECT_NE(percent.find('%'), std::string::npos) << percent;
  EXPECT_EQ(stopping, "Stopping...");
  // The user asked for the stop: no warning.
  EXPECT_TRUE(shown.empty());
  EXPECT_TRUE(::IsWindowEnabled(dialog));
  EXPECT_EQ(progressBoxOf(dialog), nullptr);
  EXPECT_EQ(::GetFocus(), item(*window, IDC_PASSWORD2));
}

const StopWay kStopWays[] = {
    {"Cancel", [](HWND box) { ::PostMessageW(box, WM_COMMAND, IDCANCEL, 0); }},
    {"Esc",
     [](HWND box) { ::PostMessageW(::GetDlgItem(box, IDCANCEL), WM_KEYDOWN, VK_ESCAPE, 1); }},
    {"CloseBox", [](HWND box) { ::PostMessageW(box, WM_SYSCOMMAND, SC_CLOSE, 0); }},
};

INSTANTIATE_TEST_SUITE_P(Ways, ProgressBoxTest, ::testing::ValuesIn(kStopWays),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(WindowJobTest, WhatTheUserDoesDuringAJobIsDroppedNotKeptForAfter) {
  auto window = readyWindow();
  HWND dialog = window->handle();
  HWND source = item(*window, IDC_SOURCE);
  int jobs = 0;
  window->dialog().setTransformJob([&](std::string, std::string, std::string, bool, bool,
                                       JobReport*, const JobProgress& progress) {
    ++jobs;
    ::PostMessageW(source, WM_CHAR, 'x', 1);
    ::PostMessageW(source, WM_KEYDOWN, VK_F8, 1);
    ::PostMessageW(dialog, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    for (int step = 0; step < 5; ++step) {
      progress(static_cast<uint64_t>(step), 5);
      ::Sleep(20);
    }
    return true;
  });
  ::PostMessageW(dialog, WM_COMMAND, IDC_ENCODE, 0);
  pump(window.get());
  EXPECT_EQ(jobs, 1);
  EXPECT_EQ(window->controlText(IDC_SOURCE), home_.file("in.txt"));
  EXPECT_TRUE(shown.empty());
}

TEST_F(WindowJobTest, APasswordIsUsedAsTheBytesOfTheSystemsAnsiCodePage) {
  auto window = readyWindow();
  // "pä" as the code page writes it; a code page without the letter refuses
  // the password rather than make another key of it.
  const std::wstring typed = L"p\u00E4";
  char ansi[8] = {};
  BOOL lost = FALSE;
  const int size = ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, typed.c_str(), 2, ansi,
                                         sizeof ansi, nullptr, &lost);
  ASSERT_GT(size, 0);
  std::string key;
  window->dialog().setTransformJob([&](std::string, std::string, std::string keyText, bool, bool,
                                       JobReport*, const JobProgress&) {
    key = keyText;
    return true;
  });
  window->setControlText(IDC_PASSWORD1, "p\xC3\xA4");
  window->setControlText(IDC_PASSWORD2, "p\xC3\xA4");
  ::SendMessageW(window->handle(), WM_COMMAND, IDC_ENCODE, 0);
  if (lost) {
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text.rfind(kPasswordNotConvertible, 0), 0u) << shown[0].text;
  } else {
    EXPECT_TRUE(shown.empty());
    EXPECT_EQ(key, std::string(ansi, static_cast<size_t>(size)));
  }
}

TEST_F(WindowJobTest, AFailedJobSaysWhy) {
  auto window = readyWindow();
  JobReport failure;
  failure.failure = JobFailure::WriteFailed;
  failure.path = home_.file("out.tc");
  failure.why = Status::failure("write", home_.file("out.tc"), static_cast<int>(ERROR_DISK_FULL));
  window->dialog().setTransformJob([&](std::string, std::string, std::string, bool, bool,
                                       JobReport* report, const JobProgress&) {
    *report = failure;
    return false;
  });
  ::SendMessageW(window->handle(), WM_COMMAND, ID_TASK_DECODE, 0);
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].text, jobFailureText(failure));
  EXPECT_EQ(shown[0].caption, kWarningCaption);
  EXPECT_EQ(shown[0].flags, MB_OK | MB_ICONEXCLAMATION);
}

TEST_F(WindowJobTest, TheSessionsEndStopsARunningJobAndStoresTheOption) {
  auto window = readyWindow();
  HWND dialog = window->handle();
  std::thread session;
  std::atomic<LRESULT> query{0};
  bool stopped = false;
  window->dialog().setTransformJob([&](std::string, std::string, std::string, bool, bool,
                                       JobReport* report, const JobProgress& progress) {
    // As the system asks every top-level window, from outside.
    session = std::thread([&] { query = ::SendMessageW(dialog, WM_QUERYENDSESSION, 0, 0); });
    for (int step = 0; step < 6000 && !stopped; ++step) {
      stopped = !progress(static_cast<uint64_t>(step), 6000);
      ::Sleep(10);
    }
    report->failure = JobFailure::Stopped;
    return false;
  });
  ::SendMessageW(dialog, WM_COMMAND, ID_TASK_ENCODE, 0);
  session.join();
  EXPECT_TRUE(stopped);
  EXPECT_EQ(query.load(), TRUE);
  EXPECT_TRUE(shown.empty());
  EXPECT_TRUE(options_.saved.empty());
  ::SendMessageW(dialog, WM_ENDSESSION, TRUE, 0);
  EXPECT_EQ(options_.saved, std::vector<bool>{true});
}

}  // namespace
}  // namespace talvek::test
