// The platform's Win32 half below the job: what a file is and which one,
// the target a job replaces, sharing, locks, pipes, paths and texts.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "job/destination.h"
#include "job/journal.h"
#include "platform/charset.h"
#include "platform/file.h"
#include "platform/file_lock.h"
#include "platform/file_status.h"
#include "platform/target_file.h"
#include "platform/user_dirs.h"
#include "platform/win32/wide_text.h"
#include "temp_dir.h"
#include "windows_test_support.h"

namespace talvek {
namespace {

using test::readFile;
using test::TempDir;
using test::writeFile;

FileInfo infoOf(const std::string& path) {
  FileInfo info;
  EXPECT_TRUE(infoOfPath(path, true, &info).ok()) << path;
  return info;
}

TEST(Win32FileIdentity, TwoNamesOfOneFileAreOneFileAndACopyIsAnother) {
  TempDir dir;
  writeFile(dir.file("one"), "bytes");
  ASSERT_TRUE(::CreateHardLinkW(widePath(dir.file("two")).c_str(),
                                widePath(dir.file("one")).c_str(), nullptr));
  writeFile(dir.file("copy"), "bytes");
  EXPECT_EQ(infoOf(dir.file("one")).identity, infoOf(dir.file("two")).identity);
  EXPECT_NE(infoOf(dir.file("one")).identity, infoOf(dir.file("copy")).identity);
  EXPECT_EQ(infoOf(dir.file("one")).links, 2u);
  EXPECT_EQ(infoOf(dir.file("copy")).links, 1u);
  EXPECT_TRUE(sameFile(dir.file("one"), dir.path() + "\\two"));
  EXPECT_FALSE(sameFile(dir.file("one"), dir.file("copy")));
  EXPECT_FALSE(sameFile(dir.file("one"), dir.file("missing")));
  // Through an open handle too, whatever its access.
  File opened;
  ASSERT_TRUE(openForReading(dir.file("two"), &opened).ok());
  FileInfo info;
  ASSERT_TRUE(opened.info(&info).ok());
  EXPECT_EQ(info.identity, infoOf(dir.file("one")).identity);
  EXPECT_EQ(info.size, 5u);
  EXPECT_TRUE(info.regular);
}

TEST(Win32FileIdentity, WhatAPathIs) {
  TempDir dir;
  writeFile(dir.file("file"), "x");
  ASSERT_TRUE(::CreateDirectoryW(widePath(dir.file("folder")).c_str(), nullptr));
  EXPECT_TRUE(isRegularFile(dir.file("file")));
  EXPECT_FALSE(isRegularFile(dir.file("folder")));
  EXPECT_FALSE(isRegularFile(dir.file("missing")));
  EXPECT_TRUE(infoOf(dir.file("folder")).directory);
  // A device is no regular file, nor is it opened for a job.
  EXPECT_FALSE(isRegularFile("NUL"));
  File file;
  EXPECT_FALSE(openForReading("NUL", &file).ok());
  EXPECT_FALSE(openForReading(dir.file("folder"), &file).ok());
  EXPECT_TRUE(openForReading(dir.file("file"), &file).ok());
}

TEST(Win32File, ReadsAndWritesAtOffsetsWithoutASharedPosition) {
  TempDir dir;
  File file;
  ASSERT_TRUE(createNewFile(dir.file("f"), 0666, &file).ok());
  ASSERT_TRUE(file.writeAt(4, "4567", 4).ok());
  ASSERT_TRUE(file.writeAt(0, "0123", 4).ok());
  char buffer[16] = {};
  size_t got = 0;
  ASSERT_TRUE(file.readAt(2, buffer, sizeof buffer, &got).ok());
  EXPECT_EQ(std::string(buffer, got), "234567");
  ASSERT_TRUE(file.readAt(100, buffer, sizeof buffer, &got).ok());
  EXPECT_EQ(got, 0u);
  ASSERT_TRUE(file.truncate(3).ok());
  ASSERT_TRUE(file.sync().ok());
  ASSERT_TRUE(file.reserve(1 << 20).ok());  // wine cannot reserve: that is no failure
  const FileTime old{1000000000, 123456700};
  ASSERT_TRUE(file.setModified(old).ok());
  FileInfo info;
  ASSERT_TRUE(file.info(&info).ok());
  EXPECT_EQ(info.modified, old);
  EXPECT_EQ(info.permissions, 0666u);
  EXPECT_FALSE(file.mayBlock());
  file.reset();
  EXPECT_EQ(readFile(dir.file("f")).substr(0, 3), "012");
  EXPECT_EQ(createNewFile(dir.file("f"), 0666, &file).condition(), Condition::Exists);
}

TEST(Win32File, PermissionsAreTheReadOnlyAttribute) {
  TempDir dir;
  writeFile(dir.file("f"), "x");
  File file;
  ASSERT_TRUE(openExistingForWriting(dir.file("f"), &file).ok());
  ASSERT_TRUE(file.setPermissions(0444).ok());
  EXPECT_NE(::GetFileAttributesW(widePath(dir.file("f")).c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
  EXPECT_EQ(infoOf(dir.file("f")).permissions, 0444u);
  ASSERT_TRUE(file.setPermissions(0644).ok());
  EXPECT_EQ(::GetFileAttributesW(widePath(dir.file("f")).c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
  ASSERT_TRUE(file.setPermissions(0444).ok());
  file.reset();
  // A read-only file is made writable through a handle of its own.
  ASSERT_TRUE(openExistingForWriting(dir.file("f"), &file).ok());
  EXPECT_EQ(infoOf(dir.file("f")).permissions, 0666u);
  EXPECT_TRUE(file.writeAt(0, "y", 1).ok());
}

TEST(Win32File, TheSourceOfAJobIsSharedForReadingOnly) {
  TempDir dir;
  writeFile(dir.file("source"), "data");
  File source;
  ASSERT_TRUE(openForReading(dir.file("source"), &source).ok());
  const HANDLE reader = ::CreateFileW(widePath(dir.file("source")).c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_NE(reader, INVALID_HANDLE_VALUE) << "others may read it";
  if (reader != INVALID_HANDLE_VALUE) ::CloseHandle(reader);
  const HANDLE writer = ::CreateFileW(widePath(dir.file("source")).c_str(), GENERIC_WRITE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_EQ(writer, INVALID_HANDLE_VALUE) << "nobody may write it";
  EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  if (writer != INVALID_HANDLE_VALUE) ::CloseHandle(writer);
  // What it is can still be asked.
  EXPECT_TRUE(isRegularFile(dir.file("source")));
}

TEST(Win32FileLock, KeepsOutOtherLocksButNotReadsAndWrites) {
  TempDir dir;
  writeFile(dir.file("f"), "data");
  TargetFile target;
  ASSERT_TRUE(target.open(dir.file("f")).ok());
  File first;
  File second;
  ASSERT_TRUE(target.reopen(TargetFile::Access::Read, &first).ok());
  ASSERT_TRUE(target.reopen(TargetFile::Access::Write, &second).ok());
  ASSERT_TRUE(tryLockExclusive(first));
  EXPECT_FALSE(tryLockExclusive(second));
  EXPECT_EQ(lockExclusive(second, std::chrono::milliseconds(0)).condition(), Condition::Busy);
  EXPECT_EQ(lockExclusive(second, std::chrono::hours(1), [] { return false; }).condition(),
            Condition::Cancelled);
  // Windows' locks are mandatory on the bytes they cover: these cover none.
  EXPECT_TRUE(second.writeAt(0, "DATA", 4).ok());
  char buffer[4];
  size_t got = 0;
  EXPECT_TRUE(first.readAt(0, buffer, 4, &got).ok());
  EXPECT_EQ(std::string(buffer, got), "DATA");
  first.reset();
  EXPECT_TRUE(lockExclusive(second, std::chrono::milliseconds(0)).ok());
}

TEST(Win32TargetFile, ReopensOnlyTheFileThatWasChecked) {
  TempDir dir;
  writeFile(dir.file("target"), "old");
  TargetFile target;
  ASSERT_TRUE(target.open(dir.file("target")).ok());
  ASSERT_TRUE(target.isRegular());
  EXPECT_EQ(target.name(), "target");
  EXPECT_EQ(target.absolutePath(), test::backslashed(dir.file("target")));
  EXPECT_EQ(target.naming(), TargetFile::Naming::Checked);
  File file;
  EXPECT_TRUE(target.reopen(TargetFile::Access::Read, &file).ok());
  file.reset();

  // Replaced by another file under the same name.
  writeFile(dir.file("other"), "new");
  ASSERT_TRUE(::MoveFileExW(widePath(dir.file("other")).c_str(),
                            widePath(dir.file("target")).c_str(), MOVEFILE_REPLACE_EXISTING));
  EXPECT_EQ(target.naming(), TargetFile::Naming::Other);
  EXPECT_EQ(target.reopen(TargetFile::Access::Write, &file).condition(), Condition::Replaced);
  EXPECT_EQ(target.reopen(TargetFile::Access::Read, &file).condition(), Condition::Replaced);
  EXPECT_EQ(readFile(dir.file("target")), "new");

  // Removed.
  ASSERT_TRUE(removeFile(dir.file("target")));
  EXPECT_EQ(target.naming(), TargetFile::Naming::Nothing);
  EXPECT_FALSE(target.reopen(TargetFile::Access::Write, &file).ok());
}

TEST(Win32TargetFile, CreatesWhereNothingWasAndRemovesWhatItCreated) {
  TempDir dir;
  TargetFile target;
  ASSERT_TRUE(target.open(dir.file("new")).ok());
  EXPECT_FALSE(target.exists());
  EXPECT_EQ(target.naming(), TargetFile::Naming::Nothing);
  File file;
  ASSERT_TRUE(target.reopen(TargetFile::Access::CreateNew, &file, 0444).ok());
  EXPECT_EQ(target.reopen(TargetFile::Access::CreateNew, &file).condition(), Condition::Exists);
  file.reset();
  // Read-only as asked, and removed all the same.
  EXPECT_EQ(infoOf(dir.file("new")).permissions, 0444u);
  EXPECT_TRUE(target.removeCreated().ok());
  EXPECT_FALSE(test::pathExists(dir.file("new")));
}

struct CreatableCase {
  const char* name;
  DestinationState expected;
};

void PrintTo(const CreatableCase& c, std::ostream* out) {
  *out << c.name;
}

class Win32ProbeDestination : public ::testing::TestWithParam<CreatableCase> {};

TEST_P(Win32ProbeDestination, TellsWithoutLeavingAName) {
  TempDir dir;
  EXPECT_EQ(probeDestination(dir.file(GetParam().name)), GetParam().expected) << GetParam().name;
  EXPECT_EQ(test::entries(dir.path()), std::set<std::string>{});
}

// Names the system keeps as they are, and those it refuses or takes for a
// device. A trailing dot or space the system drops: such a name is the
// name without it.
INSTANTIATE_TEST_SUITE_P(Names, Win32ProbeDestination,
                         ::testing::Values(CreatableCase{"plain.tc", DestinationState::Creatable},
                                           CreatableCase{"m\xC3\xA4rz \xD0\xBF\xD0\xB0\xD1\x80.tc",
                                                         DestinationState::Creatable},
                                           CreatableCase{"trailing.", DestinationState::Creatable},
                                           CreatableCase{"CON", DestinationState::NotCreatable},
                                           CreatableCase{"nul.txt", DestinationState::NotCreatable},
                                           CreatableCase{"Com1", DestinationState::NotCreatable},
                                           CreatableCase{"a?b", DestinationState::NotCreatable},
                                           CreatableCase{"a|b", DestinationState::NotCreatable},
                                           CreatableCase{"a<b", DestinationState::NotCreatable},
                                           CreatableCase{"missing/name",
                                                         DestinationState::NotCreatable}),
                         [](const auto& info) { return "case" + std::to_string(info.index); });

TEST(Win32Pipe, StreamsReadAndWriteAndTellWhenTheOtherEndIsGone) {
  HANDLE readEnd = nullptr;
  HANDLE writeEnd = nullptr;
  ASSERT_TRUE(::CreatePipe(&readEnd, &writeEnd, nullptr, 0));
  File in(reinterpret_cast<NativeFile>(readEnd));
  File out(reinterpret_cast<NativeFile>(writeEnd));
  EXPECT_TRUE(in.mayBlock());
  EXPECT_TRUE(out.mayBlock());
  bool ready = true;
  ASSERT_TRUE(in.waitUntilReady(false, 60, &ready).ok());
  EXPECT_FALSE(ready) << "nothing to read yet";
  size_t written = 0;
  ASSERT_TRUE(out.write("ab\x1A\r\n", 5, &written).ok());
  EXPECT_EQ(written, 5u);
  ASSERT_TRUE(in.waitUntilReady(false, 60000, &ready).ok());
  EXPECT_TRUE(ready);
  char buffer[16];
  size_t got = 0;
  ASSERT_TRUE(in.read(buffer, sizeof buffer, &got).ok());
  EXPECT_EQ(std::string(buffer, got), "ab\x1A\r\n");
  // The writer gone: the end of the stream, at once.
  out.reset();
  ASSERT_TRUE(in.waitUntilReady(false, 60000, &ready).ok());
  EXPECT_TRUE(ready);
  ASSERT_TRUE(in.read(buffer, sizeof buffer, &got).ok());
  EXPECT_EQ(got, 0u);

  ASSERT_TRUE(::CreatePipe(&readEnd, &writeEnd, nullptr, 0));
  in.reset(reinterpret_cast<NativeFile>(readEnd));
  out.reset(reinterpret_cast<NativeFile>(writeEnd));
  in.reset();
  EXPECT_EQ(out.write("x", 1, &written).condition(), Condition::ReaderGone);
}

TEST(Win32Paths, ParentDirectoryKnowsBothSeparatorsAndRoots) {
  const std::pair<std::string, std::string> cases[] = {
      {"C:\\dir\\name", "C:\\dir"},
      {"C:/dir/name", "C:/dir"},
      {"C:\\name", "C:\\"},
      {"C:name", "C:"},
      {"name", "."},
      {"\\name", "\\"},
      {"dir/sub\\name", "dir/sub"},
      {"\\\\server\\share\\name", "\\\\server\\share"},
  };
  for (const auto& [path, parent] : cases) EXPECT_EQ(parentDirectory(path), parent) << path;
}

TEST(Win32Paths, WidePathsAreAbsoluteLongAndResolved) {
  TempDir dir;
  const std::string base = test::backslashed(dir.path());
  EXPECT_EQ(utf8FromWide(widePath(dir.path() + "/a/../b/./c")), "\\\\?\\" + base + "\\b\\c");
  EXPECT_EQ(utf8FromWide(widePath("\\\\?\\C:\\x")), "\\\\?\\C:\\x");
  EXPECT_EQ(utf8FromWide(widePath("\\\\server\\share\\x")), "\\\\?\\UNC\\server\\share\\x");
  EXPECT_EQ(absolutePathOf(dir.path() + "/x"), base + "\\x");
  // A name far beyond MAX_PATH works where the long form is used.
  std::string deep = dir.path();
  for (int i = 0; i < 12; ++i) {
    deep += "/" + std::string(40, static_cast<char>('a' + i));
    ASSERT_TRUE(::CreateDirectoryW(widePath(deep).c_str(), nullptr)) << deep.size();
  }
  File file;
  ASSERT_TRUE(createNewFile(deep + "/file", 0666, &file).ok()) << deep.size();
  ASSERT_TRUE(file.writeAt(0, "far", 3).ok());
  file.reset();
  FileInfo info;
  EXPECT_TRUE(infoOfPath(deep + "/file", true, &info).ok());
  EXPECT_EQ(info.size, 3u);
}

struct CharsetCase {
  const char* text;
  const char* from;
  const char* to;
  CharsetConversion result;
  const char* converted;
};

TEST(Win32Charset, CodePagesByTheirNamesAndNumbers) {
  const CharsetCase cases[] = {
      {"p\xC3\xA4sswort", "UTF-8", "WINDOWS-1252", CharsetConversion::Done, "p\xE4sswort"},
      {"p\xC3\xA4sswort", "UTF-8", "CP1252", CharsetConversion::Done, "p\xE4sswort"},
      {"p\xC3\xA4sswort", "UTF-8", "1252", CharsetConversion::Done, "p\xE4sswort"},
      {"\xE2\x82\xAC", "UTF-8", "windows-1252", CharsetConversion::Done, "\x80"},
      {"\xD0\xBF\xD0\xB0\xD1\x80\xD0\xBE\xD0\xBB\xD1\x8C", "UTF-8", "WINDOWS-1251",
       CharsetConversion::Done, "\xEF\xE0\xF0\xEE\xEB\xFC"},
      {"\xEF\xE0\xF0\xEE\xEB\xFC", "CP1251", "UTF-8", CharsetConversion::Done,
       "\xD0\xBF\xD0\xB0\xD1\x80\xD0\xBE\xD0\xBB\xD1\x8C"},
      {"caf\xC3\xA9", "UTF-8", "ISO-8859-1", CharsetConversion::Done, "caf\xE9"},
      {"", "UTF-8", "CP1252", CharsetConversion::Done, ""},
      // No best fit: "ā" does not become "a", nor "日" a "?".
      {"\xC4\x81", "UTF-8", "WINDOWS-1252", CharsetConversion::NotRepresentable, ""},
      {"\xE6\x97\xA5", "UTF-8", "CP1252", CharsetConversion::NotRepresentable, ""},
      {"caf\xE9", "UTF-8", "CP1252", CharsetConversion::NotRepresentable, ""},
      {"ab", "UTF-8", "NO-SUCH-CHARSET", CharsetConversion::UnknownCharset, ""},
      {"ab", "CP99999", "UTF-8", CharsetConversion::UnknownCharset, ""},
  };
  for (const CharsetCase& c : cases) {
    std::string out = "kept";
    EXPECT_EQ(convertCharset(c.text, c.from, c.to, out), c.result) << c.from << " > " << c.to;
    EXPECT_EQ(out, c.result == CharsetConversion::Done ? c.converted : "kept") << c.to;
  }
  EXPECT_TRUE(charsetConversionAvailable("UTF-8", "CP1252"));
  EXPECT_FALSE(charsetConversionAvailable("UTF-8", "NO-SUCH-CHARSET"));
  // The system's ANSI code page, by the name the conversions take.
  const std::string locale = localeCharset();
  EXPECT_EQ(locale, ::GetACP() == CP_UTF8 ? "UTF-8" : "CP" + std::to_string(::GetACP()));
  EXPECT_TRUE(charsetConversionAvailable("UTF-8", locale));
}

TEST(Win32UserDirs, JournalsAreKeptUnderTheLocalApplicationData) {
  TempDir dir;
  const test::StateHomeOverride local(dir.file("local"));
  EXPECT_EQ(stateHome(), dir.file("local"));
  EXPECT_EQ(journalDirectory(), dir.file("local") + "/Brellam/Talvek");
  EXPECT_EQ(splitSearchPath("C:\\a;relative;;\\\\s\\x;D:/b"),
            (std::vector<std::string>{"C:\\a", "\\\\s\\x", "D:/b"}));
}

}  // namespace
}  // namespace talvek
