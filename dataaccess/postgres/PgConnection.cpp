#include "dataaccess/postgres/PgConnection.h"

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <optional>

#include "dataaccess/ResultTable.h"
#include "dataaccess/postgres/PgCaseRules.h"
#include "dataaccess/postgres/PgErrors.h"
#include "dataaccess/postgres/PgValues.h"
#include "variant/Utf8.h"

namespace kx4::ado::pg {

namespace {

using Clock = std::chrono::steady_clock;

// Waits until the socket is ready; false when the deadline passed first.
bool WaitSocket(int socket, bool for_read, std::optional<Clock::time_point> deadline) {
  for (;;) {
    int wait_ms = -1;
    if (deadline) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(*deadline - Clock::now());
      if (left.count() <= 0) {
        return false;
      }
      wait_ms = static_cast<int>(left.count());
    }
    pollfd entry{socket, static_cast<short>(for_read ? POLLIN : POLLOUT), 0};
    int ready = poll(&entry, 1, wait_ms);
    if (ready > 0) {
      return true;
    }
    if (ready == 0) {
      return false;
    }
    if (errno != EINTR) {
      return true;  // let libpq meet and report the failure
    }
  }
}

// A parameter in PostgreSQL's text form with the type it is declared as.
struct EncodedParameter {
  unsigned type = 0;
  bool null = false;
  std::string text;
};

// The shortest text that reads back as the same value, whatever the host
// process's locale says about decimal separators.
template <typename Real>
std::string FloatText(Real value) {
  if (std::isnan(value)) {
    return "NaN";
  }
  if (std::isinf(value)) {
    return value < 0 ? "-Infinity" : "Infinity";
  }
  char buffer[40];
  auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, error == std::errc() ? end : buffer);
}

double ParseDouble(std::string_view text) {
  double value = 0;
  if (!text.empty() && text.front() == '+') {
    text.remove_prefix(1);
  }
  std::from_chars(text.data(), text.data() + text.size(), value);
  return value;
}

// adNumeric: a number, true as -1; a value that is no number goes as its
// own type.
EncodedParameter EncodeNumeric(const Variant& value) {
  EncodedParameter out{kOidNumeric, false, {}};
  if (const bool* flag = value.Get<bool>()) {
    out.text = *flag ? "-1" : "0";
  } else if (value.Get<int16_t>() || value.Get<uint8_t>() || value.Get<int32_t>()) {
    out.text = std::to_string(value.ToLong());
  } else if (const float* single = value.Get<float>()) {
    out.text = FloatText(*single);
  } else if (const double* real = value.Get<double>()) {
    out.text = FloatText(*real);
  } else if (const Currency* money = value.Get<Currency>()) {
    out.text = CurrencyText(money->Ticks());
  } else if (const DateTime* date = value.Get<DateTime>()) {
    out.type = kOidTimestamp;
    out.text = TimestampText(date->Seconds());
  } else {
    out.type = kOidText;
    out.text = value.ToString();
  }
  return out;
}

// The type the parameter's ADO type names; text goes as text, and the case
// rules' rewriting makes comparisons with names fold.  A null is not sent:
// the translation wrote NULL in its place, and its slot is declared text and
// never read.
EncodedParameter Encode(const Parameter& parameter) {
  const Variant& value = parameter.Value();
  EncodedParameter out;
  if (value.IsNull() || value.IsEmpty()) {
    return EncodedParameter{kOidText, true, {}};
  }
  switch (parameter.Type()) {
    case adSmallInt:
    case adTinyInt:
    case adUnsignedTinyInt:
    case adBoolean:
      out.type = kOidInt2;
      break;
    case adInteger:
      out.type = kOidInt4;
      break;
    case adBigInt:
      out.type = kOidInt8;
      break;
    case adSingle:
      out.type = kOidFloat4;
      break;
    case adDouble:
      out.type = kOidFloat8;
      break;
    case adCurrency:
      out.type = kOidNumeric;
      break;
    case adDate:
    case adDBDate:
    case adDBTimeStamp:
      out.type = kOidTimestamp;
      break;
    case adBSTR:
    case adChar:
    case adWChar:
    case adVarChar:
    case adVarWChar:
    case adLongVarChar:
    case adLongVarWChar:
      out.type = kOidText;
      out.text = value.ToString();
      return out;
    default:
      return EncodeNumeric(value);
  }
  switch (out.type) {
    case kOidInt2:
      // A bit holds 1 for true.
      out.text = parameter.Type() == adBoolean ? (value.ToBoolean() ? "1" : "0")
                                               : std::to_string(value.ToLong());
      break;
    case kOidInt4:
    case kOidInt8:
      out.text = std::to_string(value.ToLong());
      break;
    case kOidFloat4:
      out.text = FloatText(value.ToSingle());
      break;
    case kOidFloat8:
      out.text = FloatText(value.ToDouble());
      break;
    case kOidNumeric:
      out.text = CurrencyText(value.ToCurrency().Ticks());
      break;
    default:
      out.text = TimestampText(value.ToDate().Seconds());
      break;
  }
  return out;
}

