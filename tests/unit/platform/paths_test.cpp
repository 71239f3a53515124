#include "platform/paths.h"

#include <gtest/gtest.h>

namespace {

// A game's display name becomes one folder of the save area: nothing in it may
// climb out or name the area itself.
TEST(PlatformPaths, SafeComponentKeepsTheNameInsideOneFolder) {
  const struct {
    std::string name, safe;
  } cases[] = {
      {"My Game", "My Game"}, {"", "_"},         {".", "_"},         {"..", "_"},
      {"...", "..."},         {"../x", ".._x"},  {"a\\b/c", "a_b_c"}, {std::string("a\0b", 3), "a_b"},
      {"tab\there", "tab_here"}, {"\x7f" "caf\xc3\xa9", "\x7f" "caf\xc3\xa9"},
  };
  for (const auto& c : cases) EXPECT_EQ(Path_SafeComponent(c.name), c.safe) << c.name;
}

}  // namespace
