#pragma once
// Base of every object the driver has created on our side of the pipe.
#include <memory>
#include <string>

#include "driver/errors.hpp"
#include "driver/types.hpp"

namespace pw {

class Connection;

class RemoteObject {
 public:
  RemoteObject(std::weak_ptr<Connection> connection, std::string type, std::string guid,
               json initializer);
  virtual ~RemoteObject() = default;

  const std::string& guid() const { return guid_; }
  const std::string& type() const { return type_; }
  const json& initializer() const { return initializer_; }
  // True once the driver has let go of the object (page closed, element
  // handle disposed, driver stopped).
  bool is_disposed() const { return disposed_; }

 protected:
  // The connection, or ConnectionError when the driver has been stopped.
  std::shared_ptr<Connection> _connection() const;
  // A call on this object; see Connection::call.
  json _call(const std::string& method, json params = json::object()) const;

  virtual void _on_event(const std::string& /*method*/, const json& /*params*/) {}
  virtual void _on_dispose() {}

 private:
  friend class Batch;
  friend class Connection;
  std::weak_ptr<Connection> connection_;
  std::string type_;
  std::string guid_;
  json initializer_;
  bool disposed_ = false;
};

}  // namespace pw
