// Print jobs written straight into the table, every column chosen by the
// test, for the suites of DataGlobal's job list and maintenance members.
#ifndef KX4DATA_TESTS_GLOBAL_JOBROWS_H_
#define KX4DATA_TESTS_GLOBAL_JOBROWS_H_

#include <kx4data/DateTime.h>
#include <kx4data/Variant.h>

#include <cstdint>
#include <memory>
#include <string>

#include "support/TestDatabase.h"

namespace kx4::test {

// One job; 0 and "" stand for NULL where the column allows it.
struct JobRow {
  std::string document{};  // tells the jobs apart in a list
  DateTime printed = DateTime::FromCivil(2026, 3, 5, 12, 0);
  int32_t user_id = 0;
  int32_t validated_id = 0;
  std::string network_user = "jdoe";
  std::string machine = "PC-1";
  std::string printer = "Laser";
  std::string port = "LPT1:";
  std::string process = "winword.exe";
  std::string paper_type = "A4";
  std::string user_one{};
  std::string user_two{};
  int32_t unit_id = 1;
};

inline Variant OrNull(const std::string& text) {
  return text.empty() ? Variant::Null() : Variant(text);
}
inline Variant OrNull(int32_t id) {
  return id == 0 ? Variant::Null() : Variant(id);
}

inline void InsertJob(const std::shared_ptr<ado::Connection>& raw, const JobRow& job) {
  Execute(raw,
          "INSERT INTO tblPrintJobs (UserId, ValidatedId, NetworkUser, MachineName, PrinterName, "
          "PrinterPort, ProcessName, PaperType, Document, Pages, Copies, PageWidth, PageHeight, "
          "PaperSize, Color, CostPerUnit, UnitMeasureId, DatePrinted, UserDefined1, "
          "UserDefined2, ConfigName, TrackStatus, PrintedToFile) VALUES (?, ?, ?, ?, ?, ?, ?, ?, "
          "?, 2, 1, 2159, 2794, 'Letter', 1, ?, ?, ?, ?, ?, 'Standard', 2, 0)",
          {OrNull(job.user_id), OrNull(job.validated_id), Variant(job.network_user),
           OrNull(job.machine), Variant(job.printer), Variant(job.port), Variant(job.process),
           OrNull(job.paper_type), Variant(job.document), Variant(Currency::FromTicks(1250)),
           Variant(job.unit_id), Variant(job.printed), OrNull(job.user_one), OrNull(job.user_two)});
}

}  // namespace kx4::test

#endif  // KX4DATA_TESTS_GLOBAL_JOBROWS_H_
