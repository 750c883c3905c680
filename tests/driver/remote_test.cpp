// Browsers elsewhere through the driver: a Playwright browser server and a
// Chromium's debugging port on the loopback address, their addresses, and
// what is left running when a session on them ends.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "driver/process_watch.hpp"
#include "driver/pw.hpp"
#include "support/remote_browsers.hpp"

namespace plainstep::testing {
namespace {

using ::testing::HasSubstr;

std::string fixture_file(const std::string& name) { return fixture_url(name); }

// Our own processes: the test binary and whatever it started, but for
// `besides` and what runs below it (a server the test started).
size_t our_processes(pid_t besides = 0) { return process_tree(getpid(), besides).size(); }

pw::ConnectOptions server_options() {
  pw::ConnectOptions options;
  options.launch.executable_path = chromium_path();
  return options;
}

// ---- addresses ----------------------------------------------------------

struct Address {
  const char* url;
  const char* scheme;
  const char* host;
  int port;
  const char* path;
};

class Addresses : public ::testing::TestWithParam<Address> {};

TEST_P(Addresses, AreReadIntoTheirParts) {
  auto row = GetParam();
  pw::Endpoint e = pw::parse_endpoint(row.url);
  EXPECT_EQ(e.scheme, row.scheme);
  EXPECT_EQ(e.host, row.host);
  EXPECT_EQ(e.port, row.port);
  EXPECT_EQ(e.path, row.path);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, Addresses,
    ::testing::Values(Address{"ws://127.0.0.1:3000/", "ws", "127.0.0.1", 3000, "/"},
                      Address{"ws://grid.example:3000/playwright?token=x", "ws", "grid.example", 3000,
                              "/playwright?token=x"},
                      Address{"WSS://grid.example", "wss", "grid.example", 443, "/"},
                      Address{"http://[::1]:9222", "http", "::1", 9222, "/"},
                      Address{"https://user:pw@cdp.example:9443/x", "https", "cdp.example", 9443, "/x"},
                      Address{"http://localhost", "http", "localhost", 80, "/"}));

struct NotAnAddress {
  const char* url;
  const char* says;
};

class NotAddresses : public ::testing::TestWithParam<NotAnAddress> {};

TEST_P(NotAddresses, AreRefusedSayingWhy) {
  auto row = GetParam();
  try {
    pw::parse_endpoint(row.url);
    FAIL() << row.url << " was taken for an address";
  } catch (const std::invalid_argument& e) {
    EXPECT_THAT(e.what(), HasSubstr(std::string("'") + row.url + "'"));
    EXPECT_THAT(e.what(), HasSubstr(row.says));
  }
}

INSTANTIATE_TEST_SUITE_P(Forms, NotAddresses,
                         ::testing::Values(NotAnAddress{"127.0.0.1:3000", "no scheme"},
                                           NotAnAddress{"ftp://host:21/", "not ws, wss, http or https"},
                                           NotAnAddress{"ws://:3000/", "no host"},
                                           NotAnAddress{"ws://host:0/", "from 1 to 65535"},
                                           NotAnAddress{"ws://host:70000/", "from 1 to 65535"},
                                           NotAnAddress{"ws://host:30a/", "not a number"},
                                           NotAnAddress{"http://[::1:9222", "closing ]"}));

TEST(Probe, ARefusedPortAndASilentOneAreNamed) {
  std::string refused = "ws://127.0.0.1:" + std::to_string(closed_port()) + "/";
  try {
    pw::probe_endpoint(refused, 5000ms);
    FAIL() << "nothing listens at " << refused;
  } catch (const pw::ConnectionError& e) {
    EXPECT_THAT(e.what(), HasSubstr("cannot reach " + refused + ": connection refused"));
  }
  SilentListener silent;
  std::string quiet = "http://127.0.0.1:" + std::to_string(silent.port);
  try {
    pw::probe_endpoint(quiet, 300ms);
    FAIL() << "nothing answers at " << quiet;
  } catch (const pw::ConnectionError& e) {
    EXPECT_THAT(e.what(), HasSubstr("cannot reach " + quiet + ": no answer within 0.3 s"));
  }
}

// ---- a Playwright browser server -----------------------------------------

class ServerTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_NE(server.ws_endpoint, "") << "run-server did not start:\n" << server.output(); }
  // The server's processes other than its node: the browsers it launched.
  std::vector<pid_t> server_browsers() { return marked_processes(server.marker(), 10000ms, server.pid()); }
  BrowserServer server;
};

