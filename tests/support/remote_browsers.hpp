#pragma once
// Browsers elsewhere, on the loopback address, for the tests of reaching
// them: a Playwright browser server (cli.js run-server) and a Chromium with
// a debugging port. Each runs in a process group of its own with a marker
// in its environment, which everything it starts inherits, so a test can
// tell whether anything it started is still running.
#include <arpa/inet.h>
#include <dirent.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "driver/browser_type.hpp"
#include "driver/playwright.hpp"
#include "support/run_cli.hpp"

extern char** environ;

namespace plainstep::testing {

using namespace std::chrono_literals;

// NAME=VALUE, new for each call and unique among the test's processes.
inline std::string new_marker() {
  static std::atomic<int> count{0};
  return "PLAINSTEP_TEST_MARK=" + std::to_string(getpid()) + "-" + std::to_string(++count) + "-" +
         std::to_string(std::chrono::steady_clock::now().time_since_epoch().count());
}

// The processes whose environment holds `marker`, once none is left or
// `wait` has passed.
inline std::vector<pid_t> marked_processes(const std::string& marker, std::chrono::milliseconds wait = 5000ms,
                                           pid_t except = 0) {
  auto until = std::chrono::steady_clock::now() + wait;
  for (;;) {
    std::vector<pid_t> found;
    if (DIR* d = opendir("/proc")) {
      while (dirent* e = readdir(d)) {
        char* end = nullptr;
        long pid = std::strtol(e->d_name, &end, 10);
        if (!end || *end || pid <= 0 || pid == except) continue;
        std::string env = read_whole(std::string("/proc/") + e->d_name + "/environ");
        for (size_t from = 0; from < env.size();) {
          size_t to = env.find('\0', from);
          if (to == std::string::npos) to = env.size();
          if (env.compare(from, to - from, marker) == 0) {
            std::ifstream stat(std::string("/proc/") + e->d_name + "/stat");
            std::string text;
            std::getline(stat, text);
            auto close = text.rfind(')');
            // A zombie has ended; its parent just has not reaped it yet.
            if (close != std::string::npos && close + 2 < text.size() && text[close + 2] != 'Z')
              found.push_back(static_cast<pid_t>(pid));
            break;
          }
          from = to + 1;
        }
      }
      closedir(d);
    }
    if (found.empty() || std::chrono::steady_clock::now() >= until) return found;
    std::this_thread::sleep_for(50ms);
  }
}

// A process with its output (standard output and error together) in a
// file the test reads, so a chatty process never blocks on a full pipe;
// stopped, with its whole group, when the test is done with it.
class Spawned {
 public:
  explicit Spawned(std::vector<std::string> args, std::vector<std::string> env = {}) : marker_(new_marker()) {
    log_ = (std::filesystem::temp_directory_path() /
            ("plainstep-spawned-" + marker_.substr(marker_.find('=') + 1) + ".log"))
               .string();
    std::vector<std::string> envs;
    for (char** e = environ; *e; ++e) envs.emplace_back(*e);
    envs.insert(envs.end(), env.begin(), env.end());
    envs.push_back(marker_);
    std::vector<char*> argv, envp;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    for (auto& e : envs) envp.push_back(e.data());
    envp.push_back(nullptr);
    int out = open(log_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (out < 0) return;
    pid_t parent = getpid();
    pid_ = fork();
    if (pid_ == 0) {
      setpgid(0, 0);
      prctl(PR_SET_PDEATHSIG, SIGKILL);  // never outlives a crashed test
      if (getppid() != parent) _exit(127);
      dup2(out, 1);
      dup2(out, 2);
      execve(argv[0], argv.data(), envp.data());
      _exit(127);
    }
    ::close(out);
  }
  ~Spawned() {
    stop();
    std::error_code ec;
    std::filesystem::remove(log_, ec);
  }
  Spawned(const Spawned&) = delete;
  Spawned& operator=(const Spawned&) = delete;

  // The first group of the first match of `pattern` in its output, waiting
  // up to `wait` for it; "" when it does not come.
  std::string wait_for(const std::regex& pattern, std::chrono::milliseconds wait) {
    auto until = std::chrono::steady_clock::now() + wait;
    for (;;) {
      std::smatch m;
      const std::string& text = output();
      if (std::regex_search(text, m, pattern)) return m[1];
      if (std::chrono::steady_clock::now() >= until || !running()) return "";
      std::this_thread::sleep_for(50ms);
    }
  }
  const std::string& output() {
    std::ifstream in(log_, std::ios::binary);
    output_.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return output_;
  }
  bool running() const { return pid_ > 0 && waitpid(pid_, nullptr, WNOHANG) == 0; }
  // `sig` to its group, SIGKILL after a grace; reaped either way.
  void stop(int sig = SIGTERM) {
    if (pid_ <= 0) return;
    kill(-pid_, sig);
    for (int i = 0; i < 100 && waitpid(pid_, nullptr, WNOHANG) == 0; ++i) std::this_thread::sleep_for(50ms);
    kill(-pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = 0;
  }
  pid_t pid() const { return pid_; }
  const std::string& marker() const { return marker_; }

 private:
  std::string marker_;
  std::string log_;
  pid_t pid_ = -1;
  std::string output_;
};

// The chromium the driver would launch here.
inline std::string chromium_path() {
  static const std::string path = [] {
    auto playwright = pw::sync_playwright().start();
    return playwright->chromium()->executable_path();
  }();
  return path;
}

// `cli.js run-server` on 127.0.0.1 and a port of its choosing. --unsafe
// lets a client name the chromium to launch: this machine may have none of
// Playwright's own builds.
// With DEBUG=pw:server it logs each client it launches a browser for.
class BrowserServer : public Spawned {
 public:
  explicit BrowserServer(std::vector<std::string> env = {})
      : Spawned({pw::locate_driver().node, pw::locate_driver().playwright_dir + "/cli.js", "run-server", "--host",
                 "127.0.0.1", "--port", "0", "--unsafe"},
                std::move(env)) {
    ws_endpoint = wait_for(std::regex(R"(Listening on (ws://\S+))"), 30s);
  }
  std::string ws_endpoint;  // "" when it did not start
};

// A headless chromium with a debugging port of its choosing and a profile
// of its own.
class DebuggingChromium : public Spawned {
 public:
  DebuggingChromium() : DebuggingChromium(_profile()) {}
  ~DebuggingChromium() {
    stop();
    std::error_code ec;
    std::filesystem::remove_all(profile_, ec);
  }
  std::string http_endpoint;  // "" when it did not start
  int port = 0;

 private:
  explicit DebuggingChromium(std::string profile)
      : Spawned({chromium_path(), "--headless", "--no-sandbox", "--remote-debugging-port=0",
                 "--remote-debugging-address=127.0.0.1", "--user-data-dir=" + profile, "--no-first-run",
                 "--disable-background-networking", "--disable-component-update", "--disable-sync",
                 "--disable-gpu", "about:blank"}),
        profile_(std::move(profile)) {
    std::string ws = wait_for(std::regex(R"(DevTools listening on (ws://\S+))"), 30s);
    std::smatch m;
    if (std::regex_search(ws, m, std::regex(R"(:(\d+)/)"))) {
      port = std::stoi(m[1]);
      http_endpoint = "http://127.0.0.1:" + m[1].str();
    }
  }
  static std::string _profile() {
    static std::atomic<int> count{0};
    auto dir = std::filesystem::temp_directory_path() /
               ("plainstep-cdp-" + std::to_string(getpid()) + "-" + std::to_string(++count));
    std::filesystem::create_directories(dir);
    return dir.string();
  }
  std::string profile_;
};

// A GET on 127.0.0.1:port; the body, "" when nothing answered.
inline std::string http_get(int port, const std::string& path) {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<uint16_t>(port));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  timeval wait{5, 0};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
  std::string answer;
  if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) {
    std::string request = "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n";
    if (send(fd, request.data(), request.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(request.size())) {
      // Chromium keeps the connection open: the body ends at its length.
      static const std::regex length(R"(Content-Length:\s*(\d+))", std::regex::icase);
      char buf[4096];
      for (ssize_t n; (n = recv(fd, buf, sizeof buf, 0)) > 0;) {
        answer.append(buf, static_cast<size_t>(n));
        auto head = answer.find("\r\n\r\n");
        std::smatch m;
        std::string headers = answer.substr(0, head);
        if (head != std::string::npos && std::regex_search(headers, m, length) &&
            answer.size() >= head + 4 + std::stoul(m[1]))
          break;
      }
    }
  }
  ::close(fd);
  auto body = answer.find("\r\n\r\n");
  return body == std::string::npos ? "" : answer.substr(body + 4);
}

// How many tabs the chromium at `port` has open.
inline int open_pages(int port) {
  std::string list = http_get(port, "/json/list");
  int pages = 0;
  for (size_t at = 0; (at = list.find("\"type\": \"page\"", at)) != std::string::npos; ++at) ++pages;
  return pages;
}

// A loopback port nothing listens on (the kernel's choice, released).
inline int closed_port() {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof addr;
  bind(fd, reinterpret_cast<sockaddr*>(&addr), len);
  getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
  ::close(fd);
  return ntohs(addr.sin_port);
}

// A loopback port that takes connections and never answers.
class SilentListener {
 public:
  SilentListener() {
    fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    bind(fd_, reinterpret_cast<sockaddr*>(&addr), len);
    listen(fd_, 16);
    getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len);
    port = ntohs(addr.sin_port);
  }
  ~SilentListener() { ::close(fd_); }
  SilentListener(const SilentListener&) = delete;
  SilentListener& operator=(const SilentListener&) = delete;
  int port = 0;

 private:
  int fd_ = -1;
};

}  // namespace plainstep::testing
