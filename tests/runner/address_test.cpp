#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "run_address.hpp"

using plainstep::host::file_url;
using plainstep::host::resolve_start_url;
namespace fs = std::filesystem;

TEST(StartAddress, WebAddressesStayAsWritten) {
  for (const char* a : {"https://example.com/a?b=1", "http://localhost:8080", "about:blank",
                        "file:///tmp/x.html", "data:text/html,<p>hi</p>"})
    EXPECT_EQ(resolve_start_url(a, "/nowhere"), a);
}

TEST(StartAddress, RelativePathsResolveAgainstTheStepFilesFolder) {
  fs::path dir = fs::temp_directory_path() / "plainstep addr test";
  fs::create_directories(dir / "site");
  std::ofstream(dir / "site" / "index.html") << "<p>x</p>";
  EXPECT_EQ(resolve_start_url("site/index.html", dir.string()),
            file_url((fs::canonical(dir) / "site" / "index.html").string()));
  EXPECT_EQ(resolve_start_url(" site/index.html#cart ", dir.string()),
            file_url((fs::canonical(dir) / "site" / "index.html").string()) + "#cart");
  EXPECT_NE(file_url((dir / "site").string()).find("plainstep%20addr%20test"), std::string::npos);
  try {
    resolve_start_url("site/missing.html", dir.string());
    FAIL();
  } catch (const std::invalid_argument& e) {
    EXPECT_NE(std::string(e.what()).find("'site/missing.html'"), std::string::npos) << e.what();
  }
  EXPECT_THROW(resolve_start_url("  ", dir.string()), std::invalid_argument);
  fs::remove_all(dir);
}

// An address starting with "/" on a site: taken from the base address's
// scheme and host, as a browser takes it, whatever path the base has.
struct Joined {
  const char* base;
  const char* path;
  const char* url;  // nullptr: the base is refused
};

class BaseAddress : public ::testing::TestWithParam<Joined> {};

TEST_P(BaseAddress, TakesThePathFromTheBasesHost) {
  const auto& c = GetParam();
  if (!c.url) {
    EXPECT_THROW(plainstep::host::join_url(c.base, c.path), std::invalid_argument) << c.base;
    return;
  }
  EXPECT_EQ(plainstep::host::join_url(c.base, c.path), c.url);
}

INSTANTIATE_TEST_SUITE_P(
    Addresses, BaseAddress,
    ::testing::Values(Joined{"http://localhost:8080", "/login", "http://localhost:8080/login"},
                      Joined{"http://localhost:8080/", "/login", "http://localhost:8080/login"},
                      Joined{"https://staging.example.com/app/home?x=1#top", "/cart?id=2#pay",
                             "https://staging.example.com/cart?id=2#pay"},
                      Joined{"https://example.com?x=1", "/a", "https://example.com/a"},
                      Joined{"https://example.com", "//cdn.example.com/a", "https://cdn.example.com/a"},
                      Joined{"file:///srv/site/index.html", "/other.html", "file:///other.html"},
                      Joined{"localhost", "/a", nullptr}, Joined{"about:blank", "/a", nullptr},
                      Joined{"", "/a", nullptr}),
    [](const auto& info) { return "case" + std::to_string(info.index); });

TEST(StartAddress, ASlashAddressIsTakenFromTheBaseAddressWhenThereIsOne) {
  EXPECT_EQ(resolve_start_url("/checkout", "/nowhere", std::string("http://127.0.0.1:3000/shop/")),
            "http://127.0.0.1:3000/checkout");
  // a web address stays as written, and a relative path is still a file
  EXPECT_EQ(resolve_start_url("https://example.com/a", "/nowhere", std::string("http://127.0.0.1:3000")),
            "https://example.com/a");
  EXPECT_THROW(resolve_start_url("site/index.html", "/nowhere", std::string("http://127.0.0.1:3000")),
               std::invalid_argument);
  // without one, "/checkout" is a file, and the message says what it lacks
  try {
    resolve_start_url("/checkout", "/nowhere");
    FAIL();
  } catch (const std::invalid_argument& e) {
    EXPECT_NE(std::string(e.what()).find("needs --base-url"), std::string::npos) << e.what();
  }
}
