// A page held in memory goes without the library's cookie look-up where its folder holds no
// cookie, and nothing of the library's cookie handling is lost by it: a redirect goes again
// the library's way, and the cookies a reply sets go to the library's store.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine_test_support.h"

namespace {

constexpr uint32_t kLibraryWay = request_flags::kDefault | request_flags::kNoCacheWrite;
constexpr uint32_t kPlain = kLibraryWay | request_flags::kNoCookiesNoRedirect;

class PageCookiesTest : public EngineTest {
 protected:
  // A page fetch (held in memory), or a download, until it has a result.
  TransferJob* fetch(const UrlParts& where, bool page = true) {
    TransferJob* job = engine->createJob(where, kFolder, "");
    if (page) job->mostBytesHeld = 1 << 20;
    job->wanted = 1;
    EXPECT_TRUE(passUntilResult(*job));
    return job;
  }
};

TEST_F(PageCookiesTest, OnlyAPageWhoseFolderHoldsNoCookieGoesWithoutTheLibrarysCookies) {
  const struct {
    bool page;
    bool folderWithCookies;
    uint32_t flags;
  } cases[] = {
      {true, false, kPlain},
      {true, true, kLibraryWay},
      {false, false, kLibraryWay},
  };
  int n = 0;
  for (const auto& each : cases) {
    SCOPED_TRACE(testing::Message()
                 << "page " << each.page << ", cookies " << each.folderWithCookies);
    const std::string host = "h" + std::to_string(++n);
    serve(FakeBody::of("<p>"), host);
    if (each.folderWithCookies) internet.setFolderWithCookies("http://" + host + "/f/");
    const size_t asked = internet.cookieFoldersAsked().size();
    TransferJob* job = fetch(address("http://", host, "", "/f/a.htm?x=/y"), each.page);
    ASSERT_EQ(job->result, kJobSucceeded);
    EXPECT_EQ(internet.requests().back().host, host);
    EXPECT_EQ(internet.requests().back().flags, each.flags);
    const std::vector<std::string> folders = internet.cookieFoldersAsked();
    if (each.page) {
      ASSERT_EQ(folders.size(), asked + 1);
      EXPECT_EQ(folders.back(), "http://" + host + "/f/");
    } else {
      EXPECT_EQ(folders.size(), asked);
    }
  }
  EXPECT_EQ(internet.requests().size(), 3u);
}

TEST_F(PageCookiesTest, ARedirectGoesAgainTheLibrarysWayAndEndsWhereItsRedirectsEnd) {
  serve(FakeBody::of("<p>moved here</p>"), "h", [](const FakeRequest& request, FakeReply& reply) {
    if (request.flags & request_flags::kNoCookiesNoRedirect) {
      reply = FakeReply{};
      reply.statusCode = 302;
      reply.statusText = "Found";
      reply.headers.push_back("Location: /g/b.htm");
      reply.headers.push_back("Set-Cookie: k=v");
    } else {
      reply.finalAddress = "http://h/g/b.htm";
    }
  });
  TransferJob* job = fetch(address("http://", "h", "", "/f/a.htm"));
  ASSERT_EQ(job->result, kJobSucceeded);
  EXPECT_EQ(job->finishedBytes, "<p>moved here</p>");
  EXPECT_EQ(job->finalAddress, "http://h/g/b.htm");
  const std::vector<FakeRequest> sent = internet.requests();
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0].flags, kPlain);
  EXPECT_EQ(sent[1].flags, kLibraryWay);
  EXPECT_EQ(sent[1].objectPath, "/f/a.htm");
  // The redirect's cookie is the library's to keep, as it follows the redirect again; what
  // the folders held may have changed with it.
  EXPECT_TRUE(internet.cookiesKept().empty());
  EXPECT_EQ(internet.cookieFoldersForgotten(), 1);
  EXPECT_EQ(internet.openHandles(), 0);
}

TEST_F(PageCookiesTest, TheCookiesAPlainReplySetsGoToTheLibrarysStore) {
  internet.setServer("h", 8080, [](const FakeRequest& request) {
    FakeReply reply = FakeInternet::fileReply(request, FakeBody::of("<p>"));
    reply.headers.push_back("Set-Cookie: a=1; Path=/");
    reply.headers.push_back("Set-Cookie: b=2; HttpOnly");
    return reply;
  });
  TransferJob* job = fetch(address("http://", "h", ":8080", "/f/a.htm"));
  ASSERT_EQ(job->result, kJobSucceeded);
  EXPECT_EQ(internet.cookiesKept(),
            (std::vector<std::string>{"http://h:8080/f/a.htm: Set-Cookie: a=1; Path=/",
                                      "http://h:8080/f/a.htm: Set-Cookie: b=2; HttpOnly"}));
}

TEST_F(PageCookiesTest, ADownloadWhoseReplySetsCookiesMakesThePortForgetTheFolders) {
  serve(FakeBody::of("data"), "h",
        [](const FakeRequest&, FakeReply& reply) { reply.headers.push_back("Set-Cookie: a=1"); });
  ASSERT_EQ(fetch(web(), false)->result, kJobSucceeded);
  EXPECT_EQ(internet.cookieFoldersForgotten(), 1);
  EXPECT_TRUE(internet.cookiesKept().empty());
}

}  // namespace
