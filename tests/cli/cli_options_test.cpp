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
