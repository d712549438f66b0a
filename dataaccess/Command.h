// One statement (or batch) with its input parameters.
#ifndef KX4DATA_DATAACCESS_COMMAND_H_
#define KX4DATA_DATAACCESS_COMMAND_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <kx4data/Variant.h>

#include "dataaccess/Types.h"

namespace kx4::ado {

class Connection;
class ResultTable;

class Parameter {
 public:
  Parameter() = default;
  Parameter(std::string name, int32_t type, int32_t direction, int32_t size, Variant value)
      : name_(std::move(name)),
        type_(type),
        direction_(direction),
        size_(size),
        value_(std::move(value)) {}

  const std::string& Name() const { return name_; }
  int32_t Type() const { return type_; }  // DataTypeEnum
  int32_t Direction() const { return direction_; }
  int32_t Size() const { return size_; }
  const Variant& Value() const { return value_; }
  void SetValue(Variant value) { value_ = std::move(value); }

 private:
  std::string name_;
  int32_t type_ = adEmpty;
  int32_t direction_ = adParamInput;
  int32_t size_ = 0;
  Variant value_;
};

class Command {
 public:
  const std::string& CommandText() const { return command_text_; }
  void SetCommandText(std::string text) { command_text_ = std::move(text); }
  int32_t CommandTimeout() const { return command_timeout_; }  // seconds; 0 = none
  void SetCommandTimeout(int32_t seconds) { command_timeout_ = seconds; }
  int32_t CommandType() const { return command_type_; }
  void SetCommandType(int32_t type) { command_type_ = type; }

  Parameter CreateParameter(std::string name, int32_t type, int32_t direction, int32_t size,
                            Variant value) const {
    return Parameter(std::move(name), type, direction, size, std::move(value));
  }
  std::vector<Parameter>& Parameters() { return parameters_; }
  const std::vector<Parameter>& Parameters() const { return parameters_; }

  const std::shared_ptr<Connection>& ActiveConnection() const { return connection_; }
  void SetActiveConnection(std::shared_ptr<Connection> connection) {
    connection_ = std::move(connection);
  }

  // Runs the command and discards any rows; `records_affected` receives the
  // rows the data change touched.  Throws RuntimeError on failure (the
  // connection's Errors() says why).
  void Execute(int32_t* records_affected = nullptr, int32_t options = adOptionUnspecified);

  // Runs the command and fetches every row of its last result set into
  // `rows`; returns false when the command produced no result set at all.
  bool ExecuteInto(ResultTable& rows, int64_t* records_affected = nullptr);

 private:
  std::string command_text_;
  int32_t command_timeout_ = 30;
  int32_t command_type_ = adCmdText;
  std::vector<Parameter> parameters_;
  std::shared_ptr<Connection> connection_;
};

}  // namespace kx4::ado

#endif  // KX4DATA_DATAACCESS_COMMAND_H_
