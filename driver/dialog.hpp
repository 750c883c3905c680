#pragma once
// An alert, confirm, prompt or beforeunload dialog the page opened. The page
// is blocked until it is accepted or dismissed.
#include <memory>
#include <optional>
#include <string>

#include "driver/remote_object.hpp"

namespace pw {

class Page;

class Dialog : public RemoteObject {
 public:
  using RemoteObject::RemoteObject;

  // "alert", "confirm", "prompt" or "beforeunload". These three stay
  // readable after the driver is gone.
  std::string type() const;
  std::string message() const;
  std::string default_value() const;  // a prompt's pre-filled text
  std::shared_ptr<Page> page() const;  // nullptr when not known

  // Answers the dialog: OK. A prompt answers `prompt` when given, else its
  // pre-filled text (as OK does for a person).
  void accept(const std::optional<std::string>& prompt = std::nullopt);
  void dismiss();
  // True once accept() or dismiss() was called on this object (or it was
  // dismissed because its page had no dialog handler).
  bool is_handled() const { return handled_; }

 private:
  friend class BrowserContext;
  friend class Page;
  bool handled_ = false;
};

}  // namespace pw
