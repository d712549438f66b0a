// One row of tblPaperTypes: an entry of the global, ordered paper-type list
// with its default price modifier.  Configurations hold these objects as the
// entries of their paper-type tables.
#ifndef KX4DATA_PAPERTYPE_H_
#define KX4DATA_PAPERTYPE_H_

#include <cstdint>
#include <string>

#include <kx4data/Export.h>
#include <kx4data/KXError.h>

namespace kx4 {

class KXData;

class KX4DATA_API PaperType {
 public:
  int32_t Id() const { return id_; }
  void SetId(int32_t value) { id_ = value; }
  // Held and stored exactly as assigned, blanks included.
  const std::string& Description() const { return description_; }
  void SetDescription(const std::string& value) { description_ = value; }
  bool Active() const { return active_; }
  void SetActive(bool value) { active_ = value; }
  // Saving with this set clears it on every other paper type.
  bool DefaultType() const { return default_type_; }
  void SetDefaultType(bool value) { default_type_ = value; }
  // The list position read by the last Load; Save never writes it.
  int32_t Position() const { return position_; }
  void SetPosition(int32_t value) { position_ = value; }
  // Meaningful only inside a configuration's paper-type table; not stored.
  bool InCurrentConfig() const { return in_current_config_; }
  void SetInCurrentConfig(bool value) { in_current_config_ = value; }
  // Percent, 100 neutral; stored as the value minus 100.
  int16_t CostModifier() const { return cost_modifier_; }
  void SetCostModifier(int16_t value) { cost_modifier_ = value; }

  [[nodiscard]] KXErrorPtr Load(KXData& pinsData, int32_t plngId);
  // Inserts (Id -1, at the end of the list) or updates.
  [[nodiscard]] KXErrorPtr Save(KXData& pinsData);
  // Exchanges positions with the row `pintDirection` places away (-1 up,
  // +1 down), reckoned from Position; Position itself is left as it was.
  [[nodiscard]] KXErrorPtr ChangeOrder(KXData& pinsData, int16_t pintDirection);
  // Removes the paper type from every configuration and deletes its row.
  [[nodiscard]] KXErrorPtr Delete(KXData& pinsData);

 private:
  int32_t id_ = -1;
  std::string description_;
  bool active_ = false;
  bool default_type_ = false;
  int32_t position_ = 0;
  bool in_current_config_ = false;
  int16_t cost_modifier_ = 100;
};

}  // namespace kx4

#endif  // KX4DATA_PAPERTYPE_H_
