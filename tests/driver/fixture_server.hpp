#pragma once
// A loopback HTTP server for fixture pages that need real timing or a site
// of their own: serves the files of a fixture folder (tests/fixtures/session
// unless told), /slow?ms=N after N milliseconds, and what a test's own
// route answers for a path.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/run_cli.hpp"

namespace plainstep::testing {

class FixtureServer {
 public:
  // The page a test serves for a path (query included), or nullopt to
  // serve the folder's file. Called on the server's threads.
  using Route = std::function<std::optional<std::string>(const std::string& path)>;

  explicit FixtureServer(std::string root = std::string(PLAINSTEP_FIXTURES) + "/session", Route route = {})
      : root_(std::move(root)), route_(std::move(route)) {
    listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (bind(listener_, reinterpret_cast<sockaddr*>(&addr), len) != 0 || listen(listener_, 16) != 0 ||
        getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &len) != 0)
      return;
    port_ = ntohs(addr.sin_port);
    acceptor_ = std::thread([this] { _accept(); });
  }
  ~FixtureServer() {
    stopping_ = true;
    if (acceptor_.joinable()) acceptor_.join();
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto& t : workers_) t.join();
    ::close(listener_);
  }
  std::string url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + "/" + path;
  }

 private:
  void _accept() {
    while (!stopping_) {
      pollfd p{listener_, POLLIN, 0};
      if (poll(&p, 1, 50) <= 0) continue;
      int client = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
      if (client < 0) continue;
      std::lock_guard<std::mutex> lock(mutex_);
      workers_.emplace_back([this, client] { _serve(client); });
    }
  }
  void _serve(int client) {
    std::string request;
    char buf[4096];
    while (request.find("\r\n\r\n") == std::string::npos) {
      pollfd p{client, POLLIN, 0};
      if (stopping_ || poll(&p, 1, 100) < 0) break;
      if (!(p.revents & POLLIN)) continue;
      ssize_t n = read(client, buf, sizeof buf);
      if (n <= 0) break;
      request.append(buf, static_cast<size_t>(n));
    }
    auto space = request.find(' ');
    if (space == std::string::npos) {  // closed unused: a browser's preconnection
      ::close(client);
      return;
    }
    auto start = space + 1;
    std::string path = request.substr(start, request.find(' ', start) - start);
    std::string body, type = "text/html", status = "200 OK";
    std::optional<std::string> routed = route_ ? route_(path) : std::nullopt;
    if (routed) {
      body = *routed;
    } else if (path.rfind("/slow?ms=", 0) == 0) {
      auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(std::stoi(path.substr(9)));
      while (!stopping_ && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      type = "text/plain";
      body = "late";
    } else {
      // Files only: a folder opens, then fails the first read.
      std::string file = root_ + path.substr(0, path.find('?'));
      std::error_code error;
      if (path.find("..") == std::string::npos && std::filesystem::is_regular_file(file, error))
        body = read_whole(file);
      else
        status = "404 Not Found";
    }
    std::string response = "HTTP/1.1 " + status + "\r\nContent-Type: " + type +
                           "\r\nConnection: close\r\nContent-Length: " + std::to_string(body.size()) +
                           "\r\n\r\n" + body;
    (void)!send(client, response.data(), response.size(), MSG_NOSIGNAL);
    ::close(client);
  }

  std::string root_;
  Route route_;
  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  std::thread acceptor_;
  std::mutex mutex_;
  std::vector<std::thread> workers_;
};

}  // namespace plainstep::testing
