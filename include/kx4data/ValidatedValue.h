// A validated value (one row of tblValidatedValues): a billing or project
// code that users attach to their print jobs, with a price modifier.
#ifndef KX4DATA_VALIDATEDVALUE_H_
#define KX4DATA_VALIDATEDVALUE_H_

#include <cstdint>
#include <string>

#include <kx4data/Export.h>
#include <kx4data/KXError.h>

namespace kx4 {

class KXData;

class KX4DATA_API ValidatedValue {
 public:
  // Held exactly as assigned.
  const std::string& Description() const { return description_; }
  void SetDescription(const std::string& value) { description_ = value; }
  // Held exactly as assigned; unique under the database's comparison, which
  // ignores case.
  const std::string& Code() const { return code_; }
  void SetCode(const std::string& value) { code_ = value; }
  bool Active() const { return active_; }
  void SetActive(bool value) { active_ = value; }
  // Percent applied to the job price, 100 neutral; stored as the value minus
  // 100, so below -32668 it cannot be saved.
  int16_t CostModifier() const { return cost_modifier_; }
  void SetCostModifier(int16_t value) { cost_modifier_ = value; }
  // -1 until the row is stored.
  int32_t Id() const { return id_; }
  void SetId(int32_t value) { id_ = value; }

  // Gives every value in `pstrIds` (decimal ids separated by commas) this
  // object's Active and CostModifier.  Any other list, or a modifier that
  // cannot be stored, is refused and nothing runs.
  [[nodiscard]] KXErrorPtr BatchUpdate(KXData& pinsData, const std::string& pstrIds);
  // Inserts (Id -1) or updates; Id takes the new key once it is committed.
  [[nodiscard]] KXErrorPtr Save(KXData& pinsData);
  // Refused while jobs use the value; does nothing for Id -1.
  [[nodiscard]] KXErrorPtr Delete(KXData& pinsData);
  [[nodiscard]] KXErrorPtr Load(KXData& pinsData, int32_t plngId);
  // Code becomes `pstrCode` unchanged and keeps it; the stored code matches
  // under the database's comparison (case ignored), never trimmed here.
  [[nodiscard]] KXErrorPtr LoadByCode(KXData& pinsData, const std::string& pstrCode);

 private:
  std::string description_;
  std::string code_;
  bool active_ = true;
  int16_t cost_modifier_ = 100;
  int32_t id_ = -1;
};

}  // namespace kx4

#endif  // KX4DATA_VALIDATEDVALUE_H_
