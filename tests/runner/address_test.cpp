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