TEST_F(ServerTest, APageRunsOnTheServersBrowserAndStopLeavesOnlyTheServer) {
  size_t before = our_processes(server.pid());
  auto remote = pw::sync_playwright().connect(server.ws_endpoint, server_options());
  auto browser = remote->server_browser();
  ASSERT_TRUE(browser);
  EXPECT_FALSE(browser->version().empty());
  auto page = browser->new_page({pw::Viewport{640, 480}, false});
  page->navigate(fixture_file("basic.html"));
  EXPECT_EQ(page->evaluate("[innerWidth, innerHeight]"), pw::json({640, 480}));
  EXPECT_EQ(page->title(), "Session basics");
  EXPECT_FALSE(marked_processes(server.marker(), 0ms, server.pid()).empty()) << "the server launched no browser";
  EXPECT_EQ(our_processes(server.pid()), before + 1) << "one local driver, no local browser";

  remote->stop();
  EXPECT_EQ(our_processes(server.pid()), before) << "the local driver outlived stop()";
  EXPECT_THROW(page->evaluate("1"), pw::ConnectionError);
  EXPECT_TRUE(server.running()) << "stop() ended the server";
  EXPECT_THAT(server_browsers(), ::testing::IsEmpty()) << "the server kept the browser it launched for us";
}

TEST_F(ServerTest, TwoConnectionsRunSideBySideAndEndApart) {
  auto first = pw::sync_playwright().connect(server.ws_endpoint, server_options());
  auto second = pw::sync_playwright().connect(server.ws_endpoint, server_options());
  auto a = first->server_browser()->new_page();
  auto b = second->server_browser()->new_page();
  a->navigate(fixture_file("basic.html"));
  b->navigate(fixture_file("dialogs.html"));
  a->evaluate("localStorage.setItem('who', 'first')");
  EXPECT_EQ(b->evaluate("localStorage.getItem('who')"), pw::json()) << "the two sessions share storage";
  first->stop();
  EXPECT_EQ(b->evaluate("document.title"), "Dialogs") << "ending one connection broke the other";
  second->stop();
  EXPECT_THAT(server_browsers(), ::testing::IsEmpty());
}

TEST_F(ServerTest, AServerThatGoesAwayFailsTheNextCallNamingIt) {
  size_t before = our_processes(server.pid());
  auto remote = pw::sync_playwright().connect(server.ws_endpoint, server_options());
  auto page = remote->server_browser()->new_page();
  page->navigate(fixture_file("basic.html"));
  server.stop(SIGKILL);
  try {
    // The local driver learns of the closed socket in a moment.
    for (int i = 0; i < 100; ++i) page->wait_for_timeout(50);
    FAIL() << "calls still went through to a killed server";
  } catch (const pw::ConnectionError& e) {
    EXPECT_THAT(e.what(), HasSubstr("the browser server at " + server.ws_endpoint + " closed the connection"));
  }
  remote->stop();
  EXPECT_EQ(our_processes(), before);
  EXPECT_THAT(marked_processes(server.marker()), ::testing::IsEmpty()) << "the killed server's browser lived on";
}

