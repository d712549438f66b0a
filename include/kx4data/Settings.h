// The single row of global settings that the product's desktop agents read.
// Only DataGlobal::GetSettings creates one; Save writes it back.
#ifndef KX4DATA_SETTINGS_H_
#define KX4DATA_SETTINGS_H_

#include <cstdint>
#include <memory>
#include <string>

#include <kx4data/Export.h>
#include <kx4data/KXError.h>

namespace kx4 {

class DataGlobal;
class KXData;

class KX4DATA_API Settings {
 public:
  Settings(const Settings&) = delete;
  Settings& operator=(const Settings&) = delete;

  // --- Properties, in interface order ---
  const std::string& FieldOneName() const { return field_one_name_; }
  void SetFieldOneName(const std::string& value) { field_one_name_ = value; }
  const std::string& FieldTwoName() const { return field_two_name_; }
  void SetFieldTwoName(const std::string& value) { field_two_name_ = value; }
  bool UseFieldOne() const { return use_field_one_; }
  void SetUseFieldOne(bool value) { use_field_one_ = value; }
  bool UseFieldTwo() const { return use_field_two_; }
  void SetUseFieldTwo(bool value) { use_field_two_ = value; }
  bool AllowShutdown() const { return allow_shutdown_; }
  void SetAllowShutdown(bool value) { allow_shutdown_ = value; }
  bool AllowCostOverride() const { return allow_cost_override_; }
  void SetAllowCostOverride(bool value) { allow_cost_override_ = value; }
  bool DisplayTrayIcon() const { return display_tray_icon_; }
  void SetDisplayTrayIcon(bool value) { display_tray_icon_ = value; }
  bool ShowCost() const { return show_cost_; }
  void SetShowCost(bool value) { show_cost_ = value; }
  bool CancelMaxPage() const { return cancel_max_page_; }
  void SetCancelMaxPage(bool value) { cancel_max_page_ = value; }
  bool AllowBatch() const { return allow_batch_; }
  void SetAllowBatch(bool value) { allow_batch_ = value; }
  // Loaded from the row, never saved.
  int16_t DBVersion() const { return db_version_; }
  int16_t MaxBatch() const { return max_batch_; }
  void SetMaxBatch(int16_t value) { max_batch_ = value; }
  int16_t BatchDuration() const { return batch_duration_; }
  void SetBatchDuration(int16_t value) { batch_duration_ = value; }
  bool UseLastEntries() const { return use_last_entries_; }
  void SetUseLastEntries(bool value) { use_last_entries_ = value; }
  bool UserValidation() const { return user_validation_; }
  void SetUserValidation(bool value) { user_validation_ = value; }
  bool UseValidatedField() const { return use_validated_field_; }
  void SetUseValidatedField(bool value) { use_validated_field_ = value; }
  const std::string& ValidatedFieldName() const { return validated_field_name_; }
  void SetValidatedFieldName(const std::string& value);  // trimmed
  bool CapturePrintToFile() const { return capture_print_to_file_; }
  void SetCapturePrintToFile(bool value) { capture_print_to_file_ = value; }

  // Writes every saved property into the settings row; needs kxsAdmin.
  [[nodiscard]] KXErrorPtr Save(KXData& pinsData);

 private:
  friend class DataGlobal;
  Settings() = default;

  // Fills the object from the settings row; the not-found error when the
  // table is empty.
  [[nodiscard]] KX4DATA_LOCAL KXErrorPtr LoadSettings(KXData& pinsData);

  std::string field_one_name_;
  std::string field_two_name_;
  bool use_field_one_ = false;
  bool use_field_two_ = false;
  bool allow_shutdown_ = false;
  bool allow_cost_override_ = false;
  bool display_tray_icon_ = false;
  bool show_cost_ = false;
  bool cancel_max_page_ = false;
  bool allow_batch_ = false;
  int16_t db_version_ = 0;
  int16_t max_batch_ = 0;
  int16_t batch_duration_ = 0;
  bool use_last_entries_ = false;
  bool user_validation_ = false;
  bool use_validated_field_ = false;
  std::string validated_field_name_;
  bool capture_print_to_file_ = false;
};

}  // namespace kx4

#endif  // KX4DATA_SETTINGS_H_
