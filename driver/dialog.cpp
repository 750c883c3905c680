#include "driver/dialog.hpp"

#include "driver/connection.hpp"
#include "driver/page.hpp"

namespace pw {

std::string Dialog::type() const { return initializer().value("type", ""); }
std::string Dialog::message() const { return initializer().value("message", ""); }
std::string Dialog::default_value() const { return initializer().value("defaultValue", ""); }

std::shared_ptr<Page> Dialog::page() const {
  if (!initializer().contains("page")) return nullptr;
  try {
    return _connection()->object_as<Page>(initializer()["page"]);
  } catch (const Error&) {
    return nullptr;
  }
}

void Dialog::accept(const std::optional<std::string>& prompt) {
  json params = json::object();
  // OK on a prompt nobody typed into keeps its pre-filled text, as it does
  // for a person; the driver would send "" instead.
  if (prompt)
    params["promptText"] = *prompt;
  else if (type() == "prompt")
    params["promptText"] = default_value();
  handled_ = true;
  _connection()->call(guid(), "accept", std::move(params), 0);
}

void Dialog::dismiss() {
  handled_ = true;
  _connection()->call(guid(), "dismiss", json::object(), 0);
}

}  // namespace pw
