// One connection to an embedded database file.
#ifndef KX4DATA_DATAACCESS_SQLITE_SQLITECONNECTION_H_
#define KX4DATA_DATAACCESS_SQLITE_SQLITECONNECTION_H_

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "dataaccess/Engine.h"
#include "dataaccess/dialect/Dialect.h"
#include "dataaccess/sqlite/WriterQueue.h"

struct sqlite3;
struct sqlite3_stmt;

namespace kx4::ado::sqlite {

// The stored columns' kinds, read from the declared types when a connection
// opens and after any change of the schema.
class Catalog : public dialect::Catalogue {
 public:
  // Returns SQLITE_OK, or the failure that left the catalog empty.
  [[nodiscard]] int Load(sqlite3* db);
};

// SQLite's spellings of the dialect's idioms; flags and money are found in
// the catalog.
class SqliteHooks final : public dialect::Hooks {
 public:
  explicit SqliteHooks(const Catalog& catalog) : catalog_(catalog) {}
  void Identity(std::string& out) const override;
  void CurrentTime(std::string& out) const override;
  void CastSmallDateTime(std::string_view expr, std::string& out) const override;
  void CastDateTime(std::string_view expr, std::string& out) const override;
  void AssignedValue(std::string_view table, std::string_view column, std::string_view expr,
                     std::string& out) const override;
  const dialect::Catalogue* Columns() const override { return &catalog_; }
  void RenderTyped(const dialect::Analyzer& analysis, dialect::Edits& edits) const override;

 private:
  const Catalog& catalog_;
};

class SqliteConnection final : public EngineConnection {
 public:
  using Clock = std::chrono::steady_clock;

  // Opens the existing file `path`; throws EngineError (4060 when it is not
  // there or not a database).
  SqliteConnection(const ConnectionOptions& options, std::string path);
  ~SqliteConnection() override;

  bool Execute(std::string_view batch, const std::vector<Parameter>& params,
               int32_t timeout_seconds, ResultTable* rows, int64_t& affected) override;
  void BeginTransaction() override;
  void CommitTransaction() override;
  void RollbackTransaction() override;
  bool Reusable() const override;
  // The file at the path is still the one this connection opened.  Within a
  // second of the last statement the connection is taken as it is, as an
  // established one would be: a path lookup costs about as much as a
  // statement.
  bool Usable() override;

 private:
  struct Prepared;

  Prepared& Prepare(const dialect::Statement& s);
  void Bind(sqlite3_stmt* st, const dialect::Statement& s, const std::vector<Parameter>& params);
  void Fetch(Prepared& p, ResultTable& rows);
  void Run(const char* sql);
  void BeginWrite(Clock::time_point deadline);
  void EndWrite(bool commit);
  void LoadCatalog();
  // Puts the connection back after a failed batch, as the engine contract
  // says; `savepoint` tells that the batch ran inside one.
  void Recover(bool own, bool savepoint, bool timed_out, bool schema);
  [[noreturn]] void Fail(int rc);
  static int OnBusy(void* self, int count);
  static int OnProgress(void* self);
  static void OnRowChange(void* self, int op, const char* database, const char* table,
                          long long rowid);

  sqlite3* db_ = nullptr;
  std::string path_;
  std::string name_;  // for messages
  bool read_only_;
  Catalog catalog_;
  std::unique_ptr<SqliteHooks> hooks_;
  std::unique_ptr<dialect::Translator> translator_;
  std::vector<std::unique_ptr<Prepared>> cache_;  // most recent first
  std::vector<dialect::ValueKind> param_kinds_;
  WriterQueue queue_;
  TransactionState transaction_;
  bool begun_ = false;               // BEGIN issued for the caller's transaction or a batch
  bool catalog_stale_ = false;       // a reload failed; retried before the next batch
  std::optional<int64_t> identity_;  // @@IDENTITY
  Clock::time_point deadline_ = Clock::time_point::max();
  bool timed_out_ = false;
  bool left_state_ = false;  // ran a statement that may leave state behind
  Clock::time_point last_used_;
  uint64_t device_ = 0;  // of the file opened
  uint64_t inode_ = 0;
};

}  // namespace kx4::ado::sqlite

#endif  // KX4DATA_DATAACCESS_SQLITE_SQLITECONNECTION_H_
