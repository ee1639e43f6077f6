#include "settings/posix/desktop_export.h"

#include <cerrno>
#include <chrono>
#include <string_view>

#include "platform/executable_path.h"
#include "platform/file_status.h"
#include "settings/posix/desktop_entry.h"
#include "settings/posix/file_replace.h"
#include "settings/posix/quiet_command.h"
#include "platform/user_dirs.h"

namespace talvek {

namespace {

// The database tools take well under a second on a user's own directory.
constexpr std::chrono::milliseconds kToolLimit(5000);

// Desktop files are UTF-8 without control characters; a path that is not
// cannot be named in one.
bool fitsDesktopFile(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x20 || c == 0x7f) return false;
    std::size_t length = 1;
    if (c >= 0xf0 && c <= 0xf4) {
      length = 4;
    } else if (c >= 0xe0) {
      length = c <= 0xef ? 3 : 0;
    } else if (c >= 0xc2) {
      length = 2;
    } else if (c >= 0x80) {
      length = 0;
    }
    if (length == 0 || i + length > text.size()) return false;
    for (std::size_t k = 1; k < length; ++k) {
      if ((static_cast<unsigned char>(text[i + k]) & 0xc0) != 0x80) return false;
    }
    // Overlong forms, surrogates and code points past U+10FFFF.
    const auto second = static_cast<unsigned char>(text[i + (length > 1 ? 1 : 0)]);
    if ((c == 0xe0 && second < 0xa0) || (c == 0xed && second >= 0xa0) ||
        (c == 0xf0 && second < 0x90) || (c == 0xf4 && second >= 0x90)) {
      return false;
    }
    i += length;
  }
  return true;
}

void note(DesktopExportResult& result, ReplaceOutcome outcome) {
  if (outcome == ReplaceOutcome::Written) result.changed = true;
  if (outcome == ReplaceOutcome::Failed) result.complete = false;
}

// Desktop entries are a few hundred bytes; anything far larger is not one.
constexpr std::size_t kEntryLimit = 64 * 1024;

// The entry as earlier versions wrote it, around the Exec key's program.
constexpr char kEntryHead[] =
    "[Desktop Entry]\n"
    "Type=Application\n"
    "Name=Talvek\n"
    "GenericName=File Encoder\n"
    "Comment=Encode and decode files with a password or a Morva~Key\n"
    "Exec=";
constexpr char kEntryTail[] =
    " %f\n"
    "Icon=talvek\n"
    "Terminal=false\n"
    "Categories=Utility;Security;\n"
    "MimeType=application/x-talvek-encoded;\n"
    "Keywords=encode;decode;password;key;\n";
// Marks the entries this program writes, so that it removes only its own.
constexpr char kOwnMarker[] = "X-Talvek-Per-User=true";
// What earlier versions named the per-user entry.
constexpr char kLegacyEntryName[] = "talvek.desktop";

std::string entryBody(const std::string& execArgument) {
  return kEntryHead + execArgument + kEntryTail;
}

std::string withoutTrailingSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

// Removes the entry at path if this program wrote it. Unchanged when there is
// none or it is someone else's.
ReplaceOutcome removeOwnEntry(const std::string& path) {
  std::string text;
  if (!readSmallFile(path, kEntryLimit, /*followLink=*/false, &text) || !isOwnDesktopEntry(text)) {
    return ReplaceOutcome::Unchanged;
  }
  return removeFile(path) ? ReplaceOutcome::Written : ReplaceOutcome::Failed;
}

}  // namespace

std::string mimePackageXml() {
  // *.mk weighs less than the default of 50 that other packages give it
  // (Makefile fragments), so key files are recognised only where nothing
  // else claims them.
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
         "  <mime-type type=\"application/x-talvek-encoded\">\n"
         "    <comment>Talvek Encoded File</comment>\n"
         "    <icon name=\"application-x-talvek-encoded\"/>\n"
         "    <glob pattern=\"*.tc\"/>\n"
         "  </mime-type>\n"
         "  <mime-type type=\"application/x-morva-key\">\n"
         "    <comment>Key File</comment>\n"
         "    <sub-class-of type=\"text/plain\"/>\n"
         "    <icon name=\"application-x-morva-key\"/>\n"
         "    <glob pattern=\"*.mk\" weight=\"40\"/>\n"
         "  </mime-type>\n"
         "</mime-info>\n";
}

