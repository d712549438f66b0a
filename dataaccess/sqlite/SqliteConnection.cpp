#include "dataaccess/sqlite/SqliteConnection.h"

#include <kx4data/RuntimeError.h>

#include <sqlite3.h>
#include <sys/stat.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <thread>

#include "dataaccess/ResultTable.h"
#include "dataaccess/dialect/Analyzer.h"
#include "dataaccess/dialect/LikeRange.h"
#include "dataaccess/sqlite/SqliteErrors.h"
#include "dataaccess/sqlite/SqliteFunctions.h"
#include "dataaccess/sqlite/SqliteMoney.h"

namespace kx4::ado::sqlite {
namespace {

constexpr size_t kCacheSize = 16;
// Large job lists read far more pages than the default 2 MB cache holds;
// mapping the file lets them be read without a system call per page.
constexpr const char* kPragmas =
    "PRAGMA synchronous=FULL; PRAGMA cache_size=-32768; PRAGMA mmap_size=1073741824";
constexpr const char* kWritePragmas =
    "PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL; PRAGMA cache_size=-32768; "
    "PRAGMA mmap_size=1073741824";

std::string UpperAscii(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'a' && c <= 'z')
      c = static_cast<char>(c - 32);
  return out;
}

// How a result column is read, from its declared type.
enum class Reader : uint8_t { kOpen, kInteger, kDouble, kMoney, kDate, kText };

void MapDeclared(const char* declared, Reader& reader, int32_t& type) {
  reader = Reader::kOpen;
  type = adEmpty;
  if (!declared)
    return;
  const std::string d = UpperAscii(declared);
  auto is = [&](std::string_view name) {
    return d.compare(0, name.size(), name) == 0 &&
           (d.size() == name.size() || d[name.size()] == '(' || d[name.size()] == ' ');
  };
  if (is("BIT") || is("BOOLEAN")) {
    reader = Reader::kInteger;
    type = adBoolean;
  } else if (is("TINYINT")) {
    reader = Reader::kInteger;
    type = adUnsignedTinyInt;
  } else if (is("SMALLINT")) {
    reader = Reader::kInteger;
    type = adSmallInt;
  } else if (is("INT") || is("INTEGER")) {
    reader = Reader::kInteger;
    type = adInteger;
  } else if (is("BIGINT")) {
    reader = Reader::kInteger;
    type = adBigInt;
  } else if (is("MONEY") || is("SMALLMONEY")) {
    reader = Reader::kMoney;
    type = adCurrency;
  } else if (is("DATETIME") || is("SMALLDATETIME") || is("DATE") || is("DATETIME2")) {
    reader = Reader::kDate;
    type = adDBTimeStamp;
  } else if (is("REAL") || is("FLOAT") || is("DOUBLE") || is("DECIMAL") || is("NUMERIC")) {
    reader = Reader::kDouble;
    type = adDouble;
  } else if (d.find("CHAR") != std::string::npos || d.find("TEXT") != std::string::npos ||
             d.find("CLOB") != std::string::npos) {
    reader = Reader::kText;
    type = adVarWChar;
  }
}

// @@IDENTITY: the connection's latest identity key, NULL before the first.
void IdentityFunction(sqlite3_context* ctx, int, sqlite3_value**) {
  const auto* identity = static_cast<const std::optional<int64_t>*>(sqlite3_user_data(ctx));
  if (*identity)
    sqlite3_result_int64(ctx, **identity);
  else
    sqlite3_result_null(ctx);
}

// The value of a literal IsNumberLiteral accepts, whatever the locale.
double LiteralValue(std::string_view s) {
  if (!s.empty() && s.front() == '+')
    s.remove_prefix(1);
  double value = 0;
  std::from_chars(s.data(), s.data() + s.size(), value);
  return value;
}

bool IsNumberLiteral(std::string_view s) {
  if (!s.empty() && (s[0] == '-' || s[0] == '+'))
    s.remove_prefix(1);
  if (s.empty())
    return false;
  bool digit = false, dot = false;
  for (char c : s) {
    if (c >= '0' && c <= '9')
      digit = true;
    else if (c == '.' && !dot)
      dot = true;
    else
      return false;
  }
  return digit;
}

// Whether `text` holds anything but blanks, comments and semicolons.
bool HoldsStatement(std::string_view text) {
  std::vector<dialect::Token> tokens;
  dialect::Tokenize(text, tokens);
  return std::any_of(tokens.begin(), tokens.end(), [](const dialect::Token& t) {
    return dialect::Significant(t) && t.kind != dialect::TokenKind::kSemicolon;
  });
}

}  // namespace

