// The desktop's copy of the association: MIME package, desktop entry, icons.
#include "settings/desktop_export.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>

#include "platform/executable_path.h"
#include "settings/options_store.h"
#include "settings/user_dirs.h"
#include "settings_test_env.h"
#include "temp_dir.h"

namespace talvek {
namespace {

using test::haveTool;
using test::namesStartingWith;
using test::pathExists;
using test::readFile;
using test::runCommand;
using test::writeFile;

constexpr char kProgram[] = "/opt/talvek/bin/talvek";

std::uint32_t bigEndian32(const std::string& bytes, std::size_t at) {
  std::uint32_t n = 0;
  for (std::size_t i = 0; i < 4; ++i) n = (n << 8) | static_cast<unsigned char>(bytes[at + i]);
  return n;
}

class DesktopExportTest : public test::SettingsTest {
 protected:
  DesktopExport target(std::string executable = kProgram, bool refresh = false) {
    return {dataHome(), std::move(executable), talvekIcons(), refresh};
  }
  std::string data(const std::string& relative) const { return dataHome() + "/" + relative; }
};

TEST_F(DesktopExportTest, DataHomeFollowsXdg) {
  EXPECT_EQ(talvek::dataHome(), dataHome());
  env_.unset("XDG_DATA_HOME");
  EXPECT_EQ(talvek::dataHome(), temp_.path() + "/home/.local/share");
}

TEST_F(DesktopExportTest, DefaultTargetIsThisProgramForThisUser) {
  const DesktopExport defaults = defaultDesktopExport();
  EXPECT_EQ(defaults.dataHome, dataHome());
  // The running test program, by its absolute path.
  EXPECT_EQ(defaults.executablePath, executablePath());
  ASSERT_FALSE(defaults.executablePath.empty());
  EXPECT_EQ(defaults.executablePath[0], '/');
  EXPECT_EQ(defaults.executablePath, executableDirectory() + "settings_tests");
  EXPECT_EQ(defaults.icons.size(), talvekIcons().size());
}

TEST_F(DesktopExportTest, BuiltInIconsArePngsOfTheirSize) {
  const auto icons = talvekIcons();
  ASSERT_EQ(icons.size(), 9u);
  int perName[3] = {};
  for (const ThemeIcon& icon : icons) {
    SCOPED_TRACE(std::string(icon.name) + " " + std::to_string(icon.size));
    ASSERT_GE(icon.png.size(), 24u);
    EXPECT_EQ(icon.png.substr(0, 8), std::string_view("\x89PNG\r\n\x1a\n", 8));
    EXPECT_EQ(icon.png.substr(12, 4), "IHDR");
    const std::string header(icon.png.substr(0, 24));
    EXPECT_EQ(bigEndian32(header, 16), static_cast<std::uint32_t>(icon.size));
    EXPECT_EQ(bigEndian32(header, 20), static_cast<std::uint32_t>(icon.size));
    if (icon.name == "talvek" && icon.context == "apps") ++perName[0];
    if (icon.name == "application-x-talvek-encoded" && icon.context == "mimetypes") ++perName[1];
    if (icon.name == "application-x-morva-key" && icon.context == "mimetypes") ++perName[2];
  }
  EXPECT_EQ(perName[0], 3);
  EXPECT_EQ(perName[1], 3);
  EXPECT_EQ(perName[2], 3);
}

TEST_F(DesktopExportTest, WritesPackageEntryAndIconsOnceOnly) {
  const DesktopExportResult first = exportDesktopAssociation(target());
  EXPECT_TRUE(first.complete);
  EXPECT_TRUE(first.changed);
  EXPECT_EQ(readFile(data("mime/packages/talvek.xml")), mimePackageXml());
  const std::string entry = readFile(data("applications/talvek.desktop"));
  EXPECT_NE(entry.find("\nExec=/opt/talvek/bin/talvek %f\n"), std::string::npos) << entry;
  EXPECT_NE(entry.find("\nMimeType=application/x-talvek-encoded;\n"), std::string::npos);
  EXPECT_NE(entry.find("\nName=Talvek\n"), std::string::npos);
  EXPECT_NE(entry.find("\nIcon=talvek\n"), std::string::npos);
  for (const ThemeIcon& icon : talvekIcons()) {
    const std::string size = std::to_string(icon.size);
    EXPECT_EQ(readFile(data("icons/hicolor/" + size + "x" + size + "/" + std::string(icon.context) +
                            "/" + std::string(icon.name) + ".png")),
              icon.png);
  }

  const DesktopExportResult second = exportDesktopAssociation(target());
  EXPECT_TRUE(second.complete);
  EXPECT_FALSE(second.changed);

  // A moved program gets a new entry, and only that changes.
  const DesktopExportResult moved = exportDesktopAssociation(target("/usr/local/bin/talvek"));
  EXPECT_TRUE(moved.changed);
  EXPECT_NE(readFile(data("applications/talvek.desktop")).find("\nExec=/usr/local/bin/talvek %f\n"),
            std::string::npos);
  // No temporary file is left behind.
  EXPECT_EQ(namesStartingWith(data("applications"), "talvek.desktop").size(), 1u);
  EXPECT_EQ(namesStartingWith(data("mime/packages"), "talvek.xml").size(), 1u);
}

TEST_F(DesktopExportTest, LeavesOtherApplicationsFilesAlone) {
  const std::string other = "[Desktop Entry]\nType=Application\nName=Other\nExec=other %f\n";
  const std::string otherMime = "<?xml version=\"1.0\"?>\n<mime-info/>\n";
  ASSERT_TRUE(exportDesktopAssociation(target()).complete);
  writeFile(data("applications/other.desktop"), other);
  writeFile(data("mime/packages/other.xml"), otherMime);
  writeFile(data("applications/talvek.desktop"), "stale");

  const DesktopExportResult result = exportDesktopAssociation(target());
  EXPECT_TRUE(result.changed);
  EXPECT_EQ(readFile(data("applications/other.desktop")), other);
  EXPECT_EQ(readFile(data("mime/packages/other.xml")), otherMime);
  EXPECT_EQ(readFile(data("applications/talvek.desktop")), desktopEntry(kProgram));
}

TEST_F(DesktopExportTest, ExecQuotesAndEscapesThePath) {
  EXPECT_EQ(desktopExecArgument("/usr/bin/talvek"), "/usr/bin/talvek");
  EXPECT_EQ(desktopExecArgument("/home/a b/talvek"), "\"/home/a b/talvek\"");
  EXPECT_EQ(desktopExecArgument("/x/100%/talvek"), "/x/100%%/talvek");
  // Quoting escapes ", `, $ and \ with a backslash, and the file's string
  // escaping then doubles every backslash.
  EXPECT_EQ(desktopExecArgument("/x/$a\"b`c\\d"), "\"/x/\\\\$a\\\\\"b\\\\`c\\\\\\\\d\"");
}

TEST_F(DesktopExportTest, PathThatNoDesktopFileCanHoldIsLeftOut) {
  for (const std::string& path : {std::string("/opt/t\xe4lvek/talvek"), std::string("/opt/a\nb"),
                                  std::string("bin/talvek"), std::string()}) {
    const DesktopExportResult result = exportDesktopAssociation(target(path));
    EXPECT_FALSE(result.complete);
    EXPECT_FALSE(pathExists(data("applications/talvek.desktop")));
  }
  EXPECT_TRUE(pathExists(data("mime/packages/talvek.xml")));
  EXPECT_TRUE(exportDesktopAssociation(target("/opt/t\xc3\xa4lvek/talvek")).complete);
}

TEST_F(DesktopExportTest, EntryPassesTheValidator) {
  if (!haveTool("desktop-file-validate")) GTEST_SKIP() << "desktop-file-validate not installed";
  for (const char* program : {kProgram, "/home/user/My Programs/tal$vek\\x/talvek 100%"}) {
    SCOPED_TRACE(program);
    ASSERT_TRUE(exportDesktopAssociation(target(program)).complete);
    const auto check =
        runCommand("desktop-file-validate '" + data("applications/talvek.desktop") + "' 2>&1");
    EXPECT_EQ(check.status, 0) << check.output;
    EXPECT_EQ(check.output.find("error"), std::string::npos) << check.output;
  }
}

TEST_F(DesktopExportTest, DatabasesAreRefreshedOnlyAfterAChange) {
  if (!haveTool("update-mime-database") || !haveTool("update-desktop-database")) {
    GTEST_SKIP() << "shared-mime-info or desktop-file-utils not installed";
  }
  ASSERT_TRUE(exportDesktopAssociation(target(kProgram, true)).complete);
  EXPECT_NE(readFile(data("mime/globs2")).find("application/x-talvek-encoded:*.tc"),
            std::string::npos);
  EXPECT_TRUE(pathExists(data("mime/application/x-morva-key.xml")));
  EXPECT_NE(readFile(data("applications/mimeinfo.cache"))
                .find("application/x-talvek-encoded=talvek.desktop;"),
            std::string::npos);

  // Nothing changed, so nothing is rebuilt.
  std::remove(data("mime/globs2").c_str());
  std::remove(data("applications/mimeinfo.cache").c_str());
  EXPECT_FALSE(exportDesktopAssociation(target(kProgram, true)).changed);
  EXPECT_FALSE(pathExists(data("mime/globs2")));
  EXPECT_FALSE(pathExists(data("applications/mimeinfo.cache")));
}

TEST_F(DesktopExportTest, EncodedFileResolvesToItsType) {
  if (!haveTool("update-mime-database") || !haveTool("xdg-mime")) {
    GTEST_SKIP() << "shared-mime-info or xdg-utils not installed";
  }
  // The generic lookup, whatever desktop the machine runs.
  for (const char* name : {"XDG_CURRENT_DESKTOP", "DESKTOP_SESSION", "KDE_FULL_SESSION",
                           "GNOME_DESKTOP_SESSION_ID", "XDG_SESSION_DESKTOP"}) {
    env_.unset(name);
  }
  ASSERT_TRUE(exportDesktopAssociation(target(kProgram, true)).complete);
  writeFile(temp_.path() + "/secret.tc", std::string("\x01\x93\xfe\x20", 4));
  const auto query =
      runCommand("xdg-mime query filetype '" + temp_.path() + "/secret.tc' 2>/dev/null");
  if (query.status != 0 || query.output.empty()) {
    GTEST_SKIP() << "xdg-mime cannot resolve file types here";
  }
  EXPECT_EQ(query.output, "application/x-talvek-encoded\n");
}

TEST_F(DesktopExportTest, MkGlobWeighsLessThanOtherPackages) {
  // shared-mime-info's default weight, which its own *.mk glob carries.
  constexpr int kDefaultWeight = 50;
  const std::string mine = mimePackageXml();
  const std::size_t glob = mine.find("<glob pattern=\"*.mk\" weight=\"");
  ASSERT_NE(glob, std::string::npos) << mine;
  EXPECT_LT(std::stoi(mine.substr(glob + 29)), kDefaultWeight);
  EXPECT_NE(mine.find("<glob pattern=\"*.tc\"/>"), std::string::npos);

  const char* system = "/usr/share/mime/packages/freedesktop.org.xml";
  if (!pathExists(system)) GTEST_SKIP() << "shared-mime-info not installed";
  const std::string theirs = readFile(system);
  const std::size_t makefile = theirs.find("<glob pattern=\"*.mk\"");
  ASSERT_NE(makefile, std::string::npos);
  const std::string tag = theirs.substr(makefile, theirs.find('>', makefile) - makefile);
  EXPECT_EQ(tag.find("weight"), std::string::npos) << tag;  // the default, then
}

TEST_F(DesktopExportTest, MkFilesKeepTheTypeOthersGiveThem) {
  if (!haveTool("update-mime-database")) GTEST_SKIP() << "shared-mime-info not installed";
  const bool gio = haveTool("gio");
  const bool mimetype = haveTool("mimetype");
  if (!gio && !mimetype) GTEST_SKIP() << "neither gio nor mimetype installed";
  env_.set("GIO_USE_VFS", "local");
  ASSERT_TRUE(exportDesktopAssociation(target(kProgram, true)).complete);
  writeFile(temp_.path() + "/rules.mk", "CFLAGS += -O2\n");
  std::filesystem::create_directories(temp_.path() + "/empty");
  // With shared-mime-info's database the Makefile type stays; without any
  // other claim, the file is a key file.
  const std::pair<std::string, std::string> cases[] = {
      {"/usr/share", "text/x-makefile"}, {temp_.path() + "/empty", "application/x-morva-key"}};
  for (const auto& [dirs, expected] : cases) {
    if (dirs == "/usr/share" && !pathExists("/usr/share/mime/mime.cache")) continue;
    SCOPED_TRACE(dirs);
    env_.set("XDG_DATA_DIRS", dirs);
    const std::string file = "'" + temp_.path() + "/rules.mk'";
    if (gio) {
      EXPECT_EQ(runCommand("gio info -a standard::content-type " + file +
                           " 2>/dev/null | "
                           "sed -n 's/^ *standard::content-type: //p'")
                    .output,
                expected + "\n");
    }
    if (mimetype) {
      EXPECT_EQ(runCommand("mimetype -b " + file).output, expected + "\n");
    }
  }
}

TEST_F(DesktopExportTest, OptionsStoreExportsWithEveryRegistration) {
  RegistryAccess registry(storePath());
  OptionsStore options(registry, "talvek", target());
  options.loadOptType();
  EXPECT_EQ(readFile(data("applications/talvek.desktop")), desktopEntry(kProgram));
  EXPECT_TRUE(pathExists(data("icons/hicolor/48x48/apps/talvek.png")));
  std::remove(data("mime/packages/talvek.xml").c_str());
  options.saveOptType(true);
  EXPECT_EQ(readFile(data("mime/packages/talvek.xml")), mimePackageXml());
}

}  // namespace
}  // namespace talvek
