// The paper-type table of a configuration: an ordered collection of PaperType
// entries.  Callers change the entries in place; the configuration saves
// those marked InCurrentConfig, in collection order.
#ifndef KX4DATA_PAPERTYPECOLLECTION_H_
#define KX4DATA_PAPERTYPECOLLECTION_H_

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include <kx4data/Export.h>
#include <kx4data/PaperType.h>
#include <kx4data/RuntimeError.h>

namespace kx4 {

class KX4DATA_API PaperTypeCollection {
 public:
  using Entries = std::vector<std::shared_ptr<PaperType>>;

  int32_t Count() const { return static_cast<int32_t>(entries_.size()); }
  // 1 is the first entry, as in every collection of the interface; any other
  // index throws RuntimeError (subscript out of range).
  const std::shared_ptr<PaperType>& Item(int32_t index) const {
    if (index < 1 || index > Count())
      throw RuntimeError(kErrSubscriptOutOfRange, "Subscript out of range");
    return entries_[static_cast<size_t>(index - 1)];
  }
  // Appends without a key.  A null entry throws RuntimeError (invalid
  // procedure call): every entry must be a paper type.
  void Add(std::shared_ptr<PaperType> entry) {
    if (!entry)
      throw RuntimeError(kErrInvalidProcedureCall, "Invalid procedure call or argument");
    entries_.push_back(std::move(entry));
  }

  Entries::const_iterator begin() const { return entries_.begin(); }
  Entries::const_iterator end() const { return entries_.end(); }

 private:
  Entries entries_;
};

}  // namespace kx4

#endif  // KX4DATA_PAPERTYPECOLLECTION_H_