int Catalog::Load(sqlite3* db) {
  Clear();
  sqlite3_stmt* st = nullptr;
  int rc = sqlite3_prepare_v2(db,
                              "SELECT m.name, p.name, p.type, p.pk FROM sqlite_schema m, "
                              "pragma_table_info(m.name) p WHERE m.type IN ('table', 'view')",
                              -1, &st, nullptr);
  if (rc != SQLITE_OK)
    return rc;
  std::vector<std::string> identities;
  std::vector<std::string> composite_keys;
  while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
    const char* table = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
    const char* column = reinterpret_cast<const char*>(sqlite3_column_text(st, 1));
    const char* type = reinterpret_cast<const char*>(sqlite3_column_text(st, 2));
    if (!table || !column)
      continue;
    // Only a key of one INTEGER column is the rowid, which an insert assigns.
    const int key = sqlite3_column_int(st, 3);
    if (key == 1 && type && UpperAscii(type) == "INTEGER")
      identities.push_back(table);
    else if (key > 1)
      composite_keys.push_back(table);
    Reader reader;
    int32_t ado;
    MapDeclared(type, reader, ado);
    Add(table, column, ado == adEmpty ? dialect::ValueKind::kUnknown : dialect::KindOfAdoType(ado),
        ado == adBoolean);
  }
  sqlite3_finalize(st);
  if (rc != SQLITE_DONE) {
    Clear();
    return rc;
  }
  for (const std::string& table : identities)
    if (std::find(composite_keys.begin(), composite_keys.end(), table) == composite_keys.end())
      SetIdentity(table);
  return SQLITE_OK;
}

void SqliteHooks::Identity(std::string& out) const {
  out += "kx4_identity()";
}

void SqliteHooks::CurrentTime(std::string& out) const {
  out += "kx4_getdate()";
}

void SqliteHooks::CastSmallDateTime(std::string_view expr, std::string& out) const {
  out += "kx4_smalldatetime(";
  out += expr;
  out += ')';
}

void SqliteHooks::CastDateTime(std::string_view expr, std::string& out) const {
  out += "kx4_datetime(";
  out += expr;
  out += ')';
}

// A bit column keeps any non-zero value as 1 and refuses numbers beyond the
// 16-bit range.  (Money written into a money column is converted by the
// typing of the statement.)
void SqliteHooks::AssignedValue(std::string_view table, std::string_view column,
                                std::string_view expr, std::string& out) const {
  if (!catalog_.IsFlag(table, column) || expr == "NULL" || expr == "null") {
    out += expr;
    return;
  }
  if (IsNumberLiteral(expr)) {
    if (const std::optional<bool> bit = FlagValue(LiteralValue(expr))) {
      out += *bit ? '1' : '0';
      return;
    }
  }
  out += "kx4_flag(";
  out += expr;
  out += ')';
}

// Names compare through their columns' KX4_CI by themselves; UPPER(x)
// compared with a literal or a parameter takes it explicitly.  The library's
// like() keeps SQLite from serving a prefix LIKE by an index: the key range
// in KX4_CI does it, on a column whose index collates so.
void SqliteHooks::RenderTyped(const dialect::Analyzer& analysis, dialect::Edits& edits) const {
  for (const dialect::LikeRange& range : dialect::LikeRanges(analysis)) {
    if (range.column->type != dialect::ValueKind::kText &&
        range.column->type != dialect::ValueKind::kTextCi)
      continue;
    std::string column;
    for (size_t k = range.column->first; k <= range.column->last; ++k)
      if (dialect::Significant(analysis.Tokens()[k]))
        column += analysis.Tokens()[k].text;
    edits.Before(range.like->first, "(" + column + " >= " + range.low + " COLLATE KX4_CI AND " +
                                        column + " < " + range.high + " COLLATE KX4_CI AND ");
    edits.After(range.like->last, ")");
  }
  RenderMoney(analysis, edits);
  for (const dialect::Node& n : analysis.Nodes())
    if (n.collate)
      edits.After(analysis.Child(n, 0).last, " COLLATE KX4_CI");
}

