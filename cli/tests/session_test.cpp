#include "study/session.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli/cli.h"
#include "cli/tests/cli_in_folder.h"

namespace rfsplitter {
namespace {

namespace fs = std::filesystem;

using SessionTest = CliInFolder;

// A run saved as a session and run again writes the same bytes; options
// given beside the session win, and its parts file is found beside it.
TEST_F(SessionTest, RunsAgainAsSavedAndTheCommandLineWins) {
  std::ofstream(dir_ / "coils.txt") << "5.6n\n6.8n\n8.2n\n10n\n";
  ASSERT_EQ(Run({"--topology",
                 "narrow-quad",
                 "--frequency",
                 "915",
                 "--inductors",
                 (dir_ / "coils.txt").string(),
                 "--capacitors",
                 "E24",
                 "--q-inductor",
                 "40",
                 "--tolerance-inductor",
                 "5%",
                 "--monte-carlo",
                 "300",
                 "--fit",
                 "margin",
                 "--pairs",
                 "--set",
                 "C2=5.1p",
                 "--save-session",
                 "s.rfsplitter",
                 "--json",
                 "a.json"}),
            kExitOk)
      << err_.str();
  std::string error;
  const std::optional<Session> session = ReadSession(Text("s.rfsplitter"), error);
  ASSERT_TRUE(session) << error;
  EXPECT_EQ(session->options.at("inductors"), "coils.txt");
  EXPECT_TRUE(session->flags.count("pairs"));
  EXPECT_EQ(session->steps, (std::vector<std::pair<std::string, std::string>>{{"C2", "5.1p"}}));

  ASSERT_EQ(Run({"--session", (dir_ / "s.rfsplitter").string(), "--json", "b.json"}), kExitOk)
      << err_.str();
  EXPECT_EQ(Text("a.json"), Text("b.json"));
  ASSERT_EQ(Run({"--session", (dir_ / "s.rfsplitter").string(), "--frequency", "433.92", "--set",
                 "C2=6.2p", "--json", "c.json"}),
            kExitOk);
  EXPECT_NE(Text("c.json").find("\"frequency_mhz\": 433.92"), std::string::npos);
  EXPECT_NE(Text("c.json").find("\"value\": 6.2e-12"), std::string::npos);

  // The parts file changed since: said, and the run goes on.
  std::ofstream(dir_ / "coils.txt", std::ios::app) << "12n\n";
  ASSERT_EQ(Run({"--session", (dir_ / "s.rfsplitter").string()}), kExitOk);
  EXPECT_NE(err_.str().find("coils.txt has changed since the session was saved"), std::string::npos)
      << err_.str();
}

TEST_F(SessionTest, RefusesWhatIsNoSessionOfThisProgramAndBadSteps) {
  const struct {
    std::string text, error;
  } sessions[] = {
      {"{\"rfsplitter_session\": 2, \"options\": {}}", "a session of a newer version (2)"},
      {"{\"rfsplitter_session\": 1, \"options\": {\"json\": \"x\"}}",
       "\"json\" is no option a session holds"},
      {"{\"rfsplitter_session\": 1, \"options\": {\"seed\": 4}}", "a damaged session"},
      {"{\"rfsplitter_session\": 1, \"flags\": [\"analyze\"]}", "no flag a session holds"},
      {"[1, 2", "not a session file"},
  };
  for (const auto& s : sessions) {
    std::ofstream(dir_ / "x.rfsplitter") << s.text;
    EXPECT_EQ(Run({"--session", (dir_ / "x.rfsplitter").string()}), kExitUsage) << s.text;
    EXPECT_NE(err_.str().find(s.error), std::string::npos) << err_.str();
  }
  const struct {
    std::string step, error;
  } steps[] = {
      {"L9=5n", "is not PART=VALUE with a part of the circuit"},
      {"L1", "is not PART=VALUE"},
      {"L1=5pF", "is not a positive inductor value"},
      {"L1=-5n", "is not a positive inductor value"},
  };
  for (const auto& s : steps) {
    EXPECT_EQ(Run({"--topology", "narrow-splitter", "--set", s.step}), kExitUsage) << s.step;
    EXPECT_NE(err_.str().find(s.error), std::string::npos) << err_.str();
  }
  // A value its series does not offer is used, with a note.
  EXPECT_EQ(Run({"--topology", "narrow-splitter", "--inductors", "E12", "--set", "L1=11n", "--json",
                 "s.json"}),
            kExitOk);
  EXPECT_NE(err_.str().find("L1 = 11 nH is not a value E12 offers; it is used as given"),
            std::string::npos)
      << err_.str();
  EXPECT_NE(Text("s.json").find("\"value\": 1.1e-08"), std::string::npos);
}

}  // namespace
}  // namespace rfsplitter