EngineError ValueError(std::string_view column, std::string_view text) {
  return MakeError(kErrCommandFailed, 8115,
                   "The value \"" + std::string(text) + "\" of column \"" + std::string(column) +
                       "\" cannot be represented.",
                   "22003");
}

}  // namespace

// How a result column is read, decided once per result.
enum class PgConnection::Reader : uint8_t {
  kBool,
  kInteger,
  kDouble,
  kMoney,
  kTimestamp,
  kTime,
  kText,
  kUpperText,
  kLowerText
};

// The rows of the batch's latest result set that arrived in single-row mode.
struct PgConnection::Stream {
  const PgBatch* batch = nullptr;
  size_t statement = SIZE_MAX;  // whose rows `table` holds
  ResultTable table;
  std::vector<Reader> readers;
  // Rows kept as they came while the columns wait for the catalogue.
  std::vector<ResultPtr> waiting;
  bool wait = false;
  // A value of the set that cannot be read; the set's later rows are dropped.
  std::exception_ptr failure;
};

namespace {

// Appends row `row` of `result` to `rows`; throws ValueError for a value the
// column's reader cannot convert.
template <typename Reader>
void AppendRow(const PGresult* result, int row, const std::vector<Reader>& readers,
               ResultTable& rows) {
  const int fields = static_cast<int>(readers.size());
  for (int column = 0; column < fields; ++column) {
    if (PQgetisnull(result, row, column)) {
      rows.AppendNull();
      continue;
    }
    const char* value = PQgetvalue(result, row, column);
    const std::string_view text(value, static_cast<size_t>(PQgetlength(result, row, column)));
    std::optional<int64_t> number;
    switch (readers[static_cast<size_t>(column)]) {
      case Reader::kText:
        rows.AppendText(text);
        continue;
      case Reader::kUpperText:
        rows.AppendText(UpperText(text));
        continue;
      case Reader::kLowerText:
        rows.AppendText(LowerText(text));
        continue;
      case Reader::kDouble:
        rows.AppendDouble(ParseDouble(text));
        continue;
      case Reader::kBool:
        rows.AppendInteger(text == "t" ? 1 : 0);
        continue;
      case Reader::kInteger:
        if ((number = ParseInteger(text))) {
          rows.AppendInteger(*number);
          continue;
        }
        break;
      case Reader::kMoney:
        if ((number = ParseCurrencyTicks(text))) {
          rows.AppendCurrency(*number);
          continue;
        }
        break;
      case Reader::kTimestamp:
        if ((number = ParseTimestampSeconds(text))) {
          rows.AppendDate(*number);
          continue;
        }
        break;
      case Reader::kTime:
        if ((number = ParseTimeSeconds(text))) {
          rows.AppendDate(*number);
          continue;
        }
        break;
    }
    throw ValueError(PQfname(result, column), text);
  }
}

}  // namespace

