// One recorded print job.  Save writes the tblPrintJobs row and, for a job
// with a user, charges the job's cost against that user's quota in the same
// transaction.
#ifndef KX4DATA_PRINTJOB_H_
#define KX4DATA_PRINTJOB_H_

#include <cstdint>
#include <string>

#include <kx4data/Currency.h>
#include <kx4data/DateTime.h>
#include <kx4data/Export.h>
#include <kx4data/KXEnums.h>
#include <kx4data/KXError.h>

namespace kx4 {

class KXData;

class KX4DATA_API PrintJob {
 public:
  // Below 1 is stored as NULL.
  int32_t ValidatedValueId() const { return validated_value_id_; }
  void SetValidatedValueId(int32_t value) { validated_value_id_ = value; }
  const std::string& NetworkUser() const { return network_user_; }
  void SetNetworkUser(const std::string& value) { network_user_ = value; }
  const std::string& PrinterName() const { return printer_name_; }
  void SetPrinterName(const std::string& value) { printer_name_ = value; }
  // Kept as assigned; stored upper-cased.
  const std::string& Port() const { return port_; }
  void SetPort(const std::string& value) { port_ = value; }
  const std::string& Document() const { return document_; }
  void SetDocument(const std::string& value) { document_ = value; }
  // A KXUnitTypes value: 1 counts pages, anything else square feet.  It has
  // no initial value; reading it before it was assigned throws RuntimeError
  // (type mismatch), and Save refuses a job without it.
  int32_t UnitMeasureId() const;
  void SetUnitMeasureId(int32_t value);
  Currency CostPerUnit() const { return cost_per_unit_; }
  void SetCostPerUnit(Currency value) { cost_per_unit_ = value; }
  // Not stored: the row gets the database server's clock.
  DateTime DatePrinted() const { return date_printed_; }
  void SetDatePrinted(DateTime value) { date_printed_ = value; }
  const std::string& UserDefinedOne() const { return user_defined_one_; }
  void SetUserDefinedOne(const std::string& value) { user_defined_one_ = value; }
  const std::string& UserDefinedTwo() const { return user_defined_two_; }
  void SetUserDefinedTwo(const std::string& value) { user_defined_two_ = value; }
  const std::string& MachineName() const { return machine_name_; }
  void SetMachineName(const std::string& value) { machine_name_ = value; }
  // Blanks trimmed; stored upper-cased.
  const std::string& ProcessName() const { return process_name_; }
  void SetProcessName(const std::string& value);
  const std::string& PaperType() const { return paper_type_; }
  void SetPaperType(const std::string& value);  // blanks trimmed
  int16_t Pages() const { return pages_; }
  void SetPages(int16_t value) { pages_ = value; }
  int16_t Copies() const { return copies_; }
  void SetCopies(int16_t value) { copies_ = value; }
  // Page dimensions in tenths of a millimetre.
  int32_t PageWidth() const { return page_width_; }
  void SetPageWidth(int32_t value) { page_width_ = value; }
  int32_t PageHeight() const { return page_height_; }
  void SetPageHeight(int32_t value) { page_height_ = value; }
  const std::string& PaperSize() const { return paper_size_; }
  void SetPaperSize(const std::string& value);  // blanks trimmed
  bool Color() const { return color_; }
  void SetColor(bool value) { color_ = value; }
  // -1: the job has no known user and charges no quota.  Below 1 is stored
  // as NULL.
  int32_t UserId() const { return user_id_; }
  void SetUserId(int32_t value) { user_id_ = value; }
  const std::string& ConfigName() const { return config_name_; }
  void SetConfigName(const std::string& value);  // blanks trimmed
  bool PrintedToFile() const { return printed_to_file_; }
  void SetPrintedToFile(bool value) { printed_to_file_ = value; }
  // Stored as it is; 0 until assigned.
  KXTrackStatus TrackStatus() const { return track_status_; }
  void SetTrackStatus(KXTrackStatus value) { track_status_ = value; }

  // Records the job (policy kxsWriteJob).  Changes no property, so a second
  // Save records and charges the job again.  A job whose cost cannot be
  // computed is refused before any statement runs.
  [[nodiscard]] KXErrorPtr Save(KXData& pinsData);
  // What Save charges: CostPerUnit times pages times copies, or times the
  // square feet of paper for any unit but pages (docs/pricing.md).  An
  // error when UnitMeasureId was never set, pages times copies leaves the
  // 16-bit range or the cost leaves money's; `cost` is then unchanged.
  [[nodiscard]] KXErrorPtr JobCost(Currency& cost) const;

 private:
  int32_t validated_value_id_ = -1;
  std::string network_user_;
  std::string printer_name_;
  std::string port_;
  std::string document_;
  std::string unit_measure_id_;  // decimal text; empty until assigned
  Currency cost_per_unit_;
  DateTime date_printed_;
  std::string user_defined_one_;
  std::string user_defined_two_;
  std::string machine_name_;
  std::string process_name_;
  std::string paper_type_;
  int16_t pages_ = 0;
  int16_t copies_ = 0;
  int32_t page_width_ = 0;
  int32_t page_height_ = 0;
  std::string paper_size_;
  bool color_ = false;
  int32_t user_id_ = -1;
  std::string config_name_;
  bool printed_to_file_ = false;
  KXTrackStatus track_status_ = KXTrackStatus{0};
};

}  // namespace kx4

#endif  // KX4DATA_PRINTJOB_H_
