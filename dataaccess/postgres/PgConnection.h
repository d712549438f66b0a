// One libpq session behind an engine connection.
//
// A batch's statements go to the server in one pipeline: one round trip, and
// outside a caller's transaction one implicit transaction, so a batch that
// fails part-way changes nothing.  Inside the caller's transaction the
// pipeline opens with a savepoint, released by the next batch's pipeline (so
// that rows that cannot be read still undo their batch), and a failed batch
// is rolled back to it while the transaction goes on, as on the server the
// statements were written for.  The statement time-out is a SET in the
// same pipeline, sent only when it changes.  A read-mode session starts
// read-only and runs every batch in a read-only transaction of its own.
// Result columns take the types a SQL Server provider reports: smallint
// columns of the "flag" domain are booleans, numeric(19,4) is money (typed
// statements cast their money results to it).
#ifndef KX4DATA_DATAACCESS_POSTGRES_PGCONNECTION_H_
#define KX4DATA_DATAACCESS_POSTGRES_PGCONNECTION_H_

#include <libpq-fe.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "dataaccess/Engine.h"
#include "dataaccess/postgres/ConnectParams.h"
#include "dataaccess/postgres/PgDialect.h"

namespace kx4::ado::pg {

class PgConnection final : public EngineConnection {
 public:
  // Connects within the parameters' time limit; throws EngineError.
  explicit PgConnection(const ConnectParams& params);
  ~PgConnection() override;
  PgConnection(const PgConnection&) = delete;
  PgConnection& operator=(const PgConnection&) = delete;

  bool Execute(std::string_view batch, const std::vector<Parameter>& params,
               int32_t timeout_seconds, ResultTable* rows, int64_t& affected) override;
  void BeginTransaction() override;
  void CommitTransaction() override;
  void RollbackTransaction() override;
  bool Reusable() const override;
  // Nothing arrived while idle: the server has not ended the session.
  bool Usable() override;

  // Runs PostgreSQL text as it stands through the simple protocol (several
  // statements, no parameters); for schema scripts and maintenance.
  void RunScript(const std::string& sql);
  int ServerVersion() const { return PQserverVersion(conn_); }
  // Throws EngineError when the database lacks the case rules.  Once per
  // connection, before its first statement.
  void CheckCaseRules();

 private:
  struct Stream;
  enum class Reader : uint8_t;

  void Command(const char* sql);
  // Sends the statements in one round trip; throws the first failure.
  // `hold` leaves the batch's own transaction open for the caller to end.
  // With a `stream`, each statement's rows arrive one at a time (libpq's
  // single-row mode) and go into the stream's table as they come, so that
  // libpq never holds a whole result beside the table; the results returned
  // for those statements then hold no rows.
  std::vector<PGresult*> RunPipeline(const PgBatch& batch, const std::vector<Parameter>& params,
                                     int32_t timeout_ms, bool hold, Stream* stream);
  // One row of the statement `index` of the batch, in single-row mode.
  void TakeRow(Stream& stream, size_t index, PGresult* row);
  // After a batch failed inside the caller's transaction: back to the batch's
  // savepoint, or, after a time-out or when that fails, the whole
  // transaction rolled back and lost.
  void RecoverTransaction(bool timed_out);
  // `statement` produced the result.
  void Fill(const PGresult* result, const PgStatement& statement,
            const std::unordered_map<std::string, std::string>& spellings, ResultTable& rows);
  // Whether the result's columns can be typed without reading the catalogue
  // again (which no pipeline in progress allows).
  bool KnowsTables(const PGresult* result) const;
  // Adds the result's columns to `rows`; returns how each is read.
  std::vector<Reader> AddColumns(const PGresult* result, const PgStatement& statement,
                                 const std::unordered_map<std::string, std::string>& spellings,
                                 ResultTable& rows);
  // Reads what the connection knows of the database: the stored columns'
  // kinds (for typing statements) and which of them are flags (for reading
  // results).  When connecting and after a change of the schema.
  void LoadCatalogue();

  PGconn* conn_ = nullptr;
  PgTranslator translator_;
  bool read_only_ = false;
  TransactionState transaction_;
  bool release_pending_ = false;  // the last batch's savepoint is still there
  int64_t timeout_ms_ = -1;       // statement_timeout in force; -1 = not known
  bool left_state_ = false;       // ran a statement that may leave state behind
  // From LoadCatalogue().
  dialect::Catalogue catalogue_;
  std::unordered_map<unsigned, std::vector<int>> flag_columns_;  // by table: attnums
  std::vector<dialect::ValueKind> param_kinds_;
};

}  // namespace kx4::ado::pg

#endif  // KX4DATA_DATAACCESS_POSTGRES_PGCONNECTION_H_
