#include "cli/name_quoting.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <optional>
#include <sstream>
#include <string>

#include "cli/terminal_window.h"

namespace talvek {
namespace {

// What bash makes of `quoted` as one word, or nullopt if it did not run.
std::optional<std::string> readByBash(const std::string& quoted) {
  int ends[2];
  if (::pipe(ends) != 0) return std::nullopt;
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(ends[1], STDOUT_FILENO);
    ::close(ends[0]);
    ::close(ends[1]);
    const std::string script = "printf %s " + quoted;
    ::execl("/bin/bash", "bash", "-c", script.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(ends[1]);
  std::string out;
  char buffer[256];
  for (ssize_t got; (got = ::read(ends[0], buffer, sizeof buffer)) > 0;) {
    out.append(buffer, static_cast<size_t>(got));
  }
  ::close(ends[0]);
  int status = 0;
  if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status) ||
      WEXITSTATUS(status) != 0) {
    return std::nullopt;
  }
  return out;
}

struct Case {
  const char* what;
  std::string name;
  std::string shown;  // "" for a name shown as it is
};

const Case kCases[] = {
    {"plain ASCII", "dir/file name.txt", ""},
    {"UTF-8 text", "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80 \xC2\xA0", ""},
    {"shell characters alone", "it's $HOME `x` \"q\"", ""},
    {"empty", "", ""},
    {"newline and ESC", "q/x\nWarning: \x1B[32mdone", "'q/x'$'\\n''Warning: '$'\\033''[32mdone'"},
    {"tab", "a\tb", "'a'$'\\t''b'"},
    {"DEL", "a\x7F", "'a'$'\\177'"},
    {"invalid byte first", "\xFFname", "$'\\377''name'"},
    {"C1 control U+009B", "x\xC2\x9B[2J", "'x'$'\\302\\233''[2J'"},
    {"quote and control", "it's\n", "'it'\\''s'$'\\n'"},
    {"quote first", "'\x01", "\\'$'\\001'"},
    {"controls in a row", "\r\n\a\b\v\f", "$'\\r\\n\\a\\b\\v\\f'"},
    {"overlong form", "\xC0\xAF", "$'\\300\\257'"},
    {"surrogate", "\xED\xA0\x80", "$'\\355\\240\\200'"},
    {"past U+10FFFF", "\xF4\x90\x80\x80", "$'\\364\\220\\200\\200'"},
    {"cut short", "\xE2\x82", "$'\\342\\202'"},
};

TEST(NameQuotingTest, OnlyNamesThatWouldActOnATerminalAreQuoted) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.what);
    const bool quoted = !c.shown.empty();
    EXPECT_EQ(needsQuoting(c.name), quoted);
    EXPECT_EQ(shellEscapedName(c.name), quoted ? c.shown : c.name);
    EXPECT_EQ(quotedName(c.name), quoted ? c.shown : "'" + c.name + "'");
  }
}

TEST(NameQuotingTest, TheShellReadsTheQuotedNameBackAsItWas) {
  if (::access("/bin/bash", X_OK) != 0) GTEST_SKIP() << "no bash";
  for (const Case& c : kCases) {
    if (c.shown.empty()) continue;
    SCOPED_TRACE(c.what);
    EXPECT_EQ(readByBash(shellEscapedName(c.name)), c.name);
  }
}

TEST(NameQuotingTest, TheTerminalWindowShowsPathsSo) {
  std::ostringstream err;
  TerminalWindow window(err, nullptr, false);
  EXPECT_EQ(window.displayPath("out.tc"), "out.tc");
  EXPECT_EQ(window.displayPath("a\nb"), "'a'$'\\n''b'");
}

}  // namespace
}  // namespace talvek