PgConnection::PgConnection(const ConnectParams& params)
    : read_only_(params.ReadOnly()), transaction_(kErrorSource) {
  std::vector<const char*> keywords = params.Keywords();
  std::vector<const char*> values = params.ValuesArray();
  conn_ = PQconnectStartParams(keywords.data(), values.data(), 0);
  if (!conn_) {
    throw ConnectionError(nullptr, true);
  }
  auto fail = [this](EngineError error) {
    PQfinish(conn_);
    conn_ = nullptr;
    throw error;
  };
  if (PQstatus(conn_) == CONNECTION_BAD) {
    fail(ConnectionError(conn_, true));
  }
  // Verbose messages carry the SQLSTATE of a refused login.
  PQsetErrorVerbosity(conn_, PQERRORS_VERBOSE);
  // libpq's own connect_timeout applies to its blocking connect only (and
  // rounds 1 second up to 2); polling here honours the limit as given.
  std::optional<Clock::time_point> deadline;
  if (params.TimeoutSeconds() > 0) {
    deadline = Clock::now() + std::chrono::seconds(params.TimeoutSeconds());
  }
  PostgresPollingStatusType status = PGRES_POLLING_WRITING;
  while (status != PGRES_POLLING_OK) {
    if (status == PGRES_POLLING_FAILED) {
      fail(ConnectionError(conn_, true));
    }
    if (!WaitSocket(PQsocket(conn_), status == PGRES_POLLING_READING, deadline)) {
      fail(MakeError(kErrProviderFailure, kNativeConnectionFailed,
                     "Login timeout expired: the server did not answer within " +
                         std::to_string(params.TimeoutSeconds()) + " seconds.",
                     "HYT00"));
    }
    status = PQconnectPoll(conn_);
  }
  PQsetErrorVerbosity(conn_, PQERRORS_DEFAULT);
  // Notices ("table does not exist, skipping") are no failures, and a
  // library has no business writing them to the host's standard error.
  PQsetNoticeProcessor(
      conn_, [](void*, const char*) {}, nullptr);
  try {
    LoadCatalogue();
  } catch (const EngineError& error) {
    fail(error);
  }
  translator_.SetCatalogue(&catalogue_);
}

PgConnection::~PgConnection() {
  if (conn_) {
    PQfinish(conn_);
  }
}

void PgConnection::Command(const char* sql) {
  ResultPtr result(PQexec(conn_, sql));
  if (!result) {
    throw ConnectionError(conn_, false);
  }
  ExecStatusType status = PQresultStatus(result.get());
  if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
    if (PQstatus(conn_) == CONNECTION_BAD) {
      throw ConnectionError(conn_, false);
    }
    throw ResultError(result.get());
  }
}

void PgConnection::RunScript(const std::string& sql) {
  Command(sql.c_str());
}

void PgConnection::CheckCaseRules() {
  pg::CheckCaseRules(conn_);
}

bool PgConnection::Reusable() const {
  return !left_state_ && PQstatus(conn_) == CONNECTION_OK &&
         PQtransactionStatus(conn_) == PQTRANS_IDLE;
}

bool PgConnection::Usable() {
  if (PQstatus(conn_) != CONNECTION_OK || PQtransactionStatus(conn_) != PQTRANS_IDLE) {
    return false;
  }
  // An idle session is owed nothing; readable means a termination notice or
  // the end of the connection.
  pollfd entry{PQsocket(conn_), POLLIN, 0};
  return poll(&entry, 1, 0) == 0;
}

void PgConnection::BeginTransaction() {
  transaction_.Begin();
  release_pending_ = false;
  try {
    Command(read_only_ ? "BEGIN READ ONLY" : "BEGIN");
  } catch (...) {
    transaction_.End(false);
    throw;
  }
}

void PgConnection::CommitTransaction() {
  release_pending_ = false;
  transaction_.End(true);
  ResultPtr result(PQexec(conn_, "COMMIT"));
  if (!result || PQresultStatus(result.get()) != PGRES_COMMAND_OK) {
    timeout_ms_ = -1;
    if (!result || PQstatus(conn_) == CONNECTION_BAD) {
      throw ConnectionError(conn_, false);
    }
    EngineError error = ResultError(result.get());
    if (PQtransactionStatus(conn_) != PQTRANS_IDLE) {
      ResultPtr(PQexec(conn_, "ROLLBACK"));
    }
    throw error;
  }
  // COMMIT of a transaction that a failed statement doomed rolls it back
  // and says so only in its command tag.
  if (std::string_view(PQcmdStatus(result.get())) == "ROLLBACK") {
    timeout_ms_ = -1;
    throw MakeError(kErrCommandFailed, kNativeCommitFailed,
                    "The transaction was rolled back: a statement in it had failed.", "25P02");
  }
}

void PgConnection::RollbackTransaction() {
  release_pending_ = false;
  transaction_.End(false);
  // A SET inside the transaction is undone with it.
  timeout_ms_ = -1;
  if (PQtransactionStatus(conn_) != PQTRANS_IDLE) {
    Command("ROLLBACK");
  }
}

