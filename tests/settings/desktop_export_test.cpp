// The desktop's copy of the association: MIME package, desktop entry, icons.
#include "settings/posix/desktop_export.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "platform/executable_path.h"
#include "settings/posix/desktop_entry.h"
#include "settings/options_store.h"
#include "platform/user_dirs.h"
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
  // Two system data directories, as /usr/local/share and /usr/share, and a
  // command path, all empty until a test installs something there.
  DesktopExport target(std::string executable = kProgram, bool refresh = false) {
    return {dataHome(), std::move(executable),  talvekIcons(),
            refresh,    {system(0), system(1)}, {temp_.path() + "/bin"}};
  }
  std::string system(int which) const {
    return temp_.path() + (which == 0 ? "/usr-local-share" : "/usr-share");
  }
  std::string data(const std::string& relative) const { return dataHome() + "/" + relative; }
};

TEST_F(DesktopExportTest, DataHomeFollowsXdg) {
  EXPECT_EQ(talvek::dataHome(), dataHome());
  env_.unset("XDG_DATA_HOME");
  EXPECT_EQ(talvek::dataHome(), temp_.path() + "/home/.local/share");

  using Dirs = std::vector<std::string>;
  const Dirs standard = {"/usr/local/share", "/usr/share"};
  const std::pair<const char*, Dirs> cases[] = {
      {"/opt/share:relative::/usr/share/", {"/opt/share", "/usr/share/"}},
      {"", standard},
      {"relative", standard},
      {nullptr, standard},
  };
  for (const auto& [value, expected] : cases) {
    if (value == nullptr) {
      env_.unset("XDG_DATA_DIRS");
    } else {
      env_.set("XDG_DATA_DIRS", value);
    }
    EXPECT_EQ(dataDirs(), expected) << (value ? value : "(unset)");
  }
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
  EXPECT_EQ(defaults.dataDirs, std::vector<std::string>({"/usr/local/share", "/usr/share"}));
  EXPECT_EQ(defaults.searchPath, commandSearchPath());
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
  const std::string entry = readFile(data("applications/com.brellam.Talvek.desktop"));
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
  EXPECT_NE(readFile(data("applications/com.brellam.Talvek.desktop"))
                .find("\nExec=/usr/local/bin/talvek %f\n"),
            std::string::npos);
  // No temporary file is left behind.
  EXPECT_EQ(namesStartingWith(data("applications"), "com.brellam.Talvek.desktop").size(), 1u);
  EXPECT_EQ(namesStartingWith(data("mime/packages"), "talvek.xml").size(), 1u);
}

TEST_F(DesktopExportTest, LeavesOtherApplicationsFilesAlone) {
  const std::string other = "[Desktop Entry]\nType=Application\nName=Other\nExec=other %f\n";
  const std::string otherMime = "<?xml version=\"1.0\"?>\n<mime-info/>\n";
  ASSERT_TRUE(exportDesktopAssociation(target()).complete);
  writeFile(data("applications/other.desktop"), other);
  writeFile(data("mime/packages/other.xml"), otherMime);
  writeFile(data("applications/com.brellam.Talvek.desktop"), "stale");

  const DesktopExportResult result = exportDesktopAssociation(target());
  EXPECT_TRUE(result.changed);
  EXPECT_EQ(readFile(data("applications/other.desktop")), other);
  EXPECT_EQ(readFile(data("mime/packages/other.xml")), otherMime);
  EXPECT_EQ(readFile(data("applications/com.brellam.Talvek.desktop")), desktopEntry(kProgram));
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
    EXPECT_FALSE(pathExists(data("applications/com.brellam.Talvek.desktop")));
  }
  EXPECT_TRUE(pathExists(data("mime/packages/talvek.xml")));
  EXPECT_TRUE(exportDesktopAssociation(target("/opt/t\xc3\xa4lvek/talvek")).complete);
}