struct SqliteConnection::Prepared {
  std::string sql;
  sqlite3_stmt* stmt = nullptr;
  // From the declared types of the result columns.
  std::vector<Reader> declared_readers;
  std::vector<int32_t> declared_types;
  // For this run: the declared ones, corrected by the statement's typing
  // (SQLite declares no type for an expression).
  std::vector<Reader> readers;
  std::vector<int32_t> types;
  ~Prepared() { sqlite3_finalize(stmt); }
};

SqliteConnection::SqliteConnection(const ConnectionOptions& options, std::string path)
    : path_(std::move(path)),
      name_(options.database),
      read_only_(options.mode == adModeRead),
      transaction_(kErrorSource) {
  struct stat st = {};
  if (stat(path_.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
    throw MakeError(kErrProviderFailure, 4060, "42000",
                    "Cannot open database \"" + name_ +
                        "\" requested by the login. The login failed. [SQLite: no database file " +
                        path_ + "]");
  const int flags = (read_only_ ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) |
                    SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_EXRESCODE;
  auto fail = [this](int rc) {
    EngineError e = Translate(db_, rc, name_, false);
    sqlite3_close_v2(db_);
    db_ = nullptr;
    throw e;
  };
  int rc = sqlite3_open_v2(path_.c_str(), &db_, flags, nullptr);
  if (rc != SQLITE_OK)
    fail(SQLITE_CANTOPEN);
  if (options.connect_timeout > 0)
    deadline_ = Clock::now() + std::chrono::seconds(options.connect_timeout);
  sqlite3_busy_handler(db_, &SqliteConnection::OnBusy, this);
  rc = RegisterFunctions(db_);
  if (rc == SQLITE_OK)
    rc = sqlite3_exec(db_, read_only_ ? kPragmas : kWritePragmas, nullptr, nullptr, nullptr);
  // Reading the schema proves the file is a database.
  if (rc == SQLITE_OK)
    rc = sqlite3_exec(db_, "SELECT count(*) FROM sqlite_schema", nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK)
    fail((rc & 0xFF) == SQLITE_BUSY ? rc : SQLITE_CANTOPEN);
  deadline_ = Clock::time_point::max();
  device_ = st.st_dev;
  inode_ = st.st_ino;
  // Without the catalog flags and money would go unconverted: no connection.
  rc = catalog_.Load(db_);
  if (rc == SQLITE_OK)
    rc = sqlite3_create_function_v2(db_, "kx4_identity", 0, SQLITE_UTF8, &identity_,
                                    IdentityFunction, nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK)
    fail(rc);
  sqlite3_update_hook(db_, &SqliteConnection::OnRowChange, this);
  try {
    CheckCaseRules(db_, name_);
  } catch (...) {
    sqlite3_close_v2(db_);
    db_ = nullptr;
    throw;
  }
  if (!read_only_)
    queue_.Open(path_);
  hooks_ = std::make_unique<SqliteHooks>(catalog_);
  translator_ = std::make_unique<dialect::Translator>(*hooks_);
}

SqliteConnection::~SqliteConnection() {
  cache_.clear();
  if (begun_)
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
  if (queue_.Held())
    queue_.Release();
  sqlite3_close_v2(db_);
}

void SqliteConnection::OnRowChange(void* self, int op, const char*, const char* table,
                                   long long rowid) {
  auto* c = static_cast<SqliteConnection*>(self);
  if (op == SQLITE_INSERT && c->catalog_.HasIdentity(table))
    c->identity_ = rowid;
}

int SqliteConnection::OnBusy(void* self, int count) {
  auto* c = static_cast<SqliteConnection*>(self);
  if (Clock::now() >= c->deadline_)
    return 0;
  std::this_thread::sleep_for(std::chrono::microseconds(count < 10 ? 500 << (count / 2) : 10000));
  return 1;
}

int SqliteConnection::OnProgress(void* self) {
  auto* c = static_cast<SqliteConnection*>(self);
  if (Clock::now() < c->deadline_)
    return 0;
  c->timed_out_ = true;
  return 1;
}

void SqliteConnection::Fail(int rc) {
  EngineError e = Translate(db_, rc, name_, timed_out_);
  timed_out_ = false;
  throw e;
}

void SqliteConnection::Run(const char* sql) {
  const int rc = sqlite3_exec(db_, sql, nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK)
    Fail(rc);
}

void SqliteConnection::LoadCatalog() {
  const int rc = catalog_.Load(db_);
  catalog_stale_ = rc != SQLITE_OK;
  if (catalog_stale_)
    Fail(rc);
}

SqliteConnection::Prepared& SqliteConnection::Prepare(const dialect::Statement& s) {
  const std::string& sql = s.sql;
  Prepared* found = nullptr;
  for (size_t i = 0; i < cache_.size(); ++i) {
    if (cache_[i]->sql == sql) {
      if (i != 0)
        std::rotate(cache_.begin(), cache_.begin() + i, cache_.begin() + i + 1);
      sqlite3_reset(cache_[0]->stmt);
      sqlite3_clear_bindings(cache_[0]->stmt);
      found = cache_[0].get();
      break;
    }
  }
  if (!found) {
    auto p = std::make_unique<Prepared>();
    p->sql = sql;
    const char* tail = nullptr;
    const int rc = sqlite3_prepare_v3(db_, sql.c_str(), static_cast<int>(sql.size()),
                                      SQLITE_PREPARE_PERSISTENT, &p->stmt, &tail);
    if (rc != SQLITE_OK)
      Fail(rc);
    // SQLite compiles the first statement only; running it while dropping
    // the rest would report a half-run piece as a success.
    if (tail && HoldsStatement(std::string_view(tail, sql.c_str() + sql.size() - tail))) {
      sqlite3_finalize(p->stmt);
      throw MakeError(kErrCommandFailed, 102, "42000",
                      "Incorrect syntax: more than one statement without a separator.");
    }
    const int n = sqlite3_column_count(p->stmt);
    p->declared_readers.resize(n);
    p->declared_types.resize(n);
    for (int c = 0; c < n; ++c)
      MapDeclared(sqlite3_column_decltype(p->stmt, c), p->declared_readers[c],
                  p->declared_types[c]);
    if (cache_.size() >= kCacheSize)
      cache_.pop_back();
    cache_.insert(cache_.begin(), std::move(p));
    found = cache_[0].get();
  }
  Prepared& p = *found;
  p.readers = p.declared_readers;
  p.types = p.declared_types;
  const size_t n = p.readers.size();
  for (size_t c = 0; c < n && !s.columns.items.empty(); ++c) {
    const dialect::ValueKind kind = s.columns.Column(c, n);
    if (kind == dialect::ValueKind::kMoney) {
      p.readers[c] = Reader::kMoney;
      p.types[c] = adCurrency;
    } else if (kind == dialect::ValueKind::kDate && p.readers[c] == Reader::kOpen) {
      // MAX(DatePrinted): a stored date, though SQLite declares no type.
      p.readers[c] = Reader::kDate;
      p.types[c] = adDBTimeStamp;
    } else if (p.readers[c] == Reader::kMoney &&
               (kind == dialect::ValueKind::kFloat || kind == dialect::ValueKind::kDecimal)) {
      // A money column the statement turned into a number of units.
      p.readers[c] = Reader::kDouble;
      p.types[c] = adDouble;
    }
  }
  return p;
}

void SqliteConnection::Bind(sqlite3_stmt* st, const dialect::Statement& s,
                            const std::vector<Parameter>& params) {
  const int markers = sqlite3_bind_parameter_count(st);
  for (int j = 0; j < s.param_count && j < markers; ++j) {
    const size_t index = static_cast<size_t>(s.first_param + j);
    if (index >= params.size())
      throw ContractError(ContractFault::kMissingParameter, kErrorSource);
    const Parameter& p = params[index];
    const Variant& v = p.Value();
    const int at = j + 1;
    int rc = SQLITE_OK;
    if (v.IsNull() || v.IsEmpty()) {
      rc = sqlite3_bind_null(st, at);
    } else {
      switch (p.Type()) {
        case adBoolean:
          rc = sqlite3_bind_int(st, at, v.ToBoolean() ? 1 : 0);
          break;
        case adTinyInt:
        case adUnsignedTinyInt:
        case adSmallInt:
        case adInteger:
          rc = sqlite3_bind_int64(st, at, v.ToLong());
          break;
        case adBigInt:
          rc = sqlite3_bind_int64(st, at, static_cast<int64_t>(std::llround(v.ToDouble())));
          break;
        case adSingle:
        case adDouble:
          rc = sqlite3_bind_double(st, at, v.ToDouble());
          break;
        case adCurrency:
          rc = sqlite3_bind_int64(st, at, v.ToCurrency().Ticks());
          break;
        case adDate:
        case adDBDate:
        case adDBTime:
        case adDBTimeStamp:
        case adDBFileTime: {
          const std::string text = FormatStoredDate(v.ToDate().Seconds());
          rc = sqlite3_bind_text(st, at, text.data(), static_cast<int>(text.size()),
                                 SQLITE_TRANSIENT);
          break;
        }
        default:
          // Text types, and adNumeric for anything else: by the value's own type.
          if (const auto* text = v.Get<std::string>()) {
            rc = sqlite3_bind_text(st, at, text->data(), static_cast<int>(text->size()),
                                   SQLITE_STATIC);
          } else if (v.Get<double>() || v.Get<float>()) {
            rc = sqlite3_bind_double(st, at, v.ToDouble());
          } else if (const auto* c = v.Get<Currency>()) {
            rc = sqlite3_bind_int64(st, at, c->Ticks());
          } else if (const auto* d = v.Get<DateTime>()) {
            const std::string t = FormatStoredDate(d->Seconds());
            rc = sqlite3_bind_text(st, at, t.data(), static_cast<int>(t.size()), SQLITE_TRANSIENT);
          } else {
            rc = sqlite3_bind_int64(st, at, v.ToLong());
          }
          break;
      }
    }
    if (rc != SQLITE_OK)
      Fail(rc);
  }
}

void SqliteConnection::Fetch(Prepared& p, ResultTable& rows) {
  sqlite3_stmt* st = p.stmt;
  const int n = static_cast<int>(p.readers.size());
  rows.ReserveColumns(static_cast<size_t>(n));
  for (int c = 0; c < n; ++c)
    rows.AddColumn(sqlite3_column_name(st, c), p.types[c]);
  const Reader* readers = p.readers.data();
  int rc;
  while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
    for (int c = 0; c < n; ++c) {
      const int t = sqlite3_column_type(st, c);
      if (t == SQLITE_NULL) {
        rows.AppendNull();
        continue;
      }
      switch (readers[c]) {
        case Reader::kText:
          if (t != SQLITE_BLOB) {
            const char* s = reinterpret_cast<const char*>(sqlite3_column_text(st, c));
            rows.AppendText(std::string_view(s, sqlite3_column_bytes(st, c)));
            continue;
          }
          break;
        case Reader::kInteger:
          if (t == SQLITE_INTEGER) {
            rows.AppendInteger(sqlite3_column_int64(st, c));
            continue;
          }
          break;
        case Reader::kDouble:
          if (t != SQLITE_TEXT && t != SQLITE_BLOB) {
            rows.AppendDouble(sqlite3_column_double(st, c));
            continue;
          }
          break;
        case Reader::kMoney:
          if (t == SQLITE_INTEGER) {
            rows.AppendCurrency(sqlite3_column_int64(st, c));
          } else if (t == SQLITE_FLOAT) {
            // Written around the engine: whole units.
            rows.AppendCurrency(Currency::FromDouble(sqlite3_column_double(st, c)).Ticks());
          } else {
            const char* s = reinterpret_cast<const char*>(sqlite3_column_text(st, c));
            rows.AppendCurrency(Currency::Parse(s ? s : "0").Ticks());
          }
          continue;
        case Reader::kDate: {
          if (t == SQLITE_TEXT) {
            const std::string_view s(reinterpret_cast<const char*>(sqlite3_column_text(st, c)),
                                     sqlite3_column_bytes(st, c));
            int64_t seconds;
            if (ParseStoredDate(s, seconds)) {
              rows.AppendDate(seconds);
              continue;
            }
            if (const auto d = DateTime::Parse(s)) {
              rows.AppendDate(d->Seconds());
              continue;
            }
          } else if (t == SQLITE_FLOAT || t == SQLITE_INTEGER) {
            rows.AppendDate(DateTime::FromOADate(sqlite3_column_double(st, c)).Seconds());
            continue;
          }
          sqlite3_reset(st);
          throw MakeError(kErrCommandFailed, 241, "22007",
                          "Conversion failed when converting date and/or time from character "
                          "string (column " +
                              rows.ColumnName(c) + ").");
        }
        case Reader::kOpen:
          break;
      }
      switch (t) {
        case SQLITE_INTEGER:
          rows.AppendInteger(sqlite3_column_int64(st, c));
          break;
        case SQLITE_FLOAT:
          rows.AppendDouble(sqlite3_column_double(st, c));
          break;
        default: {
          const char* s = static_cast<const char*>(sqlite3_column_blob(st, c));
          rows.AppendText(std::string_view(s ? s : "", sqlite3_column_bytes(st, c)));
          break;
        }
      }
    }
  }
  if (rc != SQLITE_DONE)
    Fail(rc);
  rows.Finish();
}

void SqliteConnection::BeginWrite(Clock::time_point deadline) {
  if (queue_.IsOpen() && !queue_.Acquire(deadline))
    throw MakeError(kErrTimeout, kNativeQueryTimeout, "HYT00",
                    "Query timeout expired. [waiting for the other writers of \"" + name_ + "\"]");
  const int rc = sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) {
    queue_.Release();
    Fail(rc);
  }
  begun_ = true;
}

