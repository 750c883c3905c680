#include "driver/remote_object.hpp"

#include "driver/connection.hpp"

namespace pw {

RemoteObject::RemoteObject(std::weak_ptr<Connection> connection, std::string type, std::string guid,
                           json initializer)
    : connection_(std::move(connection)),
      type_(std::move(type)),
      guid_(std::move(guid)),
      initializer_(std::move(initializer)) {}

std::shared_ptr<Connection> RemoteObject::_connection() const {
  auto c = connection_.lock();
  if (!c) throw ConnectionError("the Playwright driver has been stopped");
  return c;
}

json RemoteObject::_call(const std::string& method, json params) const {
  return _connection()->call(guid_, method, std::move(params));
}

}  // namespace pw
