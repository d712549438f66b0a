// What translation knows of values: the kind of every stored column, by
// table, as the engine reports it, and the kind of a bound parameter.  Both
// engines fill one Catalogue from their own system tables.
#ifndef KX4DATA_DATAACCESS_DIALECT_CATALOGUE_H_
#define KX4DATA_DATAACCESS_DIALECT_CATALOGUE_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace kx4::ado {
class Parameter;
}

namespace kx4::ado::dialect {

// The kind of value an expression yields, as far as translation needs it.
enum class ValueKind : uint8_t {
  kUnknown,  // an engine-native construct, a column of no known table
  kNull,     // NULL, or a parameter without a value
  kInteger,  // integer and flag columns, counts, integer literals
  kDecimal,  // exact numbers with decimals: 1.15, decimal columns
  kFloat,    // approximate numbers
  kMoney,    // exact, four decimal places
  kText,
  kTextCi,  // text of a column that follows the case rules (kx4_ci), as it
            // stands or in parentheses or a CAST to text: compared, sorted
            // and grouped by its key (upper-cased by the library's table,
            // trailing blanks ignored)
  kDate,
  kBoolean,  // a condition
};

// The kind of a column or parameter of this ADO type (adCurrency is money,
// adNumeric a decimal).
ValueKind KindOfAdoType(int32_t ado_type);
// By the ADO type; adNumeric, the type of "anything else", by the value held.
ValueKind KindOfParameter(const Parameter& parameter);

class Catalogue {
 public:
  // A column of one table.
  struct Entry {
    std::string table;
    ValueKind kind;
    bool flag;
  };

  void Clear();
  void Add(std::string_view table, std::string_view column, ValueKind kind, bool flag = false);

  bool HasTable(std::string_view table) const;
  // Every table's column of this name, or null when no table has one.
  const std::vector<Entry>* Columns(std::string_view column) const;
  // kUnknown when the table or the column is not known.
  ValueKind Kind(std::string_view table, std::string_view column) const;
  bool IsFlag(std::string_view table, std::string_view column) const;
  // Whether an insert into the table assigns its key (@@IDENTITY).  Recorded
  // where the engine needs it: SQLite, whose row-change hook asks.
  void SetIdentity(std::string_view table);
  bool HasIdentity(std::string_view table) const;
  // Whether some table has a money column of this name: statements that name
  // none (and bind no money) need no typing.
  bool IsMoneyName(std::string_view column) const { return money_names_.Contains(column); }
  // Whether some table has a column of this name that follows the case rules.
  bool IsCaseName(std::string_view column) const { return case_names_.Contains(column); }
  // Changes whenever the catalogue does.
  uint64_t Version() const { return version_; }

 private:
  // Names compare as the engines compare unquoted names: ASCII case ignored.
  struct Hash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const;
  };
  struct Equal {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const;
  };
  const Entry* Find(std::string_view table, std::string_view column) const;
  // Column names, most of which are told apart by their length alone.
  class NameSet {
   public:
    void Clear();
    void Insert(std::string_view name);
    bool Contains(std::string_view name) const;

   private:
    std::unordered_map<std::string, bool, Hash, Equal> names_;
    uint64_t lengths_ = 0;  // bit n: some name has n characters
  };

  // By column name: a statement's column is looked up once, then matched
  // against the tables in its scope.
  std::unordered_map<std::string, std::vector<Entry>, Hash, Equal> columns_;
  std::unordered_map<std::string, bool, Hash, Equal> tables_;  // true: has an identity
  NameSet money_names_;
  NameSet case_names_;
  uint64_t version_ = 0;
};

}  // namespace kx4::ado::dialect

#endif  // KX4DATA_DATAACCESS_DIALECT_CATALOGUE_H_
