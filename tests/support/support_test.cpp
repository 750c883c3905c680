// The helpers the tests lean on to look at processes and files.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "driver/fixture_server.hpp"
#include "support/run_cli.hpp"

namespace {

using plainstep::testing::read_whole;

// A directory opens but fails on the first read, as a /proc file does when
// its process ends while it is read: that is no file's bytes, not a crash.
TEST(ReadWhole, WhatCannotBeReadIsEmpty) {
  EXPECT_EQ(read_whole(::testing::TempDir()), "");
  EXPECT_EQ(read_whole("/nonexistent/plainstep/file"), "");
}

TEST(ReadWhole, KeepsEveryByte) {
  auto path = std::filesystem::path(::testing::TempDir()) / "plainstep-read-whole.bin";
  const std::string bytes("A=1\0B=2\0\xff", 9);
  std::ofstream(path, std::ios::binary) << bytes;
  EXPECT_EQ(read_whole(path), bytes);
  std::filesystem::remove(path);
}

TEST(ReadWhole, ReadsAProcessEnvironment) {
  EXPECT_NE(read_whole("/proc/self/environ").find('='), std::string::npos);
}

// What the fixture server answers `request` with: its status line, or ""
// when it closes without one. An empty request is a connection closed unused.
std::string status_line(const plainstep::testing::FixtureServer& server, const std::string& request) {
  std::string url = server.url("");
  int port = std::stoi(url.substr(url.rfind(':') + 1));
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<uint16_t>(port));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    close(fd);
    return "cannot connect";
  }
  if (request.empty()) shutdown(fd, SHUT_WR);
  else (void)!write(fd, request.data(), request.size());
  std::string answer;
  char buf[4096];
  for (ssize_t n; (n = read(fd, buf, sizeof buf)) > 0;) answer.append(buf, static_cast<size_t>(n));
  close(fd);
  return answer.substr(0, answer.find("\r\n"));
}

// A browser opens connections it may close unused, and a folder is no
// page: the server answers both and goes on serving.
TEST(FixtureServer, ServesOnAfterAnUnusedConnectionAndAFolder) {
  plainstep::testing::FixtureServer server;
  EXPECT_EQ(status_line(server, ""), "");
  EXPECT_EQ(status_line(server, "GET / HTTP/1.1\r\n\r\n"), "HTTP/1.1 404 Not Found");
  EXPECT_EQ(status_line(server, "GET /basic.html HTTP/1.1\r\n\r\n"), "HTTP/1.1 200 OK");
}

}  // namespace
