#include <kx4data/PrintJob.h>

#include <kx4data/KXData.h>
#include <kx4data/RuntimeError.h>
#include <kx4data/Variant.h>

#include <cstdint>
#include <iterator>

#include "records/RecordCommon.h"
#include "records/TransactionGuard.h"
#include "session/Common.h"
#include "session/KXDataInternal.h"
#include "session/Security.h"
#include "session/Text.h"

namespace kx4 {
namespace {

constexpr double kSquareMillimetresPerSquareFoot = 92903;

[[nodiscard]] KXErrorPtr CostError(const std::string& why) {
  return MakeError("The print job was not recorded: " + why, KXError::kIconStop);
}

// Relative, so that concurrent jobs of one user each subtract their own cost.
std::string BuildQuotaUpdateSQL(const std::string& prefix, const PrintJob& job) {
  return "UPDATE " + prefix + "tblUsers SET QuotaRemaining = QuotaRemaining - ? WHERE UserId = " +
         std::to_string(job.UserId()) + " AND UseQuota = 1";
}

std::string BuildInsertSQL(const std::string& prefix, const PrintJob& job) {
  // In column order; the price is the "?" parameter, the date the server's.
  const std::string values[] = {
      IdOrNullSQL(job.UserId()),
      IdOrNullSQL(job.ValidatedValueId()),
      QuoteSQL(job.NetworkUser()),
      QuoteSQL(job.MachineName()),
      QuoteSQL(job.PrinterName()),
      QuoteSQL(UCase(job.Port())),
      QuoteSQL(UCase(job.ProcessName())),
      QuoteSQL(job.PaperType()),
      QuoteSQL(job.Document()),
      std::to_string(job.Pages()),
      std::to_string(job.Copies()),
      std::to_string(job.PageWidth()),
      std::to_string(job.PageHeight()),
      QuoteSQL(job.PaperSize()),
      FlagSQL(job.Color()),
      "?",
      std::to_string(job.UnitMeasureId()),
      "GETDATE()",
      QuoteSQL(job.UserDefinedOne()),
      QuoteSQL(job.UserDefinedTwo()),
      QuoteSQL(job.ConfigName()),
      std::to_string(job.TrackStatus()),
      FlagSQL(job.PrintedToFile()),
  };
  std::string sql = "INSERT INTO " + prefix +
                    "tblPrintJobs (UserId, ValidatedId, NetworkUser, MachineName, PrinterName, "
                    "PrinterPort, ProcessName, PaperType, Document, Pages, Copies, PageWidth, "
                    "PageHeight, PaperSize, Color, CostPerUnit, UnitMeasureId, DatePrinted, "
                    "UserDefined1, UserDefined2, ConfigName, TrackStatus, PrintedToFile) VALUES (";
  for (size_t i = 0; i < std::size(values); ++i) {
    if (i > 0)
      sql += ", ";
    sql += values[i];
  }
  sql += ")";
  return sql;
}

}  // namespace

int32_t PrintJob::UnitMeasureId() const {
  // Empty text does not convert, which is what makes an unassigned unit a
  // failed call.
  return Variant(unit_measure_id_).ToLong();
}

void PrintJob::SetUnitMeasureId(int32_t value) {
  unit_measure_id_ = std::to_string(value);
}

void PrintJob::SetProcessName(const std::string& value) {
  process_name_ = TrimSpaces(value);
}

void PrintJob::SetPaperType(const std::string& value) {
  paper_type_ = TrimSpaces(value);
}

void PrintJob::SetPaperSize(const std::string& value) {
  paper_size_ = TrimSpaces(value);
}

void PrintJob::SetConfigName(const std::string& value) {
  config_name_ = TrimSpaces(value);
}

KXErrorPtr PrintJob::Save(KXData& pinsData) {
  if (KXErrorPtr error = CheckMethodAccess(pinsData, kxsWriteJob))
    return error;
  // Priced before anything runs: a job that cannot be priced is refused whole,
  // with or without a user, instead of failing half-way through the writes.
  Currency cost;
  if (KXErrorPtr error = JobCost(cost))
    return error;

  const std::string prefix = KXDataInternal::OwnerPrefix(pinsData);
  const Variant insert_params(VariantArray{Variant(cost_per_unit_)});
  int32_t affected = 0;
  if (user_id_ == -1)
    return KXDataInternal::ExecuteNoRecords(pinsData, BuildInsertSQL(prefix, *this), insert_params,
                                            affected);

  TransactionGuard transaction(pinsData);
  KXErrorPtr error = transaction.Begin();
  if (!error) {
    error = KXDataInternal::ExecuteNoRecords(pinsData, BuildQuotaUpdateSQL(prefix, *this),
                                             Variant(VariantArray{Variant(cost)}), affected);
  }
  if (!error)
    error = KXDataInternal::ExecuteNoRecords(pinsData, BuildInsertSQL(prefix, *this), insert_params,
                                             affected);
  return transaction.Finish(error);
}

// Per page: exact money times the 16-bit page count.  Per square foot: the
// single-precision figure of the page's area, then extended precision up to
// the conversion to money (nearest ten-thousandth, ties to even); stored
// quotas depend on these exact steps.
KXErrorPtr PrintJob::JobCost(Currency& cost) const {
  if (unit_measure_id_.empty())
    return CostError("its unit of measure (UnitMeasureId) was never set.");
  if (UnitMeasureId() == kxuPages) {
    int32_t units = int32_t{pages_} * int32_t{copies_};
    if (units < INT16_MIN || units > INT16_MAX) {
      return CostError(std::to_string(pages_) + " pages times " + std::to_string(copies_) +
                       " copies is outside the range -32768 to 32767.");
    }
    try {
      cost = cost_per_unit_ * units;
    } catch (const RuntimeError&) {
      return CostError("its cost is beyond the range of money values.");
    }
    return nullptr;
  }
  float area = static_cast<float>((page_height_ / 10.0) * (page_width_ / 10.0));
  float square_feet = static_cast<float>(area / kSquareMillimetresPerSquareFoot);
  long double units = (static_cast<long double>(static_cast<float>(pages_)) * square_feet) *
                      static_cast<float>(copies_);
  try {
    cost = Currency::FromLongDouble(cost_per_unit_.ToLongDouble() * units);
  } catch (const RuntimeError&) {
    return CostError("its cost is beyond the range of money values.");
  }
  return nullptr;
}

}  // namespace kx4