TEST_F(DesktopExportTest, EntryPassesTheValidator) {
  if (!haveTool("desktop-file-validate")) GTEST_SKIP() << "desktop-file-validate not installed";
  for (const char* program : {kProgram, "/home/user/My Programs/tal$vek\\x/talvek 100%"}) {
    SCOPED_TRACE(program);
    ASSERT_TRUE(exportDesktopAssociation(target(program)).complete);
    const auto check = runCommand("desktop-file-validate '" +
                                  data("applications/com.brellam.Talvek.desktop") + "' 2>&1");
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
                .find("application/x-talvek-encoded=com.brellam.Talvek.desktop;"),
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

// What versions before the desktop file ID wrote, as talvek.desktop.
std::string legacyEntry(const std::string& exec) {
  return "[Desktop Entry]\nType=Application\nName=Talvek\nGenericName=File Encoder\n"
         "Comment=Encode and decode files with a password or a Morva~Key\nExec=" +
         exec +
         " %f\nIcon=talvek\nTerminal=false\nCategories=Utility;Security;\n"
         "MimeType=application/x-talvek-encoded;\nKeywords=encode;decode;password;key;\n";
}

void makeProgram(const std::string& path) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  writeFile(path, "#!/bin/sh\n");
  ::chmod(path.c_str(), 0755);
}

void writeEntry(const std::string& path, const std::string& text) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  writeFile(path, text);
}