void PgConnection::RecoverTransaction(bool timed_out) {
  timeout_ms_ = -1;
  release_pending_ = false;
  if (!timed_out) {
    ResultPtr result(PQexec(conn_, "ROLLBACK TO SAVEPOINT kx4_batch; RELEASE SAVEPOINT kx4_batch"));
    if (result && PQresultStatus(result.get()) == PGRES_COMMAND_OK) {
      return;
    }
  }
  // SQLite cannot keep a transaction whose statement ran out of time; so
  // that both engines behave alike, neither keeps it.
  if (PQtransactionStatus(conn_) != PQTRANS_IDLE) {
    ResultPtr(PQexec(conn_, "ROLLBACK"));
  }
  transaction_.Lose();
}

std::vector<PGresult*> PgConnection::RunPipeline(const PgBatch& batch,
                                                 const std::vector<Parameter>& params,
                                                 int32_t timeout_ms, bool hold, Stream* stream) {
  // Everything is encoded before anything is sent, so that a missing or
  // unconvertible value leaves the server untouched.
  struct Query {
    std::string owned;  // for the queries of this layer
    const char* sql;
    std::vector<EncodedParameter> parameters;
    std::vector<unsigned> types;
    std::vector<const char*> values;
    bool statement;  // one of the batch's, as opposed to BEGIN, SET, COMMIT
  };
  std::vector<Query> queries;
  queries.reserve(batch.statements.size() + 4);
  auto own = [&queries](std::string sql) {
    queries.push_back(Query{std::move(sql), nullptr, {}, {}, {}, false});
    queries.back().sql = queries.back().owned.c_str();
  };
  // Inside the caller's transaction the batch runs under a savepoint, kept
  // until the next batch so that rows that cannot be read still undo it.  A
  // read-only session runs each batch in a read-only transaction of its own:
  // nothing the batch calls can turn it into a writing one.  A held batch
  // stays open until its rows are read.
  const bool savepoint = transaction_.Open();
  const bool wrap = !savepoint && read_only_;
  if (savepoint) {
    if (release_pending_) {
      own("RELEASE SAVEPOINT kx4_batch");
    }
    own("SAVEPOINT kx4_batch");
  } else if (wrap) {
    own("BEGIN READ ONLY");
  } else if (hold) {
    own("BEGIN");
  }
  // A read-mode session runs report statements: whatever one of them did to
  // the setting, the next runs under its own time-out again.
  const bool set_timeout = read_only_ || timeout_ms != timeout_ms_;
  if (set_timeout) {
    own("SET statement_timeout = " + std::to_string(timeout_ms));
  }
  for (const PgStatement& statement : batch.statements) {
    Query query{{}, statement.text.c_str(), {}, {}, {}, true};
    const int bound = statement.first_param + statement.param_count;
    for (int index = 0; index < bound; ++index) {
      if (index < statement.first_param) {
        // A marker of an earlier statement: declared, never read.
        query.parameters.push_back(EncodedParameter{kOidText, true, {}});
        continue;
      }
      if (static_cast<size_t>(index) >= params.size()) {
        throw ContractError(ContractFault::kMissingParameter, kErrorSource,
                            "[$" + std::to_string(index + 1) + "]");
      }
      query.parameters.push_back(Encode(params[static_cast<size_t>(index)]));
    }
    for (const EncodedParameter& p : query.parameters) {
      query.types.push_back(p.type);
      query.values.push_back(p.null ? nullptr : p.text.c_str());
    }
    queries.push_back(std::move(query));
  }
  if (wrap) {
    own("COMMIT");
  }

  // All queries in one round trip; the server skips the rest after a failure.
  if (PQenterPipelineMode(conn_) != 1) {
    throw ConnectionError(conn_, false);
  }
  size_t sent = 0;
  for (const Query& query : queries) {
    if (PQsendQueryParams(conn_, query.sql, static_cast<int>(query.parameters.size()),
                          query.types.data(), query.values.data(), nullptr, nullptr, 0) != 1) {
      break;
    }
    ++sent;
  }
  if (sent != queries.size() || PQpipelineSync(conn_) != 1) {
    timeout_ms_ = -1;
    throw ConnectionError(conn_, false);
  }

  // One result per query, each followed by a null; then the sync.  A
  // streamed query's rows come first, one result each.
  std::vector<ResultPtr> results;
  size_t failed = SIZE_MAX;
  size_t index = 0;  // of the batch's statement
  for (size_t i = 0; i < sent; ++i) {
    const bool streamed = stream && queries[i].statement && PQsetSingleRowMode(conn_) == 1;
    ResultPtr first;
    while (PGresult* result = PQgetResult(conn_)) {
      ExecStatusType status = PQresultStatus(result);
      if (status == PGRES_SINGLE_TUPLE && streamed) {
        TakeRow(*stream, index, result);
        continue;
      }
      if (status == PGRES_COPY_IN) {
        PQputCopyEnd(conn_, "COPY is not supported");
      } else if (status == PGRES_COPY_OUT) {
        char* buffer = nullptr;
        while (PQgetCopyData(conn_, &buffer, 0) > 0) {
          PQfreemem(buffer);
        }
      }
      if (!first) {
        first.reset(result);
      } else {
        PQclear(result);
      }
    }
    if (!first) {
      break;  // the connection broke
    }
    ExecStatusType status = PQresultStatus(first.get());
    if (failed == SIZE_MAX && status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
      failed = results.size();
    }
    results.push_back(std::move(first));
    index += queries[i].statement ? 1 : 0;
  }
  bool synced = false;
  for (int idle = 0; !synced && idle < 2;) {
    PGresult* result = PQgetResult(conn_);
    if (!result) {
      ++idle;
      continue;
    }
    synced = PQresultStatus(result) == PGRES_PIPELINE_SYNC;
    PQclear(result);
  }
  PQexitPipelineMode(conn_);
  if (!synced || results.size() != sent) {
    timeout_ms_ = -1;
    throw ConnectionError(conn_, false);
  }
  if (failed != SIZE_MAX) {
    // The SET of the time-out went with the failed transaction.
    timeout_ms_ = -1;
    EngineError error = ResultError(results[failed].get());
    if (savepoint) {
      RecoverTransaction(error.HResult() == kErrTimeout);
    } else if (PQtransactionStatus(conn_) != PQTRANS_IDLE) {
      ResultPtr(PQexec(conn_, "ROLLBACK"));
    }
    throw error;
  }
  release_pending_ = savepoint;
  timeout_ms_ = timeout_ms;
  std::vector<PGresult*> statements;
  for (size_t i = 0; i < results.size(); ++i) {
    if (queries[i].statement) {
      statements.push_back(results[i].release());
    }
  }
  return statements;
}

