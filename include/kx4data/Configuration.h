// A printer configuration (one row of tblConfigurations with its rows of
// tblConfigurationPaperTypes): how jobs on a printer are tracked and priced,
// and the paper types it offers with a price modifier for each.
#ifndef KX4DATA_CONFIGURATION_H_
#define KX4DATA_CONFIGURATION_H_

#include <cstdint>
#include <memory>
#include <string>

#include <kx4data/Currency.h>
#include <kx4data/Export.h>
#include <kx4data/KXEnums.h>
#include <kx4data/KXError.h>
#include <kx4data/PaperTypeCollection.h>

namespace kx4 {

class KXData;

class KX4DATA_API Configuration {
 public:
  // Blanks trimmed; unique among configurations, ignoring case.
  const std::string& Name() const { return name_; }
  void SetName(const std::string& value);
  // Not validated.
  KXTrackStatus TrackOptionId() const { return track_option_id_; }
  void SetTrackOptionId(KXTrackStatus value) { track_option_id_ = value; }
  int32_t UnitMeasureId() const { return unit_measure_id_; }
  void SetUnitMeasureId(int32_t value) { unit_measure_id_ = value; }
  // The unit's display text; filled by the loads only.
  const std::string& UnitDesc() const { return unit_desc_; }
  Currency UnitCost() const { return unit_cost_; }
  void SetUnitCost(Currency value) { unit_cost_ = value; }
  // Page limit per job; 0 or below is no limit, stored as NULL and loaded
  // as 0.
  int16_t MaxPages() const { return max_pages_; }
  void SetMaxPages(int16_t value) { max_pages_ = value; }
  // Colour surcharge in percent, 100 neutral; stored as the value minus 100,
  // so below -32668 it cannot be saved.
  int16_t ColorModifier() const { return color_modifier_; }
  void SetColorModifier(int16_t value) { color_modifier_ = value; }
  // A new configuration is always stored active; an update stores this.
  bool Active() const { return active_; }
  void SetActive(bool value) { active_ = value; }
  // -1 until the row is stored.
  int32_t Id() const { return id_; }
  void SetId(int32_t value) { id_ = value; }
  // The configuration's own collection, one entry per active paper type after
  // ResetPaperTypes.  ResetPaperTypes replaces it: a collection held from
  // before no longer belongs to the configuration.
  const std::shared_ptr<PaperTypeCollection>& PaperTypes() const { return paper_types_; }
  // Text kept with the page limit; blanks trimmed.
  const std::string& MaxError() const { return max_error_; }
  void SetMaxError(const std::string& value);

  // In one transaction: inserts (Id -1) or updates the row, then rewrites
  // its paper-type table from the entries marked InCurrentConfig.  Modifiers
  // that cannot be stored are refused before anything runs; Id takes the new
  // key only once everything is committed.
  [[nodiscard]] KXErrorPtr Save(KXData& pinsData);
  // Makes this the configuration of printers that are not listed.
  [[nodiscard]] KXErrorPtr SetAsUnlistedPrinterConfig(KXData& pinsData);
  // Reads the row, then ResetPaperTypes.
  [[nodiscard]] KXErrorPtr Load(KXData& pinsData, int32_t plngId);
  [[nodiscard]] KXErrorPtr LoadUnlistedPrinterConfig(KXData& pinsData);
  // Refused while a printer or the settings row uses the configuration;
  // otherwise deletes its paper-type rows and its row in one transaction.
  [[nodiscard]] KXErrorPtr Delete(KXData& pinsData);
  // A new collection with every active paper type in list order, marked and
  // priced where this configuration offers it (matched by paper type, not by
  // position); the default modifier elsewhere.  On failure the collection
  // stays as it was.
  [[nodiscard]] KXErrorPtr ResetPaperTypes(KXData& pinsData);

 private:
  [[nodiscard]] KX4DATA_LOCAL KXErrorPtr LoadRow(KXData& pinsData, const std::string& pstrSQL);

  std::string name_;
  KXTrackStatus track_option_id_ = kxtPopup;
  int32_t unit_measure_id_ = 0;
  std::string unit_desc_;
  Currency unit_cost_ = Currency::FromTicks(2500);
  int16_t max_pages_ = -1;
  int16_t color_modifier_ = 100;
  bool active_ = false;
  int32_t id_ = -1;
  std::shared_ptr<PaperTypeCollection> paper_types_ = std::make_shared<PaperTypeCollection>();
  std::string max_error_;
};

}  // namespace kx4

#endif  // KX4DATA_CONFIGURATION_H_
