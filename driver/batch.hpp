#pragma once
// Many calls in flight at once: queue them, then wait for all the answers.
//
//   pw::Batch batch(*page);
//   std::vector<pw::Pending<bool>> visible;
//   for (auto& h : handles) visible.push_back(batch.is_visible(*h));
//   batch.wait();
//   for (auto& v : visible) v.get();   // the value, or that call's error
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "driver/connection.hpp"

namespace pw {

class ElementHandle;
class Page;

// The answer to one queued call.
template <class T>
class Pending {
 public:
  Pending(std::weak_ptr<Connection> connection, std::shared_ptr<_CallState> state,
          std::function<T(const json&)> decode)
      : connection_(std::move(connection)), state_(std::move(state)), decode_(std::move(decode)) {}

  // The call's value, or throws that call's pw::Error. Waits for this one
  // call when the batch has not been waited for yet.
  T get() {
    if (!state_->done) {
      auto connection = connection_.lock();
      if (!connection) throw ConnectionError("Playwright driver has been stopped");
      connection->wait({state_});
    }
    if (state_->error) std::rethrow_exception(state_->error);
    return decode_(state_->result);
  }
  bool ready() const { return state_->done; }

 private:
  std::weak_ptr<Connection> connection_;
  std::shared_ptr<_CallState> state_;
  std::function<T(const json&)> decode_;
};

class Batch {
 public:
  // Bound to the connection of the page (or handle) given.
  explicit Batch(Page& page);
  explicit Batch(ElementHandle& handle);

  Pending<bool> is_visible(ElementHandle& handle);
  Pending<bool> is_enabled(ElementHandle& handle);
  Pending<std::string> inner_text(ElementHandle& handle);
  Pending<std::optional<std::string>> get_attribute(ElementHandle& handle, const std::string& name);
  Pending<std::optional<Rect>> bounding_box(ElementHandle& handle);
  Pending<json> evaluate(ElementHandle& handle, const std::string& function_source,
                         const json& arg = json());
  Pending<json> evaluate(Page& page, const std::string& expression, const json& arg = json());

  // Sends everything queued and waits for every answer. A call's own error
  // stays with its Pending; only a dead driver makes the waiting itself fail.
  void wait();
  size_t size() const { return calls_.size(); }

 private:
  template <class T>
  Pending<T> _queue(const std::string& guid, const std::string& method, json params,
                    std::function<T(const json&)> decode);

  std::shared_ptr<Connection> connection_;
  std::vector<std::shared_ptr<_CallState>> calls_;
};

}  // namespace pw