bool PgConnection::Execute(std::string_view batch, const std::vector<Parameter>& params,
                           int32_t timeout_seconds, ResultTable* rows, int64_t& affected) {
  affected = -1;
  RefuseNulInText(batch, params, kErrorSource);
  transaction_.CheckUsable();
  param_kinds_.clear();
  for (const Parameter& p : params) {
    param_kinds_.push_back(dialect::KindOfParameter(p));
  }
  const PgBatch& translated = translator_.Translate(batch, read_only_, param_kinds_);
  left_state_ |= translated.leaves_state;
  if (translated.statements.empty()) {
    return false;
  }
  // A batch of several statements whose rows are wanted runs in a
  // transaction that ends only once the rows are read: a value that cannot
  // be read then undoes the batch, as a failed statement would.
  const bool hold = rows && !read_only_ && !transaction_.Open() && translated.statements.size() > 1;
  std::vector<ResultPtr> results;
  // statement_timeout is in milliseconds, at most INT_MAX.
  const int64_t timeout_ms = std::min<int64_t>(int64_t{std::max(0, timeout_seconds)} * 1000,
                                               std::numeric_limits<int32_t>::max());
  Stream stream;
  stream.batch = &translated;
  for (PGresult* result : RunPipeline(translated, params, static_cast<int32_t>(timeout_ms), hold,
                                      rows ? &stream : nullptr)) {
    results.emplace_back(result);
  }
  const PGresult* last_set = nullptr;
  size_t last_index = 0;
  for (size_t i = 0; i < results.size(); ++i) {
    const ResultPtr& result = results[i];
    if (PQresultStatus(result.get()) == PGRES_TUPLES_OK) {
      last_set = result.get();
      last_index = i;
      continue;
    }
    std::string_view tag = PQcmdStatus(result.get());
    if (tag.starts_with("INSERT") || tag.starts_with("UPDATE") || tag.starts_with("DELETE") ||
        tag.starts_with("MERGE")) {
      std::optional<int64_t> count = ParseInteger(PQcmdTuples(result.get()));
      affected = (affected < 0 ? 0 : affected) + count.value_or(0);
    }
  }
  try {
    if (std::any_of(translated.statements.begin(), translated.statements.end(),
                    [](const PgStatement& s) { return s.schema; })) {
      LoadCatalogue();
    }
    if (last_set && rows) {
      const PgStatement& statement = translated.statements[last_index];
      if (stream.statement != last_index) {
        ResultTable table;
        Fill(last_set, statement, translated.spellings, table);
        *rows = std::move(table);
      } else {
        if (stream.failure) {
          std::rethrow_exception(stream.failure);
        }
        if (stream.wait) {
          stream.readers = AddColumns(stream.waiting.front().get(), statement, translated.spellings,
                                      stream.table);
          for (const ResultPtr& row : stream.waiting) {
            AppendRow(row.get(), 0, stream.readers, stream.table);
          }
        }
        stream.table.Finish();
        *rows = std::move(stream.table);
      }
    }
    if (hold) {
      Command("COMMIT");
    }
  } catch (...) {
    if (transaction_.Open()) {
      RecoverTransaction(false);
    } else if (PQtransactionStatus(conn_) == PQTRANS_INTRANS ||
               PQtransactionStatus(conn_) == PQTRANS_INERROR) {
      timeout_ms_ = -1;
      ResultPtr(PQexec(conn_, "ROLLBACK"));
    }
    throw;
  }
  return last_set != nullptr;
}

