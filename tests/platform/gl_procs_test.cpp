#include "platform/gl_procs.h"

#include <gtest/gtest.h>

namespace veskor {
namespace {

TEST(GlExtensionInList, MatchesWholeTokensOnly) {
  struct Case {
    const char* list;
    const char* name;
    bool listed;
  };
  const Case cases[] = {
      {"GL_A GL_B GL_C", "GL_A", true},
      {"GL_A GL_B GL_C", "GL_B", true},
      {"GL_A GL_B GL_C", "GL_C", true},
      {"GL_A GL_B GL_C ", "GL_C", true},
      {"  GL_A   GL_B", "GL_B", true},
      {"GL_NV_register_combiners2", "GL_NV_register_combiners", false},
      {"GL_NV_register_combiners2 GL_NV_register_combiners", "GL_NV_register_combiners", true},
      {"GL_XGL_A", "GL_A", false},
      {"GL_A", "GL_A2", false},
      {"", "GL_A", false},
      {"GL_A", "", false},
      {nullptr, "GL_A", false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(GlExtensionInList(c.list, c.name), c.listed)
        << '"' << (c.list ? c.list : "(null)") << "\" / " << c.name;
}

}  // namespace
}  // namespace veskor
