#include "core/WorkspaceDocuments.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace twdesktop {
namespace {

using Ids = std::vector<std::string>;

TEST(WorkspaceIds, ReadsTheStringIdsOfTheListInOrder) {
  struct TCase {
    std::string Json;
    Ids Expected;
  };
  const std::vector<TCase> Cases = {
      // an id, an object without one, a bare text and a repeat of the first id
      {R"({"workspaces":[{"id":"alpha"},{"name":"x"},"beta",{"id":"alpha"}]})", {"alpha", "alpha"}},
      {R"({"workspaces":[{"id":""},{"id":"b","name":"B"}]})", {"", "b"}},  // empty id kept
      {R"({"workspaces":[{"id":7},{"id":true},{"id":null},{"id":["a"]},{"id":"ok"}]})", {"ok"}},
      {R"({"workspaces":[{"id":"first","id":"second"}]})", {"first"}},
      {R"({"workspaces":[{"id":"a"}],"workspaces":[{"id":"b"}]})", {"a"}},
      {R"({"workspaces":[{"id":"new\nline \"q\" \u00e4"}]})", {"new\nline \"q\" \xC3\xA4"}},
      {R"({"workspaces":[{"id":"\udc00"}]})", {"\xEF\xBF\xBD"}},  // always valid UTF-8
      {R"({"workspaces":[]})", {}},
      {R"({"workspaces":{"id":"a"}})", {}},  // not an array
      {R"({"items":[{"id":"a"}]})", {}},
      {R"([{"id":"a"}])", {}},
      {R"({"workspaces":[{"id":"a"}])", {}},  // does not parse
      {"", {}},
      {R"({"workspaces":[{"id":"a"}]} {"workspaces":[]})", {}},
  };
  for (const auto& Case : Cases) {
    EXPECT_EQ(WorkspaceIds(Case.Json), Case.Expected) << Case.Json;
  }
}

TEST(WorkspaceState, SumsUpTheNodes) {
  struct TCase {
    std::string Json;
    std::string Expected;
  };
  const std::vector<TCase> Cases = {
      {R"({"nodes":[]})", ""},
      {R"({"nodes":[1,"core",null,[{}]]})", ""},  // no node objects
      {R"({"nodes":[{}]})", "clean"},
      {R"({"nodes":[{"missing":true}]})", "missing"},
      {R"({"nodes":[{"missing":true},{"id":"ui"}]})", "dirty"},
      {R"({"nodes":[{"missing":true,"dirty":true}]})", "missing"},
      {R"({"nodes":[{"dirty":true}]})", "dirty"},
      {R"({"nodes":[{"missing":true},{"missing":true}]})", "missing"},
      {R"({"nodes":[{"dirty":false,"missing":false},{"id":"b"}]})", "clean"},
      {R"({"nodes":[{"id":"a"},{"id":"b","dirty":true}]})", "dirty"},
      {R"({"nodes":["x",{"missing":true},7]})", "missing"},  // non-objects are skipped
      // only the Boolean true counts
      {R"({"nodes":[{"dirty":"true"},{"dirty":1},{"missing":"yes"}]})", "clean"},
      {R"({"nodes":[{"missing":1}]})", "clean"},
      {R"({"nodes":[{"dirty":false,"dirty":true}]})", "clean"},  // the first of duplicates
      {R"({"root":{"id":"vaz"}})", ""},                          // no "nodes"
      {R"({"nodes":{"a":{}}})", ""},
      {R"([{"nodes":[{}]}])", ""},
      {R"({"nodes":[{}])", ""},
      {"", ""},
      {R"({"size":1e300,"nodes":[{"dirty":true}]})", "dirty"},
  };
  for (const auto& Case : Cases) {
    EXPECT_EQ(WorkspaceState(Case.Json), Case.Expected) << Case.Json;
  }
}

}  // namespace
}  // namespace twdesktop
