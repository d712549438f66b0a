#include "bench/support/JobGenerator.h"

#include <libpq-fe.h>
#include <sqlite3.h>

#include <cinttypes>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "bench/support/RawEngines.h"

namespace kx4::bench {
namespace {

constexpr int kUsers = 50;
constexpr int kPrinters = 20;
constexpr int kCodes = 30;

const char* const kFirstNames[] = {"Anna",  "Ben",   "Chloe", "David", "Emma",
                                   "Felix", "Grace", "Henry", "Ines",  "Jonas"};
const char* const kLastNames[] = {"Archer", "Brown", "Clarke", "Dubois", "Evans"};
const char* const kModels[] = {"HP LaserJet 4250", "Ricoh MP C3004", "Canon iR-ADV C5535",
                               "Brother HL-L6400", "HP DesignJet T830"};
const char* const kProcesses[] = {"WINWORD.EXE", "EXCEL.EXE",  "ACRORD32.EXE",
                                  "OUTLOOK.EXE", "CHROME.EXE", "POWERPNT.EXE"};
const char* const kPaperTypes[] = {"Plain", "Recycled", "Letterhead", "Glossy"};
const char* const kDocuments[] = {"Quarterly report Q%d draft %d.docx", "Invoice %d-%06d.pdf",
                                  "Minutes of meeting %d (%d).docx", "Budget %d rev %d.xlsx",
                                  "Inbox - message %d of %d"};

std::string UserName(int user) {
  return std::string(kFirstNames[(user - 1) % 10]) + " " + kLastNames[(user - 1) / 10];
}
// The initial and the last name, in lower case: "aarcher".
std::string Login(int user) {
  std::string login = std::string(1, kFirstNames[(user - 1) % 10][0]) + kLastNames[(user - 1) / 10];
  for (char& c : login)
    c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return login;
}

// The reference rows, in statements both engines take as they stand.
std::vector<std::string> ReferenceRows() {
  std::vector<std::string> rows;
  for (int u = 1; u <= kUsers; ++u) {
    char pin[16];
    std::snprintf(pin, sizeof pin, "bench%02d", u);
    rows.push_back(
        "INSERT INTO tblUsers (PinCode, Name, UseQuota, QuotaRemaining, Active) VALUES ('" +
        std::string(pin) + "', '" + UserName(u) + "', 0, 0, 1)");
  }
  for (int v = 1; v <= kCodes; ++v) {
    rows.push_back(
        "INSERT INTO tblValidatedValues (Code, Description, CostModifier, Active) "
        "VALUES ('PRJ-" +
        std::to_string(100 + v) + "', 'Client project " + std::to_string(v) + "', 0, 1)");
  }
  rows.push_back(
      "INSERT INTO tblConfigurations (Name, TrackOptionId, UnitMeasureId, UnitCost, ColorModifier, "
      "Active) VALUES ('Standard', 2, 1, 0.05, 0, 1)");
  for (int p = 1; p <= kPrinters; ++p) {
    rows.push_back("INSERT INTO tblPrinters (Name, Port, ConfigurationId) VALUES ('" +
                   std::string(kModels[p % 5]) + " (floor " + std::to_string(p / 4) +
                   ")', 'IP_10.20." + std::to_string(p / 4) + "." + std::to_string(10 + p) +
                   "', 1)");
  }
  return rows;
}

// One cell of a job row, typed as each engine takes it.
struct Cell {
  enum Kind { kNull, kInt, kMoney, kText } kind = kNull;
  int64_t number = 0;  // integers, money in ten-thousandths
  std::string text;
};

Cell Int(int64_t v) {
  return {Cell::kInt, v, {}};
}
Cell Text(std::string v) {
  return {Cell::kText, 0, std::move(v)};
}
Cell Null() {
  return {};
}

constexpr const char* kColumns =
    "UserId, ValidatedId, NetworkUser, MachineName, PrinterName, PrinterPort, ProcessName, "
    "PaperType, Document, Pages, Copies, PageWidth, PageHeight, PaperSize, Color, CostPerUnit, "
    "UnitMeasureId, DatePrinted, UserDefined1, UserDefined2, ConfigName, TrackStatus, "
    "PrintedToFile, Accounted, AccountedOn";
constexpr int kCells = 25;

class Jobs {
 public:
  explicit Jobs(const JobSet& set) : set_(set), rng_(4711) {}