TEST_F(DesktopExportTest, PerUserEntryOnlyWhereNoInstalledOneStartsAProgram) {
  const std::string installed = temp_.path() + "/usr/bin/talvek";
  const std::string onPath = temp_.path() + "/bin/talvek";
  const std::string buildTree = temp_.path() + "/src/build/bin/talvek";
  makeProgram(installed);
  makeProgram(onPath);
  makeProgram(buildTree);
  const std::string userEntry = data("applications/com.brellam.Talvek.desktop");
  const std::string legacy = data("applications/talvek.desktop");
  struct Case {
    const char* name;
    std::string running;
    int systemDir;     // where the installed entry is; -1 for none
    std::string exec;  // its Exec program
    bool perUser;      // a per-user entry is expected afterwards
  };
  const Case cases[] = {
      {"the installed program runs, its entry found on PATH", onPath, 1, "talvek", false},
      {"the installed program runs, named by its path", installed, 0, installed, false},
      {"a build tree runs beside an installed program", buildTree, 1, installed, false},
      {"nothing installed", buildTree, -1, "", true},
      {"the installed entry's program is gone", buildTree, 0, temp_.path() + "/gone/talvek", true},
      {"the installed entry names no program on PATH", installed, 1, "talvek-missing", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove_all(system(0));
    std::filesystem::remove_all(system(1));
    if (c.systemDir >= 0) {
      writeEntry(system(c.systemDir) + "/applications/com.brellam.Talvek.desktop",
                 "[Desktop Entry]\nType=Application\nName=Talvek\nExec=" + c.exec + " %f\n");
    }
    // What earlier runs left: this version's entry for another binary, and
    // an earlier version's.
    writeEntry(userEntry, desktopEntry("/home/u/old-build/bin/talvek"));
    writeEntry(legacy, legacyEntry("/usr/local/bin/talvek"));

    const DesktopExportResult result = exportDesktopAssociation(target(c.running));
    EXPECT_TRUE(result.complete);
    EXPECT_TRUE(result.changed);
    EXPECT_FALSE(pathExists(legacy));
    if (c.perUser) {
      EXPECT_EQ(readFile(userEntry), desktopEntry(c.running));
    } else {
      EXPECT_FALSE(pathExists(userEntry));
    }
    EXPECT_EQ(installedDesktopEntry(target(c.running)).empty(), c.perUser);
    // The rest of the association is the same either way.
    EXPECT_EQ(readFile(data("mime/packages/talvek.xml")), mimePackageXml());
    EXPECT_FALSE(exportDesktopAssociation(target(c.running)).changed);
  }
}

// A data home that is also listed among the system's directories, spelled
// with a trailing slash, holds the per-user entry, not an installed one.
TEST_F(DesktopExportTest, DataHomeAmongTheSystemDirectoriesIsNoInstall) {
  const std::string program = temp_.path() + "/usr/bin/talvek";
  makeProgram(program);
  DesktopExport listed = target(program);
  listed.dataDirs = {dataHome() + "/", system(1)};
  const std::string userEntry = data("applications/com.brellam.Talvek.desktop");
  ASSERT_TRUE(exportDesktopAssociation(listed).complete);
  EXPECT_EQ(readFile(userEntry), desktopEntry(program));
  EXPECT_EQ(installedDesktopEntry(listed), "");
  EXPECT_FALSE(exportDesktopAssociation(listed).changed);
  EXPECT_EQ(readFile(userEntry), desktopEntry(program));
}

TEST_F(DesktopExportTest, EntriesThisProgramDidNotWriteStay) {
  const std::string installed = temp_.path() + "/usr/bin/talvek";
  makeProgram(installed);
  writeEntry(system(1) + "/applications/com.brellam.Talvek.desktop",
             "[Desktop Entry]\nType=Application\nName=Talvek\nExec=" + installed + " %f\n");
  const std::string userEntry = data("applications/com.brellam.Talvek.desktop");
  const std::string legacy = data("applications/talvek.desktop");
  const std::string edited = legacyEntry("/usr/local/bin/talvek") + "NoDisplay=true\n";
  const std::string otherProgram = legacyEntry("/usr/bin/other-talvek");
  std::string perUserWithoutMarker = desktopEntry(installed);
  perUserWithoutMarker.erase(perUserWithoutMarker.find("X-Talvek-Per-User=true\n"));
  ASSERT_TRUE(exportDesktopAssociation(target(installed)).complete);
  for (const std::string& text : {edited, otherProgram, perUserWithoutMarker}) {
    writeEntry(userEntry, text);
    writeEntry(legacy, text);
    EXPECT_FALSE(isOwnDesktopEntry(text)) << text;
    const DesktopExportResult result = exportDesktopAssociation(target(installed));
    EXPECT_TRUE(result.complete);
    EXPECT_FALSE(result.changed);
    EXPECT_EQ(readFile(userEntry), text);
    EXPECT_EQ(readFile(legacy), text);
  }
  // A link to an entry of ours is the user's doing, not ours.
  std::remove(userEntry.c_str());
  writeEntry(data("own.desktop"), desktopEntry(installed));
  ASSERT_EQ(::symlink(data("own.desktop").c_str(), userEntry.c_str()), 0);
  exportDesktopAssociation(target(installed));
  EXPECT_TRUE(pathExists(userEntry));
  // The installed entry itself is never ours, whatever it says.
  EXPECT_FALSE(isOwnDesktopEntry(
      readFile(std::string(TALVEK_SOURCE_DIR) + "/resources/com.brellam.Talvek.desktop")));
}

TEST_F(DesktopExportTest, ExecProgramReadsBackWhatTheEntryNames) {
  for (const std::string& path : {std::string(kProgram), std::string("/home/a b/talvek"),
                                  std::string("/x/100%/t$a\"l`v\\ek"), std::string("/t\\s")}) {
    EXPECT_EQ(execProgram(desktopEntry(path)), path);
  }
  EXPECT_EQ(execProgram("[Desktop Entry]\nExec = talvek-cli --x %f\n"), "talvek-cli");
  EXPECT_EQ(execProgram("[Desktop Action a]\nExec=other\n[Desktop Entry]\nExec=talvek\n"),
            "talvek");
  EXPECT_EQ(execProgram("[Other]\nExec=other\n"), "");
  EXPECT_EQ(execProgram("[Desktop Entry]\nExec=\"/open quote\n"), "");
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

TEST_F(DesktopExportTest, InstalledFilesMatchThePerUserOnes) {
  const std::string resources = std::string(TALVEK_SOURCE_DIR) + "/resources/";
  std::string mime = readFile(resources + "talvek-mime.xml");
  const std::size_t comment = mime.find("<!--");
  ASSERT_NE(comment, std::string::npos);
  mime.erase(comment, mime.find("-->\n") + 4 - comment);
  EXPECT_EQ(mime, mimePackageXml());

  // The per-user entry without its comment and marker, started through PATH.
  std::string entry = desktopEntry("/usr/bin/talvek");
  entry.erase(0, entry.find("[Desktop Entry]"));
  entry.erase(entry.find("X-Talvek-Per-User=true\n"));
  entry.replace(entry.find("Exec=/usr/bin/talvek"), 20, "Exec=talvek");
  EXPECT_EQ(readFile(resources + "com.brellam.Talvek.desktop"), entry);
}

TEST_F(DesktopExportTest, OptionsStoreExportsWithEveryRegistration) {
  RegistryAccess registry(storePath());
  OptionsStore options(registry, "talvek",
                       [target = target()] { exportDesktopAssociation(target); });
  options.loadOptType();
  EXPECT_EQ(readFile(data("applications/com.brellam.Talvek.desktop")), desktopEntry(kProgram));
  EXPECT_TRUE(pathExists(data("icons/hicolor/48x48/apps/talvek.png")));
  std::remove(data("mime/packages/talvek.xml").c_str());
  options.saveOptType(true);
  EXPECT_EQ(readFile(data("mime/packages/talvek.xml")), mimePackageXml());
}

}  // namespace
}  // namespace talvek
