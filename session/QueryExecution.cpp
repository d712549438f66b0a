// Statement execution and transactions of the session.
#include "session/QueryExecution.h"

#include <charconv>
#include <cmath>

#include <kx4data/KXData.h>
#include <kx4data/RuntimeError.h>
#include <kx4data/ado/Recordset.h>

#include "dataaccess/Command.h"
#include "dataaccess/Connection.h"
#include "dataaccess/RecordsetInternal.h"
#include "session/BuildDataError.h"
#include "session/Common.h"
#include "session/Security.h"
#include "session/StatementCheck.h"
#include "session/Text.h"
#include "session/clsConnectionVariables.h"

namespace kx4 {

namespace {

constexpr const char* kDefaultCaller = "KXData:minsExecuteQuery";
constexpr const char* kNoRecordsetMessage =
    "Call succeeded but returned an invalid recordset. Should use Data:ExecuteNoRecords";
constexpr int32_t kDuplicateKeyNumber = 2601;
constexpr int16_t kDefaultQueryTimeout = 60;

ado::Parameter MakeParameter(const ado::Command& command, int32_t index, const Variant& value) {
  std::string name = "Par" + std::to_string(index);
  int32_t type = ado::adNumeric;
  int32_t size = 0;
  Variant bound = value;
  switch (value.VarType()) {
    case vbInteger:
      type = ado::adSmallInt;
      break;
    case vbLong:
      type = ado::adInteger;
      break;
    case vbSingle:
      type = ado::adSingle;
      break;
    case vbDouble:
      type = ado::adDouble;
      break;
    case vbCurrency:
      type = ado::adCurrency;
      break;
    case vbDate:
      type = ado::adDate;
      break;
    case vbString: {
      type = ado::adVarWChar;
      const std::string& text = *value.Get<std::string>();
      if (text.empty()) {
        // The provider refuses a zero-length text parameter.
        size = 1;
        bound = Variant::Null();
      } else {
        size = static_cast<int32_t>(CharLength(text));
      }
      break;
    }
    case vbByte:
      type = ado::adTinyInt;
      break;
    default:
      break;
  }
  return command.CreateParameter(std::move(name), type, ado::adParamInput, size, std::move(bound));
}

// The text a non-text probe value takes in the statement.
bool ProbeValueText(const Variant& value, std::string& text) {
  switch (value.VarType()) {
    case vbEmpty:
    case vbNull:
      text = "NULL";
      return true;
    case vbBoolean:
      text = value.ToBoolean() ? "-1" : "0";
      return true;
    case vbDate:
      text = DateToSQL(value.ToDate()).ToString();
      return true;
    case vbSingle:
    case vbDouble: {
      // The host's locale may write a decimal comma, and NaN or infinity have
      // no literal at all.
      const double number = value.ToDouble();
      if (!std::isfinite(number))
        return false;
      char buffer[32];
      const auto written =
          std::to_chars(buffer, buffer + sizeof buffer, number, std::chars_format::general,
                        value.VarType() == vbSingle ? 7 : 15);
      text.assign(buffer, written.ptr);
      return true;
    }
    case vbInteger:
    case vbLong:
    case vbCurrency:
    case vbByte:
    case vbDecimal:
      text = value.ToString();
      return true;
    default:
      return false;
  }
}

// False when the value has no form a statement can hold.
bool BuildDataValueExistsSQL(const std::string& table, const std::string& field,
                             const Variant& value, bool case_sensitive, std::string& sql) {
  std::string comparison;
  if (const std::string* text = value.Get<std::string>()) {
    if (case_sensitive) {
      comparison = "WHERE " + field + " = " + QuoteSQL(*text);
    } else {
      comparison = "WHERE UPPER(" + field + ") = " + QuoteSQL(UCase(*text));
    }
  } else {
    std::string value_text;
    if (!ProbeValueText(value, value_text))
      return false;
    comparison = "WHERE " + field + " = " + value_text;
  }
  sql = "SELECT COUNT(*) FROM " + table + " " + comparison;
  return true;
}

}  // namespace

void AddParameters(ado::Command& command, const Variant& pvntParameters) {
  if (!pvntParameters.IsArray())
    return;
  const VariantArray& elements = pvntParameters.Array();
  for (int32_t i = elements.LBound(); i <= elements.UBound(); ++i)
    command.Parameters().push_back(MakeParameter(command, i, elements[i]));
}

// --- Public members ---

KXErrorPtr KXData::ExecuteReportSQL(std::shared_ptr<ado::Recordset>& pinsReturnRecordset,
                                    const std::string& pstrSQL, const Variant& pvntParameters) {
  if (!read_only_) {
    return MakeError("You can only use this method on a read-only connection.", KXError::kIconStop,
                     erInvalidSecurity);
  }
  if (KXErrorPtr refused = CheckMethodAccess(*this, kxsAdmin)) {
    if (KXErrorPtr also_refused = CheckMethodAccess(*this, kxsReporterAll))
      return also_refused;
  }
  // The read-only connection is the main guard; this keeps a writing or a
  // second statement from reaching an engine whose read mode is advisory.
  std::string reason;
  if (!IsSingleReadStatement(pstrSQL, reason)) {
    return MakeError("You can only run a single SELECT statement with this method.\r\n" + reason,
                     KXError::kIconExclamation, erInvalidSecurity);
  }
  return ExecuteSQL(pinsReturnRecordset, pstrSQL, pvntParameters);
}

KXErrorPtr KXData::BeginTrans() {
  if (!connection_)
    return MakeError("Could not begin transaction. No active connection.", KXError::kIconStop);
  try {
    if (!in_transaction_) {
      connection_->BeginTrans();
      in_transaction_ = true;
    }
    return nullptr;
  } catch (const RuntimeError& failure) {
    in_transaction_ = false;
    return BuildDataError("Could not begin transaction.", failure, "KXData:BeginTrans",
                          connection_.get());
  }
}

KXErrorPtr KXData::CommitTrans() {
  KXErrorPtr result;
  if (!connection_) {
    result = MakeError("There is no active connection.", KXError::kIconExclamation);
  } else {
    try {
      if (in_transaction_)
        connection_->CommitTrans();
    } catch (const RuntimeError& failure) {
      result = BuildDataError("Could not commit transaction.", failure, "KXData:CommitTrans",
                              connection_.get());
    }
  }
  in_transaction_ = false;
  return result;
}

KXErrorPtr KXData::RollbackTrans() {
  KXErrorPtr result;
  if (!connection_) {
    result = MakeError("There is no active connection.", KXError::kIconStop);
  } else {
    try {
      if (in_transaction_)
        connection_->RollbackTrans();
    } catch (const RuntimeError& failure) {
      result = BuildDataError("Could not rollback transaction.", failure, "KXData:RollbackTrans",
                              connection_.get());
    }
  }
  in_transaction_ = false;
  return result;
}

KXErrorPtr KXData::DataValueExists(bool& pblnValueExists, const std::string& pstrTable,
                                   const std::string& pstrField, const Variant& pvntToCompare,
                                   bool pblnCaseSensitive) {
  // Table and field go into the statement as they stand, so only plain names
  // are accepted.
  for (const std::string* name : {&pstrTable, &pstrField}) {
    if (!IsPlainIdentifier(*name)) {
      pblnValueExists = true;
      return MakeError("\"" + *name +
                           "\" is not a valid table or field name. Use letters, digits and "
                           "underscores, with at most one \".\" after an owner.",
                       KXError::kIconStop);
    }
  }
  std::string sql;
  if (!BuildDataValueExistsSQL(pstrTable, pstrField, pvntToCompare, pblnCaseSensitive, sql)) {
    pblnValueExists = true;
    return MakeError("The value to compare must be a text, a number, a date or a flag.",
                     KXError::kIconStop);
  }

  std::shared_ptr<ado::Recordset> rs;
  KXErrorPtr error = ExecuteSQL(rs, sql, Variant::Null());
  if (error) {
    // A failed probe reports the value as existing, so nothing is inserted
    // on the strength of it.
    pblnValueExists = true;
    return error;
  }
  pblnValueExists = rs->Fields(0).Value().ToDouble() != 0;
  rs->Close();
  return nullptr;
}

// --- Internal members ---

KXErrorPtr KXData::ExecuteNoRecords(const std::string& pstrSQL, const Variant& pvntParameters,
                                    int32_t& plngRecordsAffected) {
  return minsExecuteQuery(pstrSQL, pvntParameters, nullptr, plngRecordsAffected);
}

KXErrorPtr KXData::ExecuteSQL(std::shared_ptr<ado::Recordset>& pinsRecordset,
                              const std::string& pstrSQL, const Variant& pvntParameters) {
  auto rs = std::make_shared<ado::Recordset>();
  ado::RecordsetInternal::SetCursorLocation(*rs, ado::adUseClient);
  int32_t discarded = 0;
  KXErrorPtr result = minsExecuteQuery(pstrSQL, pvntParameters, &rs, discarded);
  pinsRecordset = std::move(rs);
  return result;
}

KXErrorPtr KXData::minsExecuteQuery(const std::string& pstrSQL, const Variant& pvntParameters,
                                    std::shared_ptr<ado::Recordset>* pinsRecordset,
                                    int32_t& plngRecordsAffected) {
  KXErrorPtr result;
  bool opened = false;
  ado::Command command;
  try {
    caller_ = TrimSpaces(caller_);
    if (caller_.empty())
      caller_ = kDefaultCaller;
    command.SetCommandText(pstrSQL);
    command.SetCommandTimeout(connection_variables_ ? connection_variables_->QueryTimeout()
                                                    : kDefaultQueryTimeout);
    command.SetCommandType(ado::adCmdText);
    minsAddParameters(command, pvntParameters);

    result = minsCheckConnection(opened);
    if (!result) {
      command.SetActiveConnection(connection_);
      if (pinsRecordset == nullptr) {
        command.Execute(&plngRecordsAffected, ado::adOptionUnspecified);
      } else {
        ado::RecordsetInternal::Open(**pinsRecordset, command, ado::adOpenStatic,
                                     ado::adLockReadOnly, ado::adOptionUnspecified);
        if ((*pinsRecordset)->State() == ado::adStateClosed) {
          pinsRecordset->reset();
          throw RuntimeError(-1, kNoRecordsetMessage);
        }
      }
    }
  } catch (const std::exception& failure) {
    const auto* runtime = dynamic_cast<const RuntimeError*>(&failure);
    result = runtime
                 ? BuildDataError("Could not execute query.", *runtime, caller_, connection_.get())
                 : BuildDataError("Could not execute query.", failure, caller_, connection_.get());
    // A duplicate key is the uniqueness guard of several records: expected,
    // and reported by them in words of their own.
    if (result->Number() != kDuplicateKeyNumber) {
      WriteErrorLog("Data error: " + std::to_string(result->Number()) + " - " + result->Message());
      WriteErrorLog(pstrSQL);
    }
  }
  if (pinsRecordset != nullptr && *pinsRecordset && (*pinsRecordset)->State() != ado::adStateClosed)
    ado::RecordsetInternal::SetActiveConnection(**pinsRecordset, nullptr);
  command.SetActiveConnection(nullptr);
  if (opened)
    CloseConnection();
  return result;
}

void KXData::minsAddParameters(ado::Command& command, const Variant& pvntParameters) const {
  AddParameters(command, pvntParameters);
}

}  // namespace kx4
