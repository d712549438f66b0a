// Listings in the three forms the tool prints: an aligned table for people,
// RFC 4180 CSV and JSON for programs.  Rows come straight from the library's
// record sets, so a large list is never copied.
#ifndef KX4_TOOLS_KX4_OUTPUT_H_
#define KX4_TOOLS_KX4_OUTPUT_H_

#include <kx4data/Variant.h>

#include <cstdint>
#include <memory>
#include <ostream>
#include <set>
#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace kx4::ado {
class Recordset;
}

namespace kx4::cli {

class Progress;

enum class Format { kTable, kCsv, kJson };

// Adds "--format table|csv|json" (table by default) to `command`.
void AddFormatOption(CLI::App& command, Format& format);

// Rows with named columns that can be read more than once.
class Rows {
 public:
  virtual ~Rows() = default;
  virtual size_t ColumnCount() const = 0;
  virtual const std::string& ColumnName(size_t column) const = 0;
  // -1 when unknown.
  virtual int64_t RowCount() const = 0;
  virtual void First() = 0;
  virtual bool AtEnd() const = 0;
  virtual void Next() = 0;
  virtual Variant Value(size_t column) const = 0;
};

// A record set of the library, leaving out the columns named in `hidden`
// (compared without regard to case).
class RecordsetRows : public Rows {
 public:
  explicit RecordsetRows(std::shared_ptr<ado::Recordset> records,
                         const std::set<std::string>& hidden = {});
  size_t ColumnCount() const override { return names_.size(); }
  const std::string& ColumnName(size_t column) const override { return names_[column]; }
  int64_t RowCount() const override;
  void First() override;
  bool AtEnd() const override;
  void Next() override;
  Variant Value(size_t column) const override;

 private:
  std::shared_ptr<ado::Recordset> records_;
  std::vector<std::string> names_;
  std::vector<int32_t> fields_;
};

// Rows the tool makes itself: one record shown by a record class, or a
// summary.
class ValueRows : public Rows {
 public:
  explicit ValueRows(std::vector<std::string> names) : names_(std::move(names)) {}
  void Add(std::vector<Variant> row) { rows_.push_back(std::move(row)); }
  size_t ColumnCount() const override { return names_.size(); }
  const std::string& ColumnName(size_t column) const override { return names_[column]; }
  int64_t RowCount() const override { return static_cast<int64_t>(rows_.size()); }
  void First() override { at_ = 0; }
  bool AtEnd() const override { return at_ >= rows_.size(); }
  void Next() override { ++at_; }
  Variant Value(size_t column) const override { return rows_[at_][column]; }

 private:
  std::vector<std::string> names_;
  std::vector<std::vector<Variant>> rows_;
  size_t at_ = 0;
};

// Writes every row.  `progress`, when given, hears of each row written.
void WriteRows(std::ostream& out, Rows& rows, Format format, Progress* progress = nullptr);
// Writes the first row as one record: a JSON object, a two-column table of
// names and values, or CSV with its header.
void WriteRecord(std::ostream& out, Rows& rows, Format format);

// The JSON and CSV text of single values, exposed for the tests.
std::string MoneyText(Currency value);  // always four decimals: "-0.5000"
std::string IsoDate(DateTime value);    // "2026-03-05T10:00:00"
std::string JsonString(const std::string& text);
std::string CsvField(const std::string& text);

}  // namespace kx4::cli

#endif  // KX4_TOOLS_KX4_OUTPUT_H_
