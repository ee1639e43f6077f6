#include "cli/cli_options.h"

#include <gtest/gtest.h>

namespace talvek {
namespace {

std::string parseError(const std::vector<std::string>& args) {
  CliOptions options;
  std::string error;
  return parseCliArguments(args, options, error) ? "" : error;
}

CliOptions parse(const std::vector<std::string>& args) {
  CliOptions options;
  std::string error;
  EXPECT_TRUE(parseCliArguments(args, options, error)) << error;
  return options;
}

TEST(CliOptionsTest, ReadsCommandsFilesSecretsAndYes) {
  CliOptions o = parse({"encode", "in.txt"});
  EXPECT_EQ(o.command, CliCommand::Encode);
  EXPECT_EQ(o.source, "in.txt");
  EXPECT_EQ(o.destination, "");
  EXPECT_EQ(o.secret, SecretSource::Terminal);
  EXPECT_FALSE(o.assumeYes);

  o = parse({"decode", "--key-file", "k.mk", "in.tc", "out", "--yes"});
  EXPECT_EQ(o.command, CliCommand::Decode);
  EXPECT_EQ(o.source, "in.tc");
  EXPECT_EQ(o.destination, "out");
  EXPECT_EQ(o.secret, SecretSource::KeyFile);
  EXPECT_EQ(o.secretPath, "k.mk");
  EXPECT_TRUE(o.assumeYes);

  o = parse({"encode", "--password-file=p=1", "a"});
  EXPECT_EQ(o.secret, SecretSource::PasswordFile);
  EXPECT_EQ(o.secretPath, "p=1");

  o = parse({"encode", "--password-stdin", "--", "-in", "--out"});
  EXPECT_EQ(o.secret, SecretSource::PasswordStdin);
  EXPECT_EQ(o.source, "-in");
  EXPECT_EQ(o.destination, "--out");

  o = parse({"genkey", "-y", "new.mk"});
  EXPECT_EQ(o.command, CliCommand::GenerateKey);
  EXPECT_EQ(o.source, "new.mk");
  EXPECT_TRUE(o.assumeYes);

  o = parse({"encode", "-", "-q", "--password-charset", "WINDOWS-1252", "--key-file=k"});
  EXPECT_EQ(o.source, "-");
  EXPECT_FALSE(o.hasDestination);
  EXPECT_TRUE(o.quiet);
  EXPECT_EQ(o.passwordCharset, "WINDOWS-1252");

  // An empty DESTINATION is given, not omitted; "-" is standard output.
  o = parse({"encode", "in", "", "--quiet", "--password-charset=CP1252"});
  EXPECT_TRUE(o.hasDestination);
  EXPECT_EQ(o.destination, "");
  EXPECT_EQ(o.passwordCharset, "CP1252");
  EXPECT_EQ(parse({"decode", "in.bin", "-"}).destination, "-");
  EXPECT_EQ(parse({"decode", "-"}).source, "-");
  EXPECT_EQ(parse({"decode", "a.TC"}).hasDestination, false);

  EXPECT_EQ(parse({"--help"}).command, CliCommand::Help);
  EXPECT_EQ(parse({"--version"}).command, CliCommand::Version);
  // A command's --help wins over whatever else is wrong on the line.
  o = parse({"decode", "plain.bin", "--help", "--force"});
  EXPECT_EQ(o.command, CliCommand::Help);
  EXPECT_EQ(o.helpFor, CliCommand::Decode);
  EXPECT_EQ(parse({"genkey", "-h"}).helpFor, CliCommand::GenerateKey);
}

TEST(CliOptionsTest, EachTakesEveryArgumentAsASource) {
  CliOptions o = parse({"decode", "--each", "a.tc", "plain", "-r", "--", "-b.tc"});
  EXPECT_TRUE(o.each);
  EXPECT_TRUE(o.recursive);
  EXPECT_EQ(o.sources, (std::vector<std::string>{"a.tc", "plain", "-b.tc"}));
  EXPECT_FALSE(o.hasDestination);
  // Standard input is free for the password when no SOURCE is -.
  o = parse({"encode", "a", "b", "c", "--each", "--password-stdin", "-y"});
  EXPECT_EQ(o.sources.size(), 3u);
  EXPECT_EQ(o.secret, SecretSource::PasswordStdin);
}

// Every option of the table parses by its names and shows in the help of
// the commands that take it.
TEST(CliOptionsTest, TheTableGivesBothParsingAndHelp) {
  for (const CliOptionEntry& entry : cliOptionTable()) {
    std::vector<std::string> args = {"encode", "--each", "a", entry.name};
    if (entry.argument != nullptr) args.push_back("X");
    std::string error;
    CliOptions o;
    EXPECT_TRUE(parseCliArguments(args, o, error)) << entry.name << ": " << error;
    if (entry.shortName != 0) {
      args[3] = std::string("-") + entry.shortName;
      EXPECT_TRUE(parseCliArguments(args, o, error)) << entry.name << ": " << error;
    }
    const std::string name =
        std::string(entry.name) + (entry.argument ? std::string(" ") + entry.argument : "");
    EXPECT_NE(cliUsage().find(name), std::string::npos) << name;
    EXPECT_NE(cliUsage(CliCommand::Encode).find(name), std::string::npos) << name;
    EXPECT_EQ(cliUsage(CliCommand::GenerateKey).find(name) != std::string::npos, entry.forGenkey)
        << name;
    args = {"genkey", "k", entry.name};
    if (entry.argument != nullptr) args.push_back("X");
    EXPECT_EQ(parseError(args) == "", entry.forGenkey) << name;
  }
}

TEST(CliOptionsTest, RefusesWhatItCannotRun) {
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {},
           {"code", "a"},
           {"encode"},
           {"encode", "a", "b", "c"},
           {"encode", "a", "--key-file"},
           {"encode", "a", "--key-file", "k", "--password-stdin"},
           {"encode", "a", "--password-stdin=x"},
           {"encode", "a", "--force"},
           {"genkey"},
           {"genkey", "a", "b"},
           {"genkey", "a", "--key-file", "k"},
           {"--version", "x"},
           {"encode", "a", "-q=1"},
           {"encode", "a", "--password-charset"},
           {"encode", "a", "--password-charset="},
           {"genkey", "a", "--password-charset", "UTF-8"},
           {"genkey", "-"},
           {"encode", "-", "--password-stdin"},
           {"encode", "a", "--password-file", "-"},
           {"encode", "a", "-r"},
           {"encode", "--each"},
           {"encode", "--each", "a", "-"},
           {"genkey", "--each", "a"},
       }) {
    EXPECT_NE(parseError(args), "") << ::testing::PrintToString(args);
  }
}

TEST(CliOptionsTest, DecodeWithoutDestinationNeedsAnEncodedFileName) {
  EXPECT_EQ(parseError({"decode", "plain.bin"}),
            "decode needs a DESTINATION when SOURCE does not end in .tc");
  EXPECT_EQ(parseError({"decode", "dir.tc/plain"}), parseError({"decode", "plain.bin"}));
  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{"decode", "a.tc"},
                                             {"decode", "a.Tc"},
                                             {"decode", "plain.bin", "out"},
                                             {"decode", ""},
                                             {"encode", "plain.bin"}}) {
    EXPECT_EQ(parseError(args), "") << ::testing::PrintToString(args);
  }
}

}  // namespace
}  // namespace talvek