  // The cells of job `i`, in kColumns order; jobs are in print order.
  void Row(int32_t i, std::vector<Cell>& cells) {
    cells.clear();
    const int64_t span = int64_t{set_.days} * 86400;
    const DateTime printed = set_.first.AddSeconds(span * i / set_.jobs);
    const int user = Pick(20) == 0 ? 0 : 1 + Pick(kUsers);
    const int printer = Pick(kPrinters);
    const bool plotter = printer % 5 == 4;
    const bool color = !plotter && Pick(5) == 0;
    char buf[96];
    cells.push_back(user ? Int(user) : Null());
    cells.push_back(Pick(5) == 0 ? Null() : Int(1 + Pick(kCodes)));
    cells.push_back(Text(user ? Login(user) : "svc-scanner"));
    std::snprintf(buf, sizeof buf, "WS-%04d", user ? 1000 + user * 7 : 999);
    cells.push_back(Pick(10) == 0 ? Null() : Text(buf));
    std::snprintf(buf, sizeof buf, "%s (floor %d)", kModels[printer % 5], printer / 4);
    cells.push_back(Text(buf));
    std::snprintf(buf, sizeof buf, "IP_10.20.%d.%d", printer / 4, 10 + printer);
    cells.push_back(Text(buf));
    cells.push_back(Text(kProcesses[Pick(6)]));
    const int paper = Pick(5);
    cells.push_back(paper == 4 ? Null() : Text(kPaperTypes[paper]));
    std::snprintf(buf, sizeof buf, kDocuments[Pick(5)], 1 + Pick(4), i);
    cells.push_back(Text(buf));
    cells.push_back(Int(1 + Pick(30)));
    cells.push_back(Int(Pick(10) == 0 ? 2 + Pick(3) : 1));
    const bool letter = Pick(2) == 0;
    cells.push_back(Int(plotter ? 6096 : letter ? 2159 : 2100));
    cells.push_back(Int(plotter ? 9144 : letter ? 2794 : 2970));
    cells.push_back(Text(plotter ? "ARCH D" : letter ? "Letter" : "A4"));
    cells.push_back(Int(color ? 1 : 0));
    cells.push_back({Cell::kMoney, plotter ? 25000 : color ? 1500 : 500, {}});
    cells.push_back(Int(plotter ? 2 : 1));
    cells.push_back(Text(printed.Format("yyyy-MM-dd hh:mm:ss")));
    std::snprintf(buf, sizeof buf, "Cost centre 4%03d", Pick(40));
    cells.push_back(Pick(2) == 0 ? Text(buf) : Null());
    std::snprintf(buf, sizeof buf, "Matter 2025-%04d", Pick(500));
    cells.push_back(Pick(3) == 0 ? Text(buf) : Null());
    cells.push_back(Text(color ? "Colour" : "Standard"));
    cells.push_back(Int(2));
    cells.push_back(Int(Pick(100) == 0 ? 1 : 0));
    if (i < set_.jobs - set_.not_accounted) {
      // Exported by the run early in the following month.
      const int month = printed.Month() % 12 + 1;
      const int year = printed.Year() + (month == 1 ? 1 : 0);
      cells.push_back(Int(2));
      cells.push_back(
          Text(DateTime::FromCivil(year, month, 2, 7, 30).Format("yyyy-MM-dd hh:mm:ss")));
    } else {
      cells.push_back(Int(0));
      cells.push_back(Null());
    }
  }

 private:
  int Pick(int n) { return static_cast<int>(rng_() % static_cast<uint32_t>(n)); }

