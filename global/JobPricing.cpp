#include <kx4data/JobPricing.h>

#include <kx4data/AppTrack.h>
#include <kx4data/Configuration.h>
#include <kx4data/DataGlobal.h>
#include <kx4data/KXData.h>
#include <kx4data/PaperType.h>
#include <kx4data/Printer.h>
#include <kx4data/Settings.h>
#include <kx4data/User.h>
#include <kx4data/ValidatedValue.h>
#include <kx4data/ado/Recordset.h>

#include <cstdint>
#include <limits>

#include "dataaccess/Money.h"
#include "session/Text.h"

namespace kx4 {
namespace {

constexpr int64_t kPercent = 100;

[[nodiscard]] KXErrorPtr NotPriced(const std::string& why) {
  return MakeError("The print job was not priced: " + why, KXError::kIconStop);
}

[[nodiscard]] KXErrorPtr Cancelled(const std::string& message) {
  return MakeError(message, KXError::kIconExclamation, erActionCancelled);
}

bool SameName(const std::string& a, const std::string& b) {
  return UCase(TrimSpaces(a)) == UCase(TrimSpaces(b));
}

[[nodiscard]] KXErrorPtr CheckRange(const char* what, int32_t value, int32_t low, int32_t high) {
  if (value >= low && value <= high)
    return nullptr;
  return NotPriced(std::string(what) + " " + std::to_string(value) + " is outside " +
                   std::to_string(low) + " to " + std::to_string(high) + ".");
}

[[nodiscard]] KXErrorPtr CheckNumbers(const JobRequest& request) {
  KXErrorPtr error = CheckRange("the page count", request.pages, 0, INT16_MAX);
  if (!error)
    error = CheckRange("the number of copies", request.copies, 1, INT16_MAX);
  if (!error)
    error = CheckRange("pages times copies", request.pages * request.copies, 0, INT16_MAX);
  if (!error)
    error = CheckRange("the page width", request.page_width, 0, INT32_MAX);
  if (!error)
    error = CheckRange("the page height", request.page_height, 0, INT32_MAX);
  return error;
}

// The job's user, when it has one; inactive users are refused as their PIN
// would be.
[[nodiscard]] KXErrorPtr FindUser(KXData& pinsData, const JobRequest& request,
                                  std::shared_ptr<User>& user) {
  if (!request.pin_code.empty())
    return pinsData.GetAuthorization(request.pin_code, user);
  if (!pinsData.CheckSecurity(kxsWriteJob)) {
    if (KXErrorPtr error = pinsData.GetAuthorization())
      return error;
  }
  if (request.user_id < 1)
    return nullptr;
  auto loaded = std::make_shared<User>();
  if (KXErrorPtr error = loaded->Load(pinsData, request.user_id))
    return error;
  if (!loaded->Active())
    return MakeError("The user " + loaded->Name() + " is not active.", KXError::kIconExclamation);
  user = std::move(loaded);
  return nullptr;
}

// The printer's configuration, or the unlisted-printer configuration when
// no printer has the port.
[[nodiscard]] KXErrorPtr FindConfiguration(KXData& pinsData, const JobRequest& request,
                                           Configuration& config, std::string& printer_name,
                                           bool& listed) {
  Printer printer;
  KXErrorPtr error = printer.LoadByPort(pinsData, request.printer_port);
  if (!error) {
    listed = true;
    printer_name = printer.Name();
    return config.Load(pinsData, printer.ConfigurationId());
  }
  if (error->KXErrorNumber() != erRecordExpected)
    return error;
  listed = false;
  printer_name = request.printer_port;
  return config.LoadUnlistedPrinterConfig(pinsData);
}

// The paper type the job is priced with: its modifier in the configuration
// and the description recorded.  An unknown paper type is neutral.
void ChoosePaper(const Configuration& config, const JobRequest& request, PricedJob& priced,
                 int16_t& modifier, std::string& description) {
  modifier = 100;
  description = request.paper_type;
  for (const std::shared_ptr<PaperType>& paper : *config.PaperTypes()) {
    const bool wanted = request.paper_type.empty() ? paper->DefaultType()
                                                   : SameName(paper->Description(), description);
    if (wanted) {
      modifier = paper->CostModifier();
      description = paper->Description();
      return;
    }
  }
  if (!request.paper_type.empty())
    priced.warnings.push_back("The paper type " + request.paper_type +
                              " is not known; it is priced without a modifier.");
}

[[nodiscard]] KXErrorPtr FindBillingCode(KXData& pinsData, const std::string& code,
                                         ValidatedValue& value) {
  if (code.empty())
    return nullptr;
  if (KXErrorPtr error = value.LoadByCode(pinsData, code))
    return error;
  if (!value.Active())
    return MakeError("The billing code " + code + " is not active.", KXError::kIconExclamation);
  return nullptr;
}

// The configuration's option, unless the job's application is tracked with
// an option of its own and the settings do not ignore tracked applications.
[[nodiscard]] KXErrorPtr ChooseTrackStatus(KXData& pinsData, const Configuration& config,
                                           const std::string& process, KXTrackStatus& status) {
  status = config.TrackOptionId();
  if (TrimSpaces(process).empty())
    return nullptr;
  bool ignore_applications = false;
  if (KXErrorPtr error = DataGlobal().GetApplicationTrack(pinsData, ignore_applications))
    return error;
  if (ignore_applications)
    return nullptr;
  std::shared_ptr<ado::Recordset> apps;
  if (KXErrorPtr error = DataGlobal().GetApplicationList(pinsData, apps))
    return error;
  for (; !apps->Eof(); apps->MoveNext()) {
    if (SameName(apps->Fields("Name").Value().ToString(), process)) {
      status = static_cast<KXTrackStatus>(apps->Fields("TrackOptionId").Value().ToLong());
      break;
    }
  }
  apps->Close();
  return nullptr;
}

// Pages times copies against the configuration's limit: refused, or only a
// warning when the settings say so.
[[nodiscard]] KXErrorPtr CheckPageLimit(KXData& pinsData, const Configuration& config,
                                        const JobRequest& request, PricedJob& priced) {
  const int32_t units = request.pages * request.copies;
  if (config.MaxPages() <= 0 || units <= config.MaxPages())
    return nullptr;
  std::string message = config.MaxError();
  if (message.empty()) {
    message = "The job has " + std::to_string(units) + " pages; the limit is " +
              std::to_string(config.MaxPages()) + ".";
  }
  std::shared_ptr<Settings> settings;
  if (KXErrorPtr error = DataGlobal().GetSettings(pinsData, settings))
    return error;
  if (settings->CancelMaxPage())
    return Cancelled(message);
  priced.warnings.push_back(message);
  return nullptr;
}

void FillJob(const JobRequest& request, const Configuration& config, PrintJob& job) {
  job.SetNetworkUser(request.network_user);
  job.SetMachineName(request.machine_name);
  job.SetProcessName(request.process_name);
  job.SetPort(request.printer_port);
  job.SetDocument(request.document);
  job.SetUnitMeasureId(config.UnitMeasureId());
  job.SetPages(static_cast<int16_t>(request.pages));
  job.SetCopies(static_cast<int16_t>(request.copies));
  job.SetColor(request.color);
  job.SetPageWidth(request.page_width);
  job.SetPageHeight(request.page_height);
  job.SetPaperSize(request.paper_size);
  job.SetUserDefinedOne(request.user_defined_one);
  job.SetUserDefinedTwo(request.user_defined_two);
  job.SetPrintedToFile(request.printed_to_file);
  job.SetConfigName(config.Name());
}

}  // namespace

KXErrorPtr PricePerUnit(Currency unit_cost, bool color, int16_t color_modifier,
                        int16_t paper_modifier, int16_t code_modifier, Currency& price) {
  // At most 2^63 * 2^45 in magnitude: exact in 128 bits.
  using ado::money::Wide;
  const Wide numerator = Wide{unit_cost.Ticks()} * (color ? color_modifier : kPercent) *
                         paper_modifier * code_modifier;
  const Wide divisor = kPercent * kPercent * kPercent;
  Wide quotient = numerator / divisor;
  const Wide remainder = numerator % divisor;
  // Ties to even: the remainder against half the divisor, by magnitude.
  const Wide twice = 2 * (remainder < 0 ? -remainder : remainder);
  if (twice > divisor || (twice == divisor && quotient % 2 != 0))
    quotient += numerator < 0 ? -1 : 1;
  if (quotient < std::numeric_limits<int64_t>::min() ||
      quotient > std::numeric_limits<int64_t>::max())
    return NotPriced("its price per unit is beyond the range of money values.");
  price = Currency::FromTicks(static_cast<int64_t>(quotient));
  return nullptr;
}

KXErrorPtr PriceJob(KXData& pinsData, const JobRequest& request, PricedJob& priced) {
  if (KXErrorPtr error = CheckNumbers(request))
    return error;
  PricedJob result;
  KXErrorPtr error = FindUser(pinsData, request, result.user);
  Configuration config;
  std::string printer_name;
  if (!error)
    error = FindConfiguration(pinsData, request, config, printer_name, result.listed_printer);
  ValidatedValue code;
  if (!error)
    error = FindBillingCode(pinsData, request.billing_code, code);
  KXTrackStatus status = kxtPopup;
  if (!error)
    error = ChooseTrackStatus(pinsData, config, request.process_name, status);
  if (!error)
    error = CheckPageLimit(pinsData, config, request, result);
  if (error)
    return error;

  int16_t paper_modifier = 100;
  std::string paper;
  ChoosePaper(config, request, result, paper_modifier, paper);
  Currency price;
  if (KXErrorPtr refused =
          PricePerUnit(config.UnitCost(), request.color, config.ColorModifier(), paper_modifier,
                       code.Id() > 0 ? code.CostModifier() : 100, price))
    return refused;

  PrintJob& job = result.job;
  FillJob(request, config, job);
  job.SetPrinterName(request.printer_name.empty() ? printer_name : request.printer_name);
  job.SetPaperType(paper);
  job.SetValidatedValueId(code.Id());
  job.SetUserId(result.user ? result.user->Id() : -1);
  job.SetCostPerUnit(price);
  job.SetTrackStatus(status);
  if (KXErrorPtr refused = job.JobCost(result.cost))
    return refused;
  if (request.refuse_over_quota && result.user && result.user->UseQuota() &&
      result.cost > result.user->QuotaRemaining()) {
    return Cancelled("Not enough quota left: the job costs " + result.cost.ToString() + " and " +
                     result.user->QuotaRemaining().ToString() + " remains.");
  }
  priced = std::move(result);
  return nullptr;
}

}  // namespace kx4
