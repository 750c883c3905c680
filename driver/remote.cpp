// Browsers elsewhere: connecting to a Playwright browser server through a
// local driver, attaching to a Chromium's debugging port, and checking an
// address before either.
#include "driver/remote.hpp"

#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "driver/browser.hpp"
#include "driver/browser_type.hpp"
#include "driver/connection.hpp"
#include "driver/json_pipe.hpp"
#include "driver/playwright.hpp"

namespace pw {

using Clock = std::chrono::steady_clock;

namespace {

std::string _first_line(const std::string& text) { return text.substr(0, text.find('\n')); }

std::string _seconds(double ms) {
  std::string s = std::to_string(ms / 1000.0);
  s.erase(s.find_last_not_of('0') + 1);
  if (s.back() == '.') s.pop_back();
  return s + " s";
}

// A socket connected to the endpoint's host and port, or ConnectionError.
class _Probe {
 public:
  _Probe(const Endpoint& at, const std::string& url, std::chrono::milliseconds timeout)
      : url_(url), timeout_(timeout), until_(Clock::now() + timeout) {
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    std::string port = std::to_string(at.port);
    if (int rc = getaddrinfo(at.host.c_str(), port.c_str(), &hints, &found); rc != 0)
      throw ConnectionError("cannot reach " + url + ": unknown host " + at.host + " (" + gai_strerror(rc) + ")");
    std::string why = "no address to try";
    for (addrinfo* a = found; a && fd_ < 0; a = a->ai_next) {
      int fd = socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
      if (fd < 0) continue;
      if (connect(fd, a->ai_addr, a->ai_addrlen) == 0 || (errno == EINPROGRESS && _wait(fd, POLLOUT, why))) {
        int err = 0;
        socklen_t len = sizeof err;
        getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len);
        if (err == 0) {
          fd_ = fd;
          break;
        }
        why = std::strerror(err);
      } else if (errno != EINPROGRESS) {
        why = std::strerror(errno);
      }
      ::close(fd);
    }
    freeaddrinfo(found);
    if (fd_ < 0) throw ConnectionError("cannot reach " + url + ": " + _lower_first(why));
  }
  ~_Probe() {
    if (fd_ >= 0) ::close(fd_);
  }
  _Probe(const _Probe&) = delete;
  _Probe& operator=(const _Probe&) = delete;

  // Sends a plain request and waits for the first bytes of an answer.
  void ask(const Endpoint& at) {
    std::string request = "GET " + at.path + " HTTP/1.1\r\nHost: " + at.host + ":" + std::to_string(at.port) +
                          "\r\nConnection: close\r\n\r\n";
    if (send(fd_, request.data(), request.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(request.size()))
      throw ConnectionError("cannot reach " + url_ + ": " + _lower_first(std::strerror(errno)));
    std::string why = "it closed the connection without answering";
    if (_wait(fd_, POLLIN, why)) {
      char c = 0;
      if (recv(fd_, &c, 1, 0) == 1) return;
    }
    throw ConnectionError("cannot reach " + url_ + ": " + why);
  }

 private:
  bool _wait(int fd, short events, std::string& why) {
    for (;;) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until_ - Clock::now()).count();
      if (left <= 0) {
        why = "no answer within " + _seconds(static_cast<double>(timeout_.count()));
        return false;
      }
      pollfd p{fd, events, 0};
      int rc = poll(&p, 1, static_cast<int>(left));
      if (rc > 0) return true;
      if (rc < 0 && errno != EINTR) {
        why = std::strerror(errno);
        return false;
      }
    }
  }
  static std::string _lower_first(std::string text) {
    if (!text.empty()) text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
    return text;
  }

  std::string url_;
  std::chrono::milliseconds timeout_;
  Clock::time_point until_;
  int fd_ = -1;
};

}  // namespace

