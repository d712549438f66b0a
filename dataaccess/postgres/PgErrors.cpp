#include "dataaccess/postgres/PgErrors.h"

#include <cctype>
#include <utility>
#include <vector>

namespace kx4::ado::pg {

namespace {

struct StateNumber {
  const char* sqlstate;
  int32_t native;
};

// The server's numbers for the failures its statements can meet.
constexpr StateNumber kStateNumbers[] = {
    {"21000", 512},   // subquery returned more than one row
    {"22001", 8152},  // string or binary data would be truncated
    {"22003", 8115},  // arithmetic overflow
    {"22004", 515},   // null value not allowed
    {"22007", 241},   // conversion failed when converting date and/or time
    {"22008", 242},   // date-time value out of range
    {"22012", 8134},  // divide by zero
    {"22018", 245},   // conversion failed
    {"22P02", 245},   // conversion failed
    {"23502", 515},   // cannot insert the value NULL
    {"23503", 547},   // conflicted with a FOREIGN KEY constraint
    {"23514", 547},   // conflicted with a CHECK constraint
    {"23P01", 547},   // exclusion constraint
    {"25001", 226},   // not allowed within a multi-statement transaction
    {"25006", kNativeReadOnly},
    {"25P02", kNativeCommitFailed},
    {"28000", 18456},  // login failed
    {"28P01", 18456},
    {"2BP01", 3729},  // cannot drop, referenced by another object
    {"3D000", 4060},  // cannot open database
    {"40001", 1205},  // deadlock victim
    {"40P01", 1205},
    {"42501", 229},   // permission denied
    {"42601", 102},   // incorrect syntax
    {"42622", 103},   // identifier too long
    {"42702", 209},   // ambiguous column name
    {"42703", 207},   // invalid column name
    {"42803", 8120},  // not in an aggregate or GROUP BY
    {"42804", 206},   // operand type clash
    {"42846", 529},   // conversion not allowed
    {"42883", 195},   // not a recognized function
    {"42P01", 208},   // invalid object name
    {"42P02", 137},   // must declare the variable
    {"42P04", 1801},  // database already exists
    {"42P06", 2714},  // there is already an object named ...
    {"42P07", 2714},
    {"42710", 2714},
    {"428C9", 544},  // cannot insert explicit value for identity column
    {"53300", kNativeConnectionFailed},
    {"57014", kNativeTimeout},
    {"57P01", kNativeConnectionLost},
    {"57P02", kNativeConnectionLost},
    {"57P03", kNativeConnectionFailed},
};

bool EndsWith(std::string_view text, std::string_view tail) {
  return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

bool IsSqlState(std::string_view text) {
  if (text.size() != 5) {
    return false;
  }
  for (char c : text) {
    if (!std::isdigit(static_cast<unsigned char>(c)) &&
        !std::isupper(static_cast<unsigned char>(c))) {
      return false;
    }
  }
  return true;
}

// libpq's verbose connection message: "...failed: FATAL:  28P01: password
// authentication failed ...\nLOCATION:  ...".  Takes out the SQLSTATE and the
// location line, leaving the text a user would see.
std::string CleanConnectionMessage(std::string_view message, std::string& sqlstate) {
  std::string result;
  size_t start = 0;
  while (start < message.size()) {
    size_t end = message.find('\n', start);
    if (end == std::string_view::npos) {
      end = message.size();
    }
    std::string_view line = message.substr(start, end - start);
    start = end + 1;
    if (line.substr(0, 9) == "LOCATION:") {
      continue;
    }
    std::string text(line);
    for (const char* severity : {"FATAL:  ", "ERROR:  "}) {
      size_t at = text.find(severity);
      if (at == std::string::npos) {
        continue;
      }
      size_t code = at + std::char_traits<char>::length(severity);
      if (text.size() >= code + 7 && IsSqlState(std::string_view(text).substr(code, 5)) &&
          text.compare(code + 5, 2, ": ") == 0) {
        if (sqlstate.empty()) {
          sqlstate = text.substr(code, 5);
        }
        text.erase(code, 7);
      }
      break;
    }
    if (!result.empty()) {
      result += ' ';
    }
    // libpq indents its hints with a tab.
    size_t first = text.find_first_not_of(" \t");
    result += first == std::string::npos ? std::string() : text.substr(first);
  }
  while (!result.empty() && std::isspace(static_cast<unsigned char>(result.back()))) {
    result.pop_back();
  }
  return result;
}

}  // namespace

int32_t NativeErrorFor(std::string_view sqlstate, std::string_view constraint) {
  if (sqlstate == "23505") {
    // A primary key or a unique constraint reports 2627; a unique index
    // 2601.  PostgreSQL names them <table>_pkey and <table>_<columns>_key.
    return EndsWith(constraint, "_pkey") || EndsWith(constraint, "_key") ? 2627 : 2601;
  }
  for (const auto& entry : kStateNumbers) {
    if (sqlstate == entry.sqlstate) {
      return entry.native;
    }
  }
  if (sqlstate.substr(0, 2) == "08") {
    return sqlstate == "08006" || sqlstate == "08003" ? kNativeConnectionLost
                                                      : kNativeConnectionFailed;
  }
  return kNativeOther;
}

int32_t HResultFor(std::string_view sqlstate) {
  if (sqlstate == "57014") {
    return kErrTimeout;
  }
  std::string_view cls = sqlstate.substr(0, 2);
  if (cls == "08" || cls == "28" || sqlstate == "3D000" || sqlstate == "53300" ||
      sqlstate.substr(0, 4) == "57P0") {
    return kErrProviderFailure;
  }
  if (cls == "23") {
    return kErrIntegrityViolation;  // a constraint refused the change
  }
  return kErrCommandFailed;
}

EngineError MakeError(int32_t hresult, int32_t native, std::string description,
                      std::string sqlstate) {
  ProviderError error;
  error.NativeError = native;
  error.Description = std::move(description);
  error.SQLState = std::move(sqlstate);
  error.Source = kErrorSource;
  return EngineError(hresult, {std::move(error)});
}

void ThrowConnectionError(std::string description, int32_t native, std::string sqlstate) {
  throw MakeError(kErrProviderFailure, native, std::move(description), std::move(sqlstate));
}

EngineError ResultError(const PGresult* result) {
  auto field = [result](int code) -> std::string {
    const char* value = PQresultErrorField(result, code);
    return value ? value : "";
  };
  std::string sqlstate = field(PG_DIAG_SQLSTATE);
  std::string description = field(PG_DIAG_MESSAGE_PRIMARY);
  if (description.empty()) {
    description = PQresultErrorMessage(result);
    while (!description.empty() && std::isspace(static_cast<unsigned char>(description.back()))) {
      description.pop_back();
    }
  }
  std::string detail = field(PG_DIAG_MESSAGE_DETAIL);
  if (!detail.empty()) {
    description += " " + detail;
  }
  if (sqlstate.empty()) {
    sqlstate = "HY000";
  }
  const int32_t native = NativeErrorFor(sqlstate, field(PG_DIAG_CONSTRAINT_NAME));
  const int32_t hresult = HResultFor(sqlstate);
  return MakeError(hresult, native, std::move(description), std::move(sqlstate));
}

EngineError ConnectionError(PGconn* conn, bool opening) {
  std::string sqlstate;
  std::string description =
      CleanConnectionMessage(conn ? PQerrorMessage(conn) : "out of memory", sqlstate);
  int32_t native;
  if (!sqlstate.empty()) {
    native = NativeErrorFor(sqlstate);
  } else if (conn && opening && PQconnectionNeedsPassword(conn)) {
    sqlstate = "28P01";
    native = 18456;
  } else {
    sqlstate = opening ? "08001" : "08006";
    native = opening ? kNativeConnectionFailed : kNativeConnectionLost;
  }
  if (description.empty()) {
    description = opening ? "Could not connect to the server." : "The connection was lost.";
  }
  return MakeError(kErrProviderFailure, native, std::move(description), std::move(sqlstate));
}

}  // namespace kx4::ado::pg
