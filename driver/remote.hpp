#pragma once
// Addresses of browsers elsewhere: a Playwright browser server
// (ws://HOST:PORT/PATH) or a Chromium's debugging port (http://HOST:PORT),
// checked before any driver starts.
#include <chrono>
#include <string>

namespace pw {

struct Endpoint {
  std::string scheme;  // ws, wss, http or https
  std::string host;    // without the brackets of an IPv6 address
  int port = 0;        // the scheme's own when the address names none
  std::string path;    // "/" at least
};

// Reads an address of one of those schemes. Throws std::invalid_argument
// naming the text when it is not one.
Endpoint parse_endpoint(const std::string& url);

// Checks that something answers at the address within `timeout`: a TCP
// connection and, for ws:// and http://, the start of an HTTP answer to a
// plain request (a Playwright browser server and a debugging port both
// give one). Throws pw::ConnectionError naming the address and what went
// wrong: an unknown host, a refused connection, no answer in time.
void probe_endpoint(const std::string& url, std::chrono::milliseconds timeout);

// The bound of PLAINSTEP_CONNECT_TIMEOUT (seconds) on reaching a remote
// browser, 30 s when unset. Throws std::invalid_argument naming the
// variable and its value when it is not a plain number of seconds from
// 0.001 to 86400.
std::chrono::milliseconds connect_timeout_from_environment();

}  // namespace pw