Endpoint parse_endpoint(const std::string& url) {
  auto bad = [&](const std::string& why) {
    return std::invalid_argument("'" + url + "' is not a browser address: " + why +
                                 " (such as ws://127.0.0.1:3000/ or http://127.0.0.1:9222)");
  };
  Endpoint e;
  auto colon = url.find("://");
  if (colon == std::string::npos) throw bad("it has no scheme");
  e.scheme = url.substr(0, colon);
  for (auto& c : e.scheme) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (e.scheme != "ws" && e.scheme != "wss" && e.scheme != "http" && e.scheme != "https")
    throw bad("the scheme is not ws, wss, http or https");
  std::string rest = url.substr(colon + 3);
  auto slash = rest.find_first_of("/?#");
  std::string authority = rest.substr(0, slash);
  e.path = slash == std::string::npos ? "/" : rest.substr(slash);
  if (e.path[0] != '/') e.path = "/" + e.path;
  if (auto at = authority.rfind('@'); at != std::string::npos) authority = authority.substr(at + 1);
  std::string port;
  if (!authority.empty() && authority[0] == '[') {
    auto close = authority.find(']');
    if (close == std::string::npos) throw bad("an IPv6 address without its closing ]");
    e.host = authority.substr(1, close - 1);
    if (close + 1 < authority.size()) {
      if (authority[close + 1] != ':') throw bad("text after the IPv6 address");
      port = authority.substr(close + 2);
    }
  } else {
    auto c = authority.find(':');
    e.host = authority.substr(0, c);
    if (c != std::string::npos) port = authority.substr(c + 1);
  }
  if (e.host.empty()) throw bad("it names no host");
  bool secure = e.scheme == "wss" || e.scheme == "https";
  e.port = secure ? 443 : 80;
  if (!port.empty()) {
    if (port.size() > 5 || port.find_first_not_of("0123456789") != std::string::npos) throw bad("the port is not a number");
    e.port = std::stoi(port);
    if (e.port < 1 || e.port > 65535) throw bad("the port is not from 1 to 65535");
  }
  return e;
}

void probe_endpoint(const std::string& url, std::chrono::milliseconds timeout) {
  Endpoint at = parse_endpoint(url);
  _Probe probe(at, url, timeout);
  // Behind TLS only the connection itself can be checked here.
  if (at.scheme == "ws" || at.scheme == "http") probe.ask(at);
}

std::chrono::milliseconds connect_timeout_from_environment() {
  return seconds_from_environment("PLAINSTEP_CONNECT_TIMEOUT", std::chrono::seconds(30));
}

std::shared_ptr<Playwright> PlaywrightStarter::connect(const std::string& ws_endpoint, const ConnectOptions& options) {
  auto driver = Connection::start(located_ ? where_ : locate_driver());
  const json& init = driver->playwright_initializer();
  if (!init.contains("utils") || !init["utils"].is_object())
    throw Error("this Playwright driver cannot reach browser servers (it offers no LocalUtils)");
  std::string utils = init["utils"].value("guid", "");

  json launch = {{"headless", options.launch.headless}, {"timeout", options.timeout_ms}};
  if (!options.launch.args.empty()) launch["args"] = options.launch.args;
  std::optional<std::string> executable = options.launch.executable_path;
  if (const char* v = std::getenv("PLAINSTEP_CHROMIUM"); !executable && options.browser == "chromium" && v && *v)
    executable = v;
  if (executable) launch["executablePath"] = *executable;
  json headers = {{"x-playwright-browser", options.browser}, {"x-playwright-launch-options", launch.dump()}};

  auto deadline = Clock::now() + std::chrono::milliseconds(static_cast<long long>(options.timeout_ms));
  json result;
  try {
    result = driver->call(utils, "connect", {{"endpoint", ws_endpoint}, {"headers", headers}}, options.timeout_ms);
  } catch (const ConnectionError&) {
    throw;
  } catch (const Error& e) {
    throw Error("cannot reach the browser server at " + ws_endpoint + ": " + _first_line(e.what()));
  }
  auto pipe = driver->object_as<JsonPipe>(result.at("pipe"));
  if (!pipe) throw Error("the Playwright driver gave no connection to " + ws_endpoint);
  std::shared_ptr<Connection> remote;
  try {
    remote = Connection::_over(std::make_unique<_PipeWire>(driver, pipe, ws_endpoint, deadline));
  } catch (const ConnectionError&) {
    throw;
  } catch (const Error& e) {
    // The server answered initialize with an error: its browser did not start.
    throw Error("the browser server at " + ws_endpoint + " could not start " + options.browser + ": " +
                _first_line(e.what()));
  }
  auto playwright = std::make_shared<Playwright>(remote);
  if (!playwright->server_browser())
    throw Error(ws_endpoint + " is a Playwright server that launches no browser for its clients");
  return playwright;
}

std::shared_ptr<Browser> Playwright::server_browser() {
  const json& init = connection_->playwright_initializer();
  if (!init.contains("preLaunchedBrowser")) return nullptr;
  return connection_->object_as<Browser>(init["preLaunchedBrowser"]);
}

std::shared_ptr<Browser> BrowserType::connect_over_cdp(const std::string& endpoint_url, double timeout_ms) {
  auto connection = _connection();
  json result;
  try {
    result = connection->call(guid(), "connectOverCDP", {{"endpointURL", endpoint_url}}, timeout_ms);
  } catch (const ConnectionError&) {
    throw;
  } catch (const Error& e) {
    throw Error("cannot attach to the Chromium at " + endpoint_url + ": " + _first_line(e.what()));
  }
  return connection->object_as<Browser>(result.at("browser"));
}

}  // namespace pw
