#pragma once
// A JavaScript world of our own in a page's main frame (Chromium's
// isolated world, made through a CDP session): it shares the page's
// document but none of its scripts, so nothing a page does to the
// built-ins (JSON, Array.prototype, element getters and methods) reaches
// a function run there. The world is made on first use and made again
// whenever the page's document has been replaced.
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "driver/types.hpp"

namespace pw {

class CDPSession;
class Page;

class IsolatedWorld {
 public:
  // The page's world, made once per page and kept by the page; nullptr
  // when the browser offers no CDP session (any browser but Chromium).
  static std::shared_ptr<IsolatedWorld> of(Page& page);

  explicit IsolatedWorld(std::shared_ptr<CDPSession> session);

  // Calls the function (its source, or an expression giving it) with
  // `arg` in the world and returns its result as JSON, by value.
  // Meets a navigation mid-call by calling again in the new document's
  // world; an exception thrown by the function is a pw::Error with its
  // message.
  json call(const std::string& function_source, const json& arg = json());

 private:
  void _create();
  json _call_once(const std::string& function_source, const json& arg);

  std::shared_ptr<CDPSession> session_;
  std::string marker_;  // the global that tells our world from any other
  std::string token_;   // its value in the world made last
  std::optional<long long> context_;
  std::map<std::string, size_t> defined_;  // functions kept in the world made last, by their source
};

}  // namespace pw
