#include <gtest/gtest.h>

#include "version_check.h"

namespace lorengraph {
namespace {

TEST(VersionCheck, MatchesMajorMinorFollowedByNonDigit) {
  struct Case {
    const char* compiled_for;
    const char* running;
    bool matches;
  };
  const Case cases[] = {
      {"3.8", "3.8.10 (default, Nov 22 2023)", true},
      {"3.8", "3.8", true},
      {"3.8", "3.80.1", false},
      {"3.8", "3.9.1", false},
      {"3.11", "3.11.2 (main, Mar 13 2023, 12:18:29) [GCC 12.2.0]", true},
      {"3.11", "3.1", false},
      {"3.11", "3.110", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(interpreter_version_matches(c.compiled_for, c.running), c.matches) << c.running;
  }
}

TEST(VersionCheck, MismatchMessage) {
  EXPECT_EQ(version_mismatch_message("3.11", "3.12.1 (main)"),
            "Python version mismatch: module was compiled for Python 3.11, but the interpreter "
            "version is incompatible: 3.12.1 (main).");
}

}  // namespace
}  // namespace lorengraph
