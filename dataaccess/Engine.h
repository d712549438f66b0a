// The boundary between the data-access objects and the engines behind them.
// An engine folder implements Engine and EngineConnection; nothing above this
// header knows which engine runs a statement.
#ifndef KX4DATA_DATAACCESS_ENGINE_H_
#define KX4DATA_DATAACCESS_ENGINE_H_

#include <cstdint>
#include <exception>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include <kx4data/ado/Database.h>

#include "dataaccess/Command.h"
#include "dataaccess/Types.h"

namespace kx4::ado {

class ResultTable;

// Thrown by engines: the HRESULT-like number of the failed call and the
// provider errors, native numbers in SQL Server's numbering.
class EngineError : public std::runtime_error {
 public:
  EngineError(int32_t hresult, std::vector<ProviderError> errors);
  int32_t HResult() const { return hresult_; }
  const std::vector<ProviderError>& Errors() const { return errors_; }

 private:
  int32_t hresult_;
  std::vector<ProviderError> errors_;
};

// The connection string, parsed.  Keys compare without regard to case;
// values are taken as they stand, except that a value starting with a
// quotation mark (" or ') runs to the closing one, a doubled one standing for
// itself, so that it may hold ';'.
struct ConnectionOptions {
  std::string provider;
  std::string data_source;
  std::string database;
  std::string user_id;
  std::string password;
  std::string network_library;
  bool trusted = false;
  int32_t mode = adModeReadWrite;
  int32_t connect_timeout = 15;  // seconds; 0 = none

  static ConnectionOptions Parse(std::string_view connection_string);
  // `value` as a connection string must hold it to read back as it is:
  // itself, or quoted when it holds ';' or starts with a quotation mark.
  static std::string Quote(std::string_view value);
  // "Data Source=(localdb)", in any case, names the embedded engine.
  bool IsEmbedded() const;
};

// One open connection to one database.  Every engine keeps the rules below
// alike; tests/dataaccess/EngineContract*.cpp hold each engine to them.
//
// Threads.  A connection is used by one thread at a time.  It may move to
// another thread when the hand-over orders memory (a mutex, a queue); two
// threads never call it at once.  An Engine may be called from any thread.
//
// Failures.  Every member reports failure by throwing EngineError, whose
// provider errors carry SQL Server's native numbers; nothing is cut short and
// reported as success.
//
// Transactions.  At most one transaction is open on a connection.  (The
// session's in-transaction flag sits above these rules: KXData begins only
// when its flag is clear and ends only when it is set.)
//  - BeginTransaction opens it.  While one is open, it fails (kErrTransaction)
//    and leaves the open one as it was: transactions do not nest.
//  - CommitTransaction keeps what the transaction did and closes it.  When it
//    fails, nothing of the transaction is kept and no transaction is open
//    afterwards.  Only a connection lost during the commit leaves the outcome
//    to the server; its error says the connection was lost.
//  - RollbackTransaction undoes what the transaction did and closes it.
//  - With no transaction open, CommitTransaction fails with 3902 and
//    RollbackTransaction with 3903 (kErrTransaction); nothing changes.
//  - Destroying a connection with a transaction open rolls it back.
//
// Batches.  Execute runs one batch as a unit.
//  - Outside a transaction, a batch that fails changes nothing.
//  - Inside one, a batch that fails undoes its own changes and nothing else:
//    the transaction stays open, and later batches and the commit behave as
//    if the failed batch had not been sent.
//  - Except: a batch that runs out of its time-out, or whose failure the engine
//    cannot undo alone (the disk full, an I/O error), loses the transaction:
//    all of it is undone.  Until the caller ends it, every Execute fails with
//    3930 and runs nothing, CommitTransaction fails with 3930 (keeping
//    nothing), and RollbackTransaction succeeds.
//
// Time-outs.  `timeout_seconds` bounds one Execute call, waiting for other
// writers and for locks included; 0 is no bound.  Running out fails the call
// with kErrTimeout and native -2.
//
// Parameters.  The "?" markers are counted through the whole batch; the n-th
// takes params[n].  A marker without a value fails the call (8178) before
// anything runs; values beyond the markers are ignored.  A value goes as the
// type its DataTypeEnum names: text, 16-, 32- and 64-bit integers, single,
// double, money (exact to the ten-thousandth), date-time, adBoolean as a bit
// (true is 1), adNumeric as a number (true is -1).  A null goes untyped,
// whatever its DataTypeEnum (the empty text, which the session sends as a
// null, included): it takes the type of the place it meets, as the literal
// NULL does, so "? IS NULL", "Col = ?" and "(? IS NULL OR Col = ?)" work on
// columns of every type.  Text holding a NUL character, in a value or in the
// batch itself, fails the call (22021) before anything runs; it is never
// stored cut short.
//
// Values.  A number too large for the column it is written to (a smallint,
// int or bit column; bits take the smallint range) fails the statement with
// 8115 and writes nothing.
//
// @@IDENTITY is the key given to the latest row that this connection inserted
// into a table with an identity key, in this batch or an earlier one; NULL
// before the first.  Rows inserted into tables without one do not change it.
//
// Results.  When `rows` is given it receives the last result set of the batch.
// Execute returns whether any statement produced one.  `affected` receives
// the sum of the rows that INSERT, UPDATE and DELETE statements touched, -1
// when the batch has none of them.
//
// Read mode.  A connection opened with adModeRead refuses every write, and
// every statement that could make it writable, with 3906.
class EngineConnection {
 public:
  virtual ~EngineConnection() = default;