  JobSet set_;
  std::mt19937 rng_;
};

}  // namespace

void GenerateSqlite(const std::string& path, const JobSet& set) {
  RawSqlite db(path);
  db.Exec("PRAGMA cache_size=-524288; BEGIN");
  for (const std::string& row : ReferenceRows())
    db.Exec(row);
  std::string insert = std::string("INSERT INTO tblPrintJobs (") + kColumns + ") VALUES (?";
  for (int c = 1; c < kCells; ++c)
    insert += ", ?";
  insert += ")";
  sqlite3_stmt* st = nullptr;
  Require(sqlite3_prepare_v2(db.Handle(), insert.c_str(), -1, &st, nullptr) == SQLITE_OK,
          sqlite3_errmsg(db.Handle()));
  Jobs jobs(set);
  std::vector<Cell> cells;
  for (int32_t i = 0; i < set.jobs; ++i) {
    jobs.Row(i, cells);
    for (int c = 0; c < kCells; ++c) {
      const Cell& cell = cells[static_cast<size_t>(c)];
      if (cell.kind == Cell::kNull)
        sqlite3_bind_null(st, c + 1);
      else if (cell.kind == Cell::kText)
        sqlite3_bind_text(st, c + 1, cell.text.c_str(), static_cast<int>(cell.text.size()),
                          SQLITE_TRANSIENT);
      else
        sqlite3_bind_int64(st, c + 1, cell.number);  // money is stored in ten-thousandths
    }
    const int rc = sqlite3_step(st);
    sqlite3_reset(st);
    Require(rc == SQLITE_DONE, sqlite3_errmsg(db.Handle()));
  }
  sqlite3_finalize(st);
  db.Exec("COMMIT");
}

void GeneratePostgres(const std::string& host, const std::string& port, const std::string& database,
                      const JobSet& set) {
  RawPostgres db(host, port, database);
  for (const std::string& row : ReferenceRows())
    db.Exec(row);
  PGresult* copy =
      PQexec(db.Handle(), (std::string("COPY tblPrintJobs (") + kColumns + ") FROM STDIN").c_str());
  const bool copying = PQresultStatus(copy) == PGRES_COPY_IN;
  PQclear(copy);
  Require(copying, PQerrorMessage(db.Handle()));
  Jobs jobs(set);
  std::vector<Cell> cells;
  std::string chunk;
  char money[32];
  auto flush = [&] {
    Require(PQputCopyData(db.Handle(), chunk.data(), static_cast<int>(chunk.size())) == 1,
            PQerrorMessage(db.Handle()));
    chunk.clear();
  };
  for (int32_t i = 0; i < set.jobs; ++i) {
    jobs.Row(i, cells);
    for (int c = 0; c < kCells; ++c) {
      const Cell& cell = cells[static_cast<size_t>(c)];
      if (c > 0)
        chunk += '\t';
      if (cell.kind == Cell::kNull) {
        chunk += "\\N";
      } else if (cell.kind == Cell::kText) {
        chunk += cell.text;  // the generated texts hold no tab, newline or backslash
      } else if (cell.kind == Cell::kMoney) {
        std::snprintf(money, sizeof money, "%" PRId64 ".%04" PRId64, cell.number / 10000,
                      cell.number % 10000);
        chunk += money;
      } else {
        chunk += std::to_string(cell.number);
      }
    }
    chunk += '\n';
    if (chunk.size() > (1 << 20))
      flush();
  }
  flush();
  Require(PQputCopyEnd(db.Handle(), nullptr) == 1, PQerrorMessage(db.Handle()));
  PGresult* result = PQgetResult(db.Handle());
  const bool ok = PQresultStatus(result) == PGRES_COMMAND_OK;
  const std::string why = PQresultErrorMessage(result);
  PQclear(result);
  while ((result = PQgetResult(db.Handle())) != nullptr)
    PQclear(result);
  Require(ok, "COPY: " + why);
  db.Exec("VACUUM ANALYZE");
}

}  // namespace kx4::bench