void PgConnection::LoadCatalogue() {
  // One row per stored column.  Domains count as their base types:
  // "currency" is numeric(19,4).
  ResultPtr result(
      PQexec(conn_,
             "SELECT c.oid, a.attnum, c.relname, a.attname, "
             "COALESCE(NULLIF(t.typbasetype, 0), a.atttypid) AS type, "
             "CASE WHEN t.typtype = 'd' THEN t.typtypmod ELSE a.atttypmod END AS modifier, "
             "t.typtype = 'd' AND t.typname = 'flag' AS flag, "
             "t.typtype = 'd' AND t.typname = 'kx4_ci' AS name "
             "FROM pg_catalog.pg_attribute a JOIN pg_catalog.pg_class c ON c.oid = a.attrelid "
             "JOIN pg_catalog.pg_namespace n ON n.oid = c.relnamespace "
             "JOIN pg_catalog.pg_type t ON t.oid = a.atttypid "
             "WHERE c.relkind IN ('r', 'v', 'm', 'p', 'f') AND a.attnum > 0 AND NOT a.attisdropped "
             "AND n.nspname <> 'information_schema' AND n.nspname NOT LIKE 'pg\\_%'"));
  if (!result || PQresultStatus(result.get()) != PGRES_TUPLES_OK) {
    if (!result || PQstatus(conn_) == CONNECTION_BAD) {
      throw ConnectionError(conn_, false);
    }
    throw ResultError(result.get());
  }
  catalogue_.Clear();
  flag_columns_.clear();
  auto number = [&result](int row, int column) {
    return ParseInteger(PQgetvalue(result.get(), row, column));
  };
  for (int row = 0; row < PQntuples(result.get()); ++row) {
    const auto table = static_cast<unsigned>(number(row, 0).value_or(0));
    const bool flag = std::string_view(PQgetvalue(result.get(), row, 6)) == "t";
    std::vector<int>& flags = flag_columns_[table];  // known from now on, flags or not
    if (flag) {
      flags.push_back(static_cast<int>(number(row, 1).value_or(0)));
    }
    const int32_t ado = AdoTypeFor(static_cast<unsigned>(number(row, 4).value_or(0)),
                                   static_cast<int>(number(row, 5).value_or(-1)), flag);
    const bool name = std::string_view(PQgetvalue(result.get(), row, 7)) == "t";
    catalogue_.Add(PQgetvalue(result.get(), row, 2), PQgetvalue(result.get(), row, 3),
                   name ? dialect::ValueKind::kTextCi : dialect::KindOfAdoType(ado), flag);
  }
}

