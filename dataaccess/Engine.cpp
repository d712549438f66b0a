#include "dataaccess/Engine.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "variant/Utf8.h"

namespace kx4::ado {
namespace {

std::string Describe(const std::vector<ProviderError>& errors) {
  return errors.empty() ? std::string("Unspecified error") : errors.front().Description;
}

}  // namespace

EngineError ContractError(ContractFault fault, std::string source, std::string_view detail) {
  struct Text {
    int32_t hresult;
    int32_t native;
    const char* sql_state;
    const char* description;
  };
  // In the order of ContractFault.
  static constexpr Text kTexts[] = {
      {kErrTransaction, 0, "25000", "Only one transaction can be active on this session."},
      {kErrTransaction, 3902, "25000",
       "The COMMIT TRANSACTION request has no corresponding BEGIN TRANSACTION."},
      {kErrTransaction, 3903, "25000",
       "The ROLLBACK TRANSACTION request has no corresponding BEGIN TRANSACTION."},
      {kErrCommandFailed, 3930, "25P02",
       "The current transaction cannot be committed and cannot support further statements: it "
       "was rolled back after a time-out or a failure the engine could not undo alone. Roll back "
       "the transaction."},
      {kErrCommandFailed, 8178, "07002",
       "The statement expects a value for a parameter which was not supplied."},
      {kErrCommandFailed, 50000, "22021", "Text holding a NUL character cannot be stored."},
  };
  const Text& text = kTexts[static_cast<size_t>(fault)];
  ProviderError e{text.native, text.description, text.sql_state, std::move(source)};
  if (!detail.empty()) {
    e.Description += ' ';
    e.Description += detail;
  }
  return EngineError(text.hresult, {std::move(e)});
}

void RefuseNulInText(std::string_view batch, const std::vector<Parameter>& params,
                     const std::string& source) {
  if (batch.find('\0') != std::string_view::npos)
    throw ContractError(ContractFault::kNulInText, source, "[in the statement text]");
  for (const Parameter& p : params) {
    const std::string* text = p.Value().Get<std::string>();
    if (text && std::memchr(text->data(), '\0', text->size()))
      throw ContractError(ContractFault::kNulInText, source, "[parameter " + p.Name() + "]");
  }
}

bool IsTimeOut(const std::exception_ptr& failure) {
  try {
    std::rethrow_exception(failure);
  } catch (const EngineError& e) {
    return e.HResult() == kErrTimeout;
  } catch (...) {
    return false;
  }
}

void TransactionState::Begin() {
  if (open_)
    throw ContractError(ContractFault::kNestedTransaction, source_);
  open_ = true;
  lost_ = false;
}

void TransactionState::End(bool commit) {
  if (!open_)
    throw ContractError(
        commit ? ContractFault::kNoTransactionCommit : ContractFault::kNoTransactionRollback,
        source_);
  const bool lost = lost_;
  open_ = false;
  lost_ = false;
  if (commit && lost)
    throw ContractError(ContractFault::kTransactionLost, source_);
}

void TransactionState::CheckUsable() const {
  if (lost_)
    throw ContractError(ContractFault::kTransactionLost, source_);
}

EngineError::EngineError(int32_t hresult, std::vector<ProviderError> errors)
    : std::runtime_error(Describe(errors)), hresult_(hresult), errors_(std::move(errors)) {}

ConnectionOptions ConnectionOptions::Parse(std::string_view text) {
  ConnectionOptions o;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = std::min(text.find(';', at), text.size());
    const size_t eq = text.find('=', at);
    if (eq >= end) {
      at = end + 1;  // no key=value pair
      continue;
    }
    const std::string key = AsciiLower(TrimWhitespace(text.substr(at, eq - at)));
    std::string value;
    const size_t first = eq + 1;
    if (first < text.size() && (text[first] == '"' || text[first] == '\'')) {
      // Quoted: a doubled quotation mark stands for one; the value runs to
      // the closing one, or to the end of an unterminated text.
      const char quote = text[first];
      size_t i = first + 1;
      for (; i < text.size(); ++i) {
        if (text[i] == quote && (i + 1 >= text.size() || text[++i] != quote))
          break;
        value += text[i];
      }
      end = std::min(text.find(';', i), text.size());
    } else {
      value = text.substr(first, end - first);
    }
    at = end + 1;
    if (key == "provider") {
      o.provider = value;
    } else if (key == "data source" || key == "server" || key == "address") {
      o.data_source = value;
    } else if (key == "database" || key == "initial catalog") {
      o.database = value;
    } else if (key == "user id" || key == "uid" || key == "user") {
      o.user_id = value;
    } else if (key == "password" || key == "pwd") {
      o.password = value;
    } else if (key == "network library" || key == "network") {
      o.network_library = value;
    } else if (key == "trusted_connection" || key == "integrated security") {
      const std::string v = AsciiLower(TrimWhitespace(value));
      o.trusted = v == "yes" || v == "true" || v == "sspi";
    } else if (key == "connect timeout" || key == "connection timeout") {
      o.connect_timeout = std::atoi(std::string(TrimWhitespace(value)).c_str());
    }
  }
  return o;
}

std::string ConnectionOptions::Quote(std::string_view value) {
  if (value.find(';') == std::string_view::npos &&
      (value.empty() || (value.front() != '"' && value.front() != '\'')))
    return std::string(value);
  return Quoted(value, '"');
}

bool ConnectionOptions::IsEmbedded() const {
  const std::string v = AsciiLower(TrimWhitespace(data_source));
  return v == "(localdb)" || v.rfind("(localdb)\\", 0) == 0;
}

}  // namespace kx4::ado
