#include "app/command_line.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/shop_folder.h"
#include "publish/export_path.h"

namespace catpub::app {
namespace {

struct Answer {
  std::optional<ExitStatus> status;
  std::string out;
  std::string err;
};

std::string Contents(std::FILE* file) {
  std::rewind(file);
  std::string text;
  for (int c; (c = std::fgetc(file)) != EOF;) text += static_cast<char>(c);
  std::fclose(file);
  return text;
}

Answer Ask(std::vector<const char*> args) {
  args.insert(args.begin(), "/usr/bin/catalog-publisher");
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  Answer answer;
  answer.status = AnswerCommandLine(static_cast<int>(args.size()), args.data(), out, err);
  answer.out = Contents(out);
  answer.err = Contents(err);
  return answer;
}

TEST(CommandLine, NoArgumentsIsARunAndPrintsNothing) {
  Answer answer = Ask({});
  EXPECT_FALSE(answer.status.has_value());
  EXPECT_EQ(answer.out, "");
  EXPECT_EQ(answer.err, "");
}

TEST(CommandLine, VersionAndHelpAnswerOnStandardOutput) {
  Answer version = Ask({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, "catalog-publisher " CATPUB_VERSION "\n");
  EXPECT_EQ(version.err, "");

  Answer help = Ask({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_TRUE(help.out.starts_with("uso: catalog-publisher [--help | --version]\n")) << help.out;
  EXPECT_NE(help.out.find("CATALOG_PUBLISHER_DRIVES"), std::string::npos);
  EXPECT_NE(help.out.find("catalog-publisher(8)"), std::string::npos);
  EXPECT_EQ(help.err, "");
}

// The help writes its paths out: they must stay those of the run log and the export.
TEST(CommandLine, HelpNamesTheShopsFilesWhereTheyAre) {
  const std::string help = Ask({"--help"}).out;
  EXPECT_NE(help.find(std::string(platform::kShopFolder) + "\\bkp\\logrul3_"), std::string::npos);
  EXPECT_NE(help.find(publish::kExportPath), std::string::npos);
}

// Each refusal is one line naming the word at fault, never the program's own (Linux) path.
TEST(CommandLine, AnythingElseIsRefusedWithOneUsageLine) {
  const struct {
    std::vector<const char*> args;
    const char* wrong;
  } cases[] = {
      {{"-h"}, "-h"},
      {{"--run"}, "--run"},
      {{"C:\\orbis"}, "C:\\orbis"},
      {{"--help", "--version"}, "--version"},
      {{"--version", "x"}, "x"},
      {{"", "--help"}, ""},
      {{"a\nb"}, "a?b"},
  };
  for (const auto& c : cases) {
    Answer answer = Ask(c.args);
    EXPECT_EQ(answer.status, kUsageError) << c.wrong;
    EXPECT_EQ(answer.out, "");
    EXPECT_EQ(answer.err, std::string("catalog-publisher: argomento non valido \"") + c.wrong +
                              "\"; uso: catalog-publisher [--help | --version]\n");
  }
}

}  // namespace
}  // namespace catpub::app