  // Runs a batch written in SQL Server's dialect, translated for this engine,
  // its statements in order.  Throws EngineError.
  virtual bool Execute(std::string_view batch, const std::vector<Parameter>& params,
                       int32_t timeout_seconds, ResultTable* rows, int64_t& affected) = 0;

  virtual void BeginTransaction() = 0;
  virtual void CommitTransaction() = 0;
  virtual void RollbackTransaction() = 0;

  // For the connection pool.  Reusable: no transaction is open and nothing
  // has run that leaves state behind for the next user (statements other
  // than SELECT, INSERT, UPDATE and DELETE: temporary tables, settings,
  // attachments).  Usable: a cheap check, without a round trip, that the
  // connection can still serve after lying idle.
  virtual bool Reusable() const { return false; }
  virtual bool Usable() { return true; }
};

// Opens, creates and drops databases; every member throws EngineError.
class Engine {
 public:
  virtual ~Engine() = default;
  // A missing database fails (4060); nothing is created.
  virtual std::unique_ptr<EngineConnection> Open(const ConnectionOptions& options) const = 0;
  // Creates the database with every table, index and seed row; fails (1801)
  // when it exists.  A failed creation leaves no database behind.
  virtual void CreateDatabase(const ConnectionOptions& options) const = 0;
  // Removes the database and everything stored for it.  A database that does
  // not exist is no error; every other failure is reported.
  virtual void DropDatabase(const ConnectionOptions& options) const = 0;
  // Names the database the options lead to: the file, or the server's
  // address and the database name.  Throws EngineError where Open would for
  // the same reason.
  virtual std::string Location(const ConnectionOptions& options) const = 0;
  // Where the database is, for the engine's own tools.
  virtual DatabaseLocation Locate(const ConnectionOptions& options) const = 0;
};

// The failures the rules above name, in the same words on every engine;
// `source` is the engine's name for ProviderError::Source.
enum class ContractFault : uint8_t {
  kNestedTransaction,      // kErrTransaction
  kNoTransactionCommit,    // 3902
  kNoTransactionRollback,  // 3903
  kTransactionLost,        // 3930
  kMissingParameter,       // 8178
  kNulInText,              // SQLSTATE 22021
};
[[nodiscard]] EngineError ContractError(ContractFault fault, std::string source,
                                        std::string_view detail = {});

// Throws kNulInText when the batch or a text value holds a NUL character.
void RefuseNulInText(std::string_view batch, const std::vector<Parameter>& params,
                     const std::string& source);

// Whether a failure is a time-out (kErrTimeout).
bool IsTimeOut(const std::exception_ptr& failure);

// The caller's transaction as the rules above see it: open or not, and lost.
// The engine does the work; this keeps which calls are allowed when.
class TransactionState {
 public:
  explicit TransactionState(std::string source) : source_(std::move(source)) {}
  bool Open() const { return open_; }
  // Throws kNestedTransaction when one is open.
  void Begin();
  // Closes it; throws when none is open, and kTransactionLost for a commit of
  // a lost one (closed all the same).
  void End(bool commit);
  // The engine undid the whole transaction on its own.
  void Lose() { lost_ = open_; }
  // Throws kTransactionLost while a lost transaction is still open.
  void CheckUsable() const;

 private:
  std::string source_;
  bool open_ = false;
  bool lost_ = false;
};

const Engine& SqliteEngine();
const Engine& PostgresEngine();
inline const Engine& EngineFor(const ConnectionOptions& options) {
  return options.IsEmbedded() ? SqliteEngine() : PostgresEngine();
}

}  // namespace kx4::ado

#endif  // KX4DATA_DATAACCESS_ENGINE_H_