TEST_F(ServerTest, ABrowserTheServerCannotStartIsReportedWithTheServersReason) {
  size_t before = our_processes(server.pid());
  pw::ConnectOptions options;
  options.launch.executable_path = "/no/such/chromium";
  try {
    pw::sync_playwright().connect(server.ws_endpoint, options);
    FAIL() << "connected with a browser that does not exist";
  } catch (const pw::Error& e) {
    EXPECT_THAT(e.what(), HasSubstr("the browser server at " + server.ws_endpoint + " could not start chromium"));
    EXPECT_THAT(e.what(), HasSubstr("/no/such/chromium"));
  }
  EXPECT_EQ(our_processes(server.pid()), before) << "the local driver outlived the failure";
  EXPECT_TRUE(server.running());
}

TEST(Server, NothingListeningOrNothingAnsweringFailsWithinTheBound) {
  size_t before = our_processes();
  std::string refused = "ws://127.0.0.1:" + std::to_string(closed_port()) + "/";
  try {
    pw::sync_playwright().connect(refused, server_options());
    FAIL() << "connected to " << refused;
  } catch (const pw::Error& e) {
    EXPECT_THAT(e.what(), HasSubstr("cannot reach the browser server at " + refused));
    EXPECT_THAT(e.what(), HasSubstr("ECONNREFUSED"));
  }
  SilentListener silent;
  std::string quiet = "ws://127.0.0.1:" + std::to_string(silent.port) + "/";
  pw::ConnectOptions options = server_options();
  options.timeout_ms = 500;
  try {
    pw::sync_playwright().connect(quiet, options);
    FAIL() << "connected to a port that never answers";
  } catch (const pw::Error& e) {
    EXPECT_THAT(e.what(), HasSubstr("cannot reach the browser server at " + quiet));
    EXPECT_THAT(e.what(), HasSubstr("Timeout 500ms exceeded"));
  }
  EXPECT_EQ(our_processes(), before) << "a driver outlived a failed connect";
}

// ---- a Chromium's debugging port -------------------------------------------

TEST(DebuggingPort, APageRunsInAFreshContextAndStopLeavesTheBrowserAsItWas) {
  DebuggingChromium chromium;
  ASSERT_NE(chromium.http_endpoint, "") << "chromium did not start:\n" << chromium.output();
  ASSERT_EQ(open_pages(chromium.port), 1) << "chromium opens with one tab";
  size_t before = our_processes(chromium.pid());
  auto playwright = pw::sync_playwright().start();
  auto browser = playwright->chromium()->connect_over_cdp(chromium.http_endpoint);
  auto page = browser->new_page({pw::Viewport{640, 480}, false});
  page->navigate(fixture_file("basic.html"));
  EXPECT_EQ(page->title(), "Session basics");
  EXPECT_EQ(page->evaluate("[innerWidth, innerHeight]"), pw::json({640, 480}));
  EXPECT_EQ(open_pages(chromium.port), 2);
  page->context()->close();
  EXPECT_EQ(open_pages(chromium.port), 1) << "closing our context left its page open";
  playwright->stop();
  EXPECT_EQ(our_processes(chromium.pid()), before) << "the local driver outlived stop()";
  EXPECT_TRUE(chromium.running()) << "stop() ended a browser that is not ours";
  EXPECT_EQ(open_pages(chromium.port), 1);
  chromium.stop();
  EXPECT_THAT(marked_processes(chromium.marker()), ::testing::IsEmpty());
}

TEST(DebuggingPort, NothingListeningIsNamed) {
  std::string refused = "http://127.0.0.1:" + std::to_string(closed_port());
  auto playwright = pw::sync_playwright().start();
  try {
    playwright->chromium()->connect_over_cdp(refused, 5000);
    FAIL() << "attached to " << refused;
  } catch (const pw::Error& e) {
    EXPECT_THAT(e.what(), HasSubstr("cannot attach to the Chromium at " + refused));
    EXPECT_THAT(e.what(), HasSubstr("ECONNREFUSED"));
  }
  playwright->stop();
}

}  // namespace
}  // namespace plainstep::testing