std::string desktopExecArgument(const std::string& argument) {
  constexpr std::string_view kReserved = " \t\n\"'\\><~|&;$*?#()`";
  std::string quoted;
  const bool quote = argument.empty() || argument.find_first_of(kReserved) != std::string::npos;
  if (quote) quoted += '"';
  for (char c : argument) {
    if (c == '%') {
      quoted += "%%";
      continue;
    }
    // Inside quotes these four take a backslash; the string escaping of the
    // file then doubles every backslash once more.
    if (quote && (c == '"' || c == '`' || c == '$' || c == '\\')) quoted += "\\\\";
    quoted += c == '\\' ? std::string("\\\\") : std::string(1, c);
  }
  if (quote) quoted += '"';
  return quoted;
}

std::string desktopEntry(const std::string& executablePath) {
  return "# Written by Talvek for this user. An installed Talvek's own entry takes\n"
         "# its place: the program then removes this one.\n" +
         entryBody(desktopExecArgument(executablePath)) + kOwnMarker + "\n";
}

bool isOwnDesktopEntry(const std::string& text) {
  if (text.find("\n" + std::string(kOwnMarker) + "\n") != std::string::npos) return true;
  // Earlier versions wrote the body alone, under the name talvek.desktop.
  const std::string_view head = kEntryHead;
  const std::string_view tail = kEntryTail;
  if (text.size() <= head.size() + tail.size() || text.compare(0, head.size(), head) != 0 ||
      text.compare(text.size() - tail.size(), tail.size(), tail) != 0 ||
      text.find('\n', head.size()) != text.size() - tail.size() + 3) {
    return false;
  }
  const std::string program = execProgram(text);
  const std::size_t slash = program.rfind('/');
  return slash != std::string::npos && program.compare(slash + 1, std::string::npos, "talvek") == 0;
}

std::string installedDesktopEntry(const DesktopExport& target) {
  const std::string home = withoutTrailingSlashes(target.dataHome);
  for (const std::string& dir : target.dataDirs) {
    const std::string base = withoutTrailingSlashes(dir);
    if (base == home) continue;
    const std::string path = base + "/applications/" + kDesktopFileId + ".desktop";
    std::string text;
    if (!readSmallFile(path, kEntryLimit, /*followLink=*/true, &text)) {
      if (errno == ENOENT || errno == ENOTDIR) continue;
      return {};
    }
    // The desktop takes the first one it finds, whether it works or not.
    return findProgram(execProgram(text), target.searchPath).empty() ? std::string() : path;
  }
  return {};
}

DesktopExport defaultDesktopExport() {
  return {dataHome(), executablePath(), talvekIcons(), true, dataDirs(), commandSearchPath()};
}

DesktopExportResult exportDesktopAssociation(const DesktopExport& target) {
  DesktopExportResult result;
  if (target.dataHome.empty() || target.dataHome[0] != '/') {
    result.complete = false;
    return result;
  }
  const std::string& base = target.dataHome;

  const ReplaceOutcome mime =
      replaceFileIfDifferent(base + "/mime/packages/talvek.xml", mimePackageXml());
  note(result, mime);

  // An installed Talvek's entry already opens encoded files; one here would
  // hide it, and hand double-click to whichever binary ran last.
  const std::string applications = base + "/applications/";
  const std::string entryPath = applications + kDesktopFileId + ".desktop";
  ReplaceOutcome entry = ReplaceOutcome::Failed;
  if (!installedDesktopEntry(target).empty()) {
    entry = removeOwnEntry(entryPath);
  } else if (!target.executablePath.empty() && target.executablePath[0] == '/' &&
             fitsDesktopFile(target.executablePath)) {
    entry = replaceFileIfDifferent(entryPath, desktopEntry(target.executablePath));
  }
  note(result, entry);
  const ReplaceOutcome legacy = removeOwnEntry(applications + kLegacyEntryName);
  note(result, legacy);

  for (const ThemeIcon& icon : target.icons) {
    const std::string size = std::to_string(icon.size);
    note(result, replaceFileIfDifferent(base + "/icons/hicolor/" + size + "x" + size + "/" +
                                            std::string(icon.context) + "/" +
                                            std::string(icon.name) + ".png",
                                        icon.png));
  }

  if (target.refreshDatabases) {
    if (mime == ReplaceOutcome::Written) {
      runQuietly({"update-mime-database", base + "/mime"}, kToolLimit);
    }
    if (entry == ReplaceOutcome::Written || legacy == ReplaceOutcome::Written) {
      runQuietly({"update-desktop-database", base + "/applications"}, kToolLimit);
    }
  }
  return result;
}

}  // namespace talvek
