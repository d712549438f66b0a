// The access policies (KXSecurity values) a caller holds.
#ifndef KX4DATA_SESSION_ACCESSPOLICIES_H_
#define KX4DATA_SESSION_ACCESSPOLICIES_H_

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kx4 {

// Growable, lower bound 0; index 0 is a placeholder that is never examined,
// held policies follow in the order granted, duplicates allowed.
class AccessPolicies {
 public:
  AccessPolicies() { Reset(); }
  void Reset() { policies_.assign(1, 0); }
  void Add(int32_t policy) { policies_.push_back(policy); }
  bool Contains(int32_t policy) const;
  int32_t UBound() const { return static_cast<int32_t>(policies_.size()) - 1; }
  int32_t operator[](int32_t index) const { return policies_.at(static_cast<size_t>(index)); }

 private:
  std::vector<int32_t> policies_;
};

}  // namespace kx4

#endif  // KX4DATA_SESSION_ACCESSPOLICIES_H_
