// A printer known to the system (one row of tblPrinters), found by its port,
// with the configuration that decides how its jobs are tracked and priced.
#ifndef KX4DATA_PRINTER_H_
#define KX4DATA_PRINTER_H_

#include <cstdint>
#include <string>

#include <kx4data/Export.h>
#include <kx4data/KXError.h>

namespace kx4 {

class KXData;

class KX4DATA_API Printer {
 public:
  // -1 until the row is stored.
  int32_t Id() const { return id_; }
  void SetId(int32_t value) { id_ = value; }
  const std::string& Name() const { return name_; }
  void SetName(const std::string& value);  // blanks trimmed
  // Kept exactly as assigned; ports compare without regard to case.
  const std::string& Port() const { return port_; }
  void SetPort(const std::string& value) { port_ = value; }
  // Not validated.
  int32_t ConfigurationId() const { return configuration_id_; }
  void SetConfigurationId(int32_t value) { configuration_id_ = value; }

  [[nodiscard]] KXErrorPtr Load(KXData& pinsData, int32_t plngId);
  // Port keeps the caller's text; the stored spelling is not read back.  An
  // empty port finds nothing.
  [[nodiscard]] KXErrorPtr LoadByPort(KXData& pinsData, const std::string& pstrPort);
  // Refuses a port another printer has (ignoring case), then inserts (Id -1)
  // or updates.  Printers without a port never clash.
  [[nodiscard]] KXErrorPtr Save(KXData& pinsData);
  // Runs even for Id -1, deleting nothing then.
  [[nodiscard]] KXErrorPtr Delete(KXData& pinsData);
  // Gives every printer in `pstrIds` (decimal ids separated by commas) this
  // object's ConfigurationId.  Any other list is refused and nothing runs.
  [[nodiscard]] KXErrorPtr BatchUpdate(KXData& pinsData, const std::string& pstrIds);

 private:
  int32_t id_ = -1;
  std::string name_;
  std::string port_;
  int32_t configuration_id_ = -1;
};

}  // namespace kx4

#endif  // KX4DATA_PRINTER_H_