void SqliteConnection::EndWrite(bool commit) {
  if (begun_ && !sqlite3_get_autocommit(db_)) {
    const int rc = sqlite3_exec(db_, commit ? "COMMIT" : "ROLLBACK", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK && commit) {
      EngineError e = Translate(db_, rc, name_, false);
      sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
      begun_ = false;
      queue_.Release();
      throw e;
    }
  }
  begun_ = false;
  queue_.Release();
}

bool SqliteConnection::Execute(std::string_view batch, const std::vector<Parameter>& params,
                               int32_t timeout_seconds, ResultTable* rows, int64_t& affected) {
  RefuseNulInText(batch, params, kErrorSource);
  transaction_.CheckUsable();
  if (catalog_stale_)
    LoadCatalog();
  param_kinds_.clear();
  for (const Parameter& p : params)
    param_kinds_.push_back(dialect::KindOfParameter(p));
  const std::vector<dialect::Statement>& statements = translator_->Translate(batch, param_kinds_);
  if (static_cast<size_t>(translator_->ParamCount()) > params.size())
    throw ContractError(ContractFault::kMissingParameter, kErrorSource);
  last_used_ = Clock::now();
  deadline_ = timeout_seconds > 0 ? last_used_ + std::chrono::seconds(timeout_seconds)
                                  : Clock::time_point::max();
  timed_out_ = false;
  if (timeout_seconds > 0)
    sqlite3_progress_handler(db_, 2000, &SqliteConnection::OnProgress, this);

  bool writes = false;
  bool schema = false;
  for (const auto& s : statements) {
    writes |= dialect::ChangesData(s.kind) || s.kind == dialect::StatementKind::kOther;
    schema |= s.kind == dialect::StatementKind::kOther;
    left_state_ |=
        s.kind == dialect::StatementKind::kOther || s.kind == dialect::StatementKind::kSetOption;
  }
  // Autocommit writes run as one write transaction in the writers' queue, so
  // an insert and its identity query stay together.  Inside the caller's
  // transaction a savepoint makes a batch of several statements one unit (a
  // single statement is one already, unless the catalog it changed cannot be
  // read back).
  bool own = false;
  bool savepoint = false;
  bool produced = false;
  int64_t changed = 0;
  bool changes = false;
  try {
    if (transaction_.Open() && !begun_) {
      if (read_only_) {
        Run("BEGIN");
        begun_ = true;
      } else {
        BeginWrite(deadline_);
      }
    } else if (!transaction_.Open() && writes && !read_only_) {
      BeginWrite(deadline_);
      own = true;
    }
    if (transaction_.Open() && (statements.size() > 1 || schema)) {
      Run("SAVEPOINT kx4_batch");
      savepoint = true;
    }
    for (const auto& s : statements) {
      Prepared& p = Prepare(s);
      Bind(p.stmt, s, params);
      if (!p.readers.empty()) {
        produced = true;
        if (rows) {
          *rows = ResultTable();
          Fetch(p, *rows);
        } else {
          int rc;
          while ((rc = sqlite3_step(p.stmt)) == SQLITE_ROW) {
          }
          if (rc != SQLITE_DONE)
            Fail(rc);
        }
      } else {
        const int rc = sqlite3_step(p.stmt);
        if (rc != SQLITE_DONE && rc != SQLITE_ROW)
          Fail(rc);
        if (dialect::ChangesData(s.kind)) {
          changed += sqlite3_changes64(db_);
          changes = true;
        }
      }
      sqlite3_reset(p.stmt);
    }
    // Before the commit, so that a catalog that cannot be read fails the batch.
    if (schema)
      LoadCatalog();
    if (savepoint)
      Run("RELEASE kx4_batch");
    if (own)
      EndWrite(true);
  } catch (...) {
    Recover(own, savepoint, IsTimeOut(std::current_exception()), schema);
    throw;
  }
  if (timeout_seconds > 0)
    sqlite3_progress_handler(db_, 0, nullptr, nullptr);
  deadline_ = Clock::time_point::max();
  affected = changes ? changed : -1;
  return produced;
}

