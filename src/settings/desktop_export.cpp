#include "settings/desktop_export.h"

#include <chrono>
#include <string_view>

#include "platform/executable_path.h"
#include "settings/file_replace.h"
#include "settings/quiet_command.h"
#include "settings/user_dirs.h"

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
  return "[Desktop Entry]\n"
         "Type=Application\n"
         "Name=Talvek\n"
         "GenericName=File Encoder\n"
         "Comment=Encode and decode files with a password or a Morva~Key\n"
         "Exec=" +
         desktopExecArgument(executablePath) +
         " %f\n"
         "Icon=talvek\n"
         "Terminal=false\n"
         "Categories=Utility;Security;\n"
         "MimeType=application/x-talvek-encoded;\n"
         "Keywords=encode;decode;password;key;\n";
}

DesktopExport defaultDesktopExport() {
  return {dataHome(), executablePath(), talvekIcons(), true};
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

  ReplaceOutcome entry = ReplaceOutcome::Failed;
  if (!target.executablePath.empty() && target.executablePath[0] == '/' &&
      fitsDesktopFile(target.executablePath)) {
    entry = replaceFileIfDifferent(base + "/applications/talvek.desktop",
                                   desktopEntry(target.executablePath));
  }
  note(result, entry);

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
    if (entry == ReplaceOutcome::Written) {
      runQuietly({"update-desktop-database", base + "/applications"}, kToolLimit);
    }
  }
  return result;
}

}  // namespace talvek
