#include "dataaccess/Connection.h"

#include <kx4data/RuntimeError.h>

#include "dataaccess/ConnectionPool.h"
#include "dataaccess/Engine.h"

namespace kx4::ado {

Connection::Connection() = default;

Connection::~Connection() {
  engine_.reset();
}

void Connection::Open(const std::string& user_id, const std::string& password, int32_t) {
  if (engine_)
    throw RuntimeError(kErrProviderFailure, "Operation is not allowed when the object is open.");
  try {
    ConnectionOptions options = ConnectionOptions::Parse(connection_string_);
    if (!user_id.empty())
      options.user_id = user_id;
    if (!password.empty())
      options.password = password;
    options.mode = mode_ == adModeUnknown ? adModeReadWrite : mode_;
    options.connect_timeout = connection_timeout_;
    engine_ = ConnectionPool::Instance().Open(options);
    errors_.clear();
  } catch (...) {
    Fail(std::current_exception());
  }
}

void Connection::Close() {
  if (!engine_)
    throw RuntimeError(kErrObjectClosed, "Operation is not allowed when the object is closed.");
  engine_.reset();
}

EngineConnection& Connection::Engine() {
  if (!engine_)
    throw RuntimeError(kErrObjectClosed, "Operation is not allowed when the object is closed.");
  return *engine_;
}

void Connection::BeginTrans() {
  try {
    Engine().BeginTransaction();
    errors_.clear();
  } catch (...) {
    Fail(std::current_exception());
  }
}

void Connection::CommitTrans() {
  try {
    Engine().CommitTransaction();
    errors_.clear();
  } catch (...) {
    Fail(std::current_exception());
  }
}

void Connection::RollbackTrans() {
  try {
    Engine().RollbackTransaction();
    errors_.clear();
  } catch (...) {
    Fail(std::current_exception());
  }
}

void Connection::Fail(const std::exception_ptr& failure) {
  try {
    std::rethrow_exception(failure);
  } catch (const EngineError& e) {
    errors_ = e.Errors();
    throw RuntimeError(e.HResult(), e.what(),
                       errors_.empty() ? std::string("kx4data") : errors_.front().Source);
  } catch (const RuntimeError&) {
    errors_.clear();
    throw;
  } catch (const std::exception& e) {
    errors_.clear();
    throw RuntimeError(kErrProviderFailure, e.what(), "kx4data");
  }
}

}  // namespace kx4::ado