void SqliteConnection::Recover(bool own, bool savepoint, bool timed_out, bool schema) {
  for (auto& p : cache_)
    sqlite3_reset(p->stmt);
  sqlite3_progress_handler(db_, 0, nullptr, nullptr);
  deadline_ = Clock::time_point::max();
  if (own) {
    EndWrite(false);
  } else if (transaction_.Open()) {
    if (begun_ && sqlite3_get_autocommit(db_)) {
      // The engine ended the transaction itself (an interrupted write, an
      // I/O error).
      begun_ = false;
      queue_.Release();
      transaction_.Lose();
    } else if (timed_out) {
      // SQLite loses the transaction when a write runs out of time; a read
      // that does loses it too, so that no engine keeps a transaction
      // another would have lost.
      EndWrite(false);
      transaction_.Lose();
    } else if (savepoint && sqlite3_exec(db_, "ROLLBACK TO kx4_batch; RELEASE kx4_batch", nullptr,
                                         nullptr, nullptr) != SQLITE_OK) {
      EndWrite(false);
      transaction_.Lose();
    }
  }
  if (schema)
    catalog_stale_ = catalog_.Load(db_) != SQLITE_OK;
}

bool SqliteConnection::Reusable() const {
  return !left_state_ && !transaction_.Open() && !begun_ && !queue_.Held() &&
         sqlite3_get_autocommit(db_) != 0;
}

bool SqliteConnection::Usable() {
  const Clock::time_point now = Clock::now();
  if (now - last_used_ < std::chrono::seconds(1))
    return true;
  last_used_ = now;
  struct stat st = {};
  return stat(path_.c_str(), &st) == 0 && static_cast<uint64_t>(st.st_dev) == device_ &&
         static_cast<uint64_t>(st.st_ino) == inode_;
}

void SqliteConnection::BeginTransaction() {
  transaction_.Begin();
  begun_ = false;
}

void SqliteConnection::CommitTransaction() {
  transaction_.End(true);
  if (begun_)
    EndWrite(true);
}

void SqliteConnection::RollbackTransaction() {
  transaction_.End(false);
  if (begun_)
    EndWrite(false);
}

}  // namespace kx4::ado::sqlite