bool PgConnection::KnowsTables(const PGresult* result) const {
  for (int column = 0; column < PQnfields(result); ++column) {
    const unsigned table = PQftable(result, column);
    if (PQftype(result, column) == kOidInt2 && table != 0 && !flag_columns_.contains(table)) {
      return false;
    }
  }
  return true;
}

std::vector<PgConnection::Reader> PgConnection::AddColumns(
    const PGresult* result, const PgStatement& statement,
    const std::unordered_map<std::string, std::string>& spellings, ResultTable& rows) {
  const int fields = PQnfields(result);
  rows.ReserveColumns(static_cast<size_t>(fields));

  // A table the catalogue does not know (another session created it since
  // it was read, or it is the system's) is looked for once, by reading the
  // catalogue again.
  if (!KnowsTables(result)) {
    LoadCatalogue();
    for (int column = 0; column < fields; ++column) {
      if (const unsigned table = PQftable(result, column); table != 0) {
        flag_columns_[table];  // known from now on, flags or not
      }
    }
  }

  std::vector<Reader> readers(static_cast<size_t>(fields));
  for (int column = 0; column < fields; ++column) {
    const unsigned type = PQftype(result, column);
    bool flag = false;
    if (type == kOidInt2 && PQftable(result, column) != 0) {
      const std::vector<int>& flags = flag_columns_[PQftable(result, column)];
      flag = std::find(flags.begin(), flags.end(), PQftablecol(result, column)) != flags.end();
    }
    int32_t ado_type = AdoTypeFor(type, PQfmod(result, column), flag);
    Reader reader = Reader::kText;
    switch (ado_type) {
      case adBoolean:
        reader = type == kOidBool ? Reader::kBool : Reader::kInteger;
        break;
      case adSmallInt:
      case adInteger:
        reader = Reader::kInteger;
        break;
      case adSingle:
      case adDouble:
        reader = Reader::kDouble;
        break;
      case adCurrency:
        reader = Reader::kMoney;
        break;
      case adDBDate:
      case adDBTimeStamp:
        reader = Reader::kTimestamp;
        break;
      case adDBTime:
        reader = Reader::kTime;
        break;
      default:
        if (static_cast<size_t>(column) < statement.folds.size()) {
          const dialect::ResultFold fold = statement.folds[static_cast<size_t>(column)];
          reader = fold == dialect::ResultFold::kUpper   ? Reader::kUpperText
                   : fold == dialect::ResultFold::kLower ? Reader::kLowerText
                                                         : reader;
        }
        break;
    }
    readers[static_cast<size_t>(column)] = reader;
    if (type == kOidInt8) {
      ado_type = adEmpty;  // a count is a long unless a value needs more
    }
    std::string name = PQfname(result, column);
    if (auto spelled = spellings.find(name); spelled != spellings.end()) {
      name = spelled->second;
    } else if (name == "?column?") {
      name.clear();  // an expression without a name
    }
    rows.AddColumn(std::move(name), ado_type);
  }
  return readers;
}

void PgConnection::Fill(const PGresult* result, const PgStatement& statement,
                        const std::unordered_map<std::string, std::string>& spellings,
                        ResultTable& rows) {
  const std::vector<Reader> readers = AddColumns(result, statement, spellings, rows);
  const int tuples = PQntuples(result);
  rows.Reserve(static_cast<size_t>(tuples));
  for (int row = 0; row < tuples; ++row) {
    AppendRow(result, row, readers, rows);
  }
  rows.Finish();
}

void PgConnection::TakeRow(Stream& stream, size_t index, PGresult* row) {
  ResultPtr owned(row);
  // Nothing may leave here while the pipeline is being read: a failure waits
  // for the batch's end.
  try {
    if (stream.statement != index) {
      // The first row of a set: the sets before it are not the batch's last.
      stream.statement = index;
      stream.table = ResultTable();
      stream.waiting.clear();
      stream.failure = nullptr;
      stream.wait = !KnowsTables(row);
      if (!stream.wait) {
        stream.readers =
            AddColumns(row, stream.batch->statements[index], stream.batch->spellings, stream.table);
      }
    }
    if (stream.failure) {
      return;
    }
    if (stream.wait) {
      stream.waiting.push_back(std::move(owned));
      return;
    }
    AppendRow(row, 0, stream.readers, stream.table);
  } catch (...) {
    stream.failure = std::current_exception();
  }
}

}  // namespace kx4::ado::pg
