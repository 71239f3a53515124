// The HTTP built-ins' registration, the header text made from a map, the
// refused URLs, and the result maps the completions build.
#include "services/http.h"

#include <gtest/gtest.h>

#include <string>

#include "ds/ds.h"
#include "ds/map.h"
#include "ds/store.h"
#include "files/file_group.h"
#include "files/files.h"
#include "unit/ds/ds_call.h"
#include "unit/script/builtin_group_check.h"

namespace {
using dstest::Call;

class Http : public dstest::DSWorld {
 protected:
  void SetUp() override {
    DSWorld::SetUp();
    // As start-up registers the File group's row.
    InitFileFunctions();
    InitHttpFunctions();
    InitJsonFunctions();
  }

  static std::string MapText(int id, const char* key) {
    const dstest::Value k(key);
    auto* map = DS_GetAs<CDS_HashMap>(eDS_Map, id);
    const HashPair* p = map ? map->Find(&k.v) : nullptr;
    if (!p) return "<none>";
    return p->value.IsString() ? p->value.Text() : std::to_string(p->value.Real());
  }
};

TEST_F(Http, TheFileGroupRegistersInItsOrderWithHttpBeforeJson) {
  ExpectGroupRegistered(Files_FileGroup());
  const int get = FunctionRegistry_Find("http_get");
  const int post = FunctionRegistry_Find("http_post_string");
  const int request = FunctionRegistry_Find("http_request");
  ASSERT_GE(get, 0);
  ASSERT_GE(post, 0);
  ASSERT_GE(request, 0);
  EXPECT_LT(post, get);
  EXPECT_LT(get, request);
  EXPECT_LT(request, FunctionRegistry_Find("json_encode"));
  EXPECT_GT(post, FunctionRegistry_Find("ini_section_delete"));
  EXPECT_EQ(FunctionRegistry_GetArgCount(post), 2);
  EXPECT_EQ(FunctionRegistry_GetArgCount(get), 1);
  EXPECT_EQ(FunctionRegistry_GetArgCount(request), 4);
}

TEST_F(Http, UrlsOutsideTheTwoSchemesStartNothing) {
  const int map = int(Call("ds_map_create").Real());
  for (const char* url : {"", "ftp://127.0.0.1/", "HTTP://127.0.0.1/", "Https://127.0.0.1/", "http:/x", "127.0.0.1"}) {
    EXPECT_EQ(Call("http_get", {url}).Real(), -1) << url;
    EXPECT_EQ(Call("http_post_string", {url, "a=1"}).Real(), -1) << url;
    EXPECT_EQ(Call("http_request", {url, "GET", double(map), ""}).Real(), -1) << url;
  }
  EXPECT_EQ(AsyncRequests_Count(), 0);
  EXPECT_EQ(AsyncRequest_Counter(), 0);
}

TEST_F(Http, ABodyThatIsNeitherTextNorBufferStartsNothing) {
  const int map = int(Call("ds_map_create").Real());
  // No buffer with that id.
  EXPECT_EQ(Call("http_request", {"http://127.0.0.1:1/", "GET", double(map), 57.0}).Real(), -1);
  EXPECT_EQ(AsyncRequests_Count(), 0);
}

TEST_F(Http, HeaderTextFollowsTheMapsOrder) {
  const int map = int(Call("ds_map_create").Real());
  Call("ds_map_add", {double(map), "X-One", "a b"});
  Call("ds_map_add", {double(map), "X-Two", 5.0});
  Call("ds_map_add", {double(map), "X-Half", 0.5});
  const std::string text = Http_HeadersFromMap(map);
  std::string expected;
  auto* m = DS_GetAs<CDS_HashMap>(eDS_Map, map);
  for (const HashPair* p = m->FindFirst(); p; p = m->FindNext(&p->key)) {
    const std::string key = p->key.Text();
    expected += key + ": " + (key == "X-One" ? "a b" : key == "X-Two" ? "5" : "0.5") + "\r\n";
  }
  EXPECT_EQ(text, expected);
  EXPECT_EQ(text.size(), std::string("X-One: a b\r\nX-Two: 5\r\nX-Half: 0.5\r\n").size());
  EXPECT_EQ(Http_HeadersFromMap(map + 50), "");
}

TEST_F(Http, ResultMapsSayStatusByWhatWasReceived) {
  struct Case {
    const char* body;
    int32_t http;
    const char* result;
    double status;
  };
  const Case cases[] = {{"hello", 200, "hello", 0}, {"", 200, "", -1}, {"gone", 404, "gone", 0}};
  for (const Case& c : cases) {
    HTTP_REQ_CONTEXT_WORKER record("http://example.invalid/x", "GET", HttpResult_ToMap, nullptr, nullptr);
    const std::string body = c.body;
    record.data.assign(body.begin(), body.end());
    record.data.push_back(0);
    record.received = int32_t(body.size());
    record.http_status = c.http;
    int32_t map = -1;
    EXPECT_EQ(HttpResult_ToMap(&record, nullptr, &map), 62);
    ASSERT_GE(map, 0);
    EXPECT_EQ(MapText(map, "result"), c.result);
    EXPECT_EQ(MapText(map, "url"), "http://example.invalid/x");
    EXPECT_EQ(MapText(map, "status"), std::to_string(c.status));
    EXPECT_EQ(MapText(map, "http_status"), std::to_string(double(c.http)));
    EXPECT_EQ(MapText(map, "id"), std::to_string(double(record.id)));
    EXPECT_EQ(MapText(map, "response_headers"), std::to_string(-1.0));
    DS_MapDestroy(map);
  }
}

}  // namespace
