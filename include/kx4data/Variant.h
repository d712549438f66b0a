// The VB-style value that crosses the library's boundary: parameter and
// filter arrays, registry values, record-set field values.
#ifndef KX4DATA_VARIANT_H_
#define KX4DATA_VARIANT_H_

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include <kx4data/Currency.h>
#include <kx4data/DateTime.h>
#include <kx4data/Export.h>

namespace kx4 {

// Variant type codes, as VarType reports them.
enum VbVarType : int32_t {
  vbEmpty = 0,
  vbNull = 1,
  vbInteger = 2,
  vbLong = 3,
  vbSingle = 4,
  vbDouble = 5,
  vbCurrency = 6,
  vbDate = 7,
  vbString = 8,
  vbObject = 9,
  vbError = 10,
  vbBoolean = 11,
  vbVariant = 12,
  vbDecimal = 14,
  vbByte = 17,
  vbArray = 8192,
};

class VariantArray;

class KX4DATA_API Variant {
 public:
  struct NullTag {
    bool operator==(const NullTag&) const = default;
  };

  Variant() = default;  // Empty
  Variant(NullTag) : value_(NullTag{}) {}
  Variant(int16_t v) : value_(v) {}
  Variant(int32_t v) : value_(v) {}
  Variant(float v) : value_(v) {}
  Variant(double v) : value_(v) {}
  Variant(Currency v) : value_(v) {}
  Variant(DateTime v) : value_(v) {}
  Variant(bool v) : value_(v) {}
  Variant(uint8_t v) : value_(v) {}
  Variant(std::string v) : value_(std::move(v)) {}
  Variant(std::string_view v) : value_(std::string(v)) {}
  Variant(const char* v) : value_(std::string(v)) {}
  Variant(VariantArray array);

  static Variant Null() { return Variant(NullTag{}); }

  // The type code: one of VbVarType; arrays report vbArray + vbVariant.
  int32_t VarType() const;
  bool IsEmpty() const { return value_.index() == 0; }
  bool IsNull() const { return value_.index() == 1; }
  bool IsArray() const;
  bool IsString() const { return std::holds_alternative<std::string>(value_); }
  // True for the numeric types, booleans, and text that reads as a number.
  bool IsNumeric() const;

  // Conversions with the classic rules: Empty reads as 0, "" or false, Null
  // cannot be converted (invalid use of Null), text must read as a value of
  // the target type (type mismatch), and numbers out of the target range
  // overflow.  Each failure throws RuntimeError; none yields a wrong value.
  // Whole-number targets round half to even.
  int16_t ToInteger() const;
  int32_t ToLong() const;
  uint8_t ToByte() const;
  float ToSingle() const;
  double ToDouble() const;
  Currency ToCurrency() const;
  DateTime ToDate() const;
  bool ToBoolean() const;
  std::string ToString() const;

  const VariantArray& Array() const;  // throws RuntimeError unless IsArray()

  // Exact payload access; nullptr when the variant holds another type.
  template <typename T>
  const T* Get() const {
    return std::get_if<T>(&value_);
  }

  // Same type and same value (arrays element by element).
  bool operator==(const Variant& other) const;

 private:
  using Value =
      std::variant<std::monostate, NullTag, int16_t, int32_t, float, double, Currency, DateTime,
                   std::string, bool, uint8_t, std::shared_ptr<const VariantArray>>;
  Value value_;
};

// A one-dimensional array with a lower bound, addressed by absolute index.
class KX4DATA_API VariantArray {
 public:
  VariantArray() = default;
  explicit VariantArray(std::vector<Variant> elements, int32_t lower_bound = 0)
      : lower_(lower_bound), elements_(std::move(elements)) {}
  VariantArray(std::initializer_list<Variant> elements, int32_t lower_bound = 0)
      : lower_(lower_bound), elements_(elements) {}

  int32_t LBound() const { return lower_; }
  int32_t UBound() const { return lower_ + static_cast<int32_t>(elements_.size()) - 1; }
  size_t Size() const { return elements_.size(); }
  // Throws RuntimeError (subscript out of range) outside LBound..UBound.
  const Variant& operator[](int32_t index) const;
  Variant& operator[](int32_t index);
  void Append(Variant value) { elements_.push_back(std::move(value)); }
  const std::vector<Variant>& Elements() const { return elements_; }

  bool operator==(const VariantArray& other) const = default;

 private:
  int32_t lower_ = 0;
  std::vector<Variant> elements_;
};

}  // namespace kx4

#endif  // KX4DATA_VARIANT_H_
