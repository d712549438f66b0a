// Statements exactly as the library builds them, with sample values; the
// catalogue test runs them on every engine and the benchmarks time them.
#ifndef KX4DATA_TESTS_DATAACCESS_STATEMENTS_H_
#define KX4DATA_TESTS_DATAACCESS_STATEMENTS_H_

#include <kx4data/Currency.h>
#include <kx4data/Variant.h>

#include <string>
#include <vector>

namespace kx4::test {

inline const std::string kJobSelect =
    "SELECT ISNULL(C.Code, 'Unknown') AS ValueCode, ISNULL(C.Description, 'Unknown') AS "
    "ValueDescription, "
    "ISNULL(R.Name, 'Unknown') AS UserName, "
    "LOWER(P.NetworkUser) AS NetworkUser, ISNULL(P.MachineName, 'Unknown') AS ComputerName, "
    "UPPER(P.ProcessName) AS ProcessName, "
    "UPPER(P.PrinterName) As PrinterName, UPPER(P.PrinterPort) AS PrinterPort, "
    "ISNULL(P.PaperType, '<NONE>') AS PaperType, P.Document, P.Pages, P.Copies, P.PageWidth, "
    "P.PageHeight, P.PaperSize, "
    "P.Color, P.CostPerUnit, P.UnitMeasureId, U.ReportDisplay As UnitDesc, P.DatePrinted, "
    "ISNULL(P.UserDefined1, '<NONE>') AS UserOne, ISNULL(P.UserDefined2, '<NONE>') AS UserTwo ";

// The job list with its joins written as outer joins; `user_conditions`
// (on R) go into the join of R, `conditions` into WHERE.
inline std::string JobList(const std::string& conditions = "",
                           const std::string& user_conditions = "") {
  return kJobSelect +
         "FROM tblPrintJobs P LEFT OUTER JOIN tblValidatedValues C ON P.ValidatedId = "
         "C.ValidatedId "
         "LEFT OUTER JOIN tblUsers R ON P.UserId = R.UserId" +
         (user_conditions.empty() ? "" : " AND " + user_conditions) +
         " INNER JOIN tblUnitMeasure U ON U.UnitMeasureId = P.UnitMeasureId " +
         (conditions.empty() ? "" : "WHERE " + conditions + " ") + "ORDER BY P.DatePrinted";
}

inline std::string PendingJobs() {
  return kJobSelect +
         "FROM tblPrintJobs P LEFT OUTER JOIN tblValidatedValues C ON C.ValidatedId = "
         "P.ValidatedId "
         "LEFT OUTER JOIN tblUsers R ON R.UserId = P.UserId "
         "INNER JOIN tblUnitMeasure U ON U.UnitMeasureId = P.UnitMeasureId "
         "WHERE P.Accounted = 1 ORDER BY P.DatePrinted";
}

// The print-job insert with its 23 values (CostPerUnit as the one "?").
inline std::string JobInsert(const std::string& user_id, const std::string& network_user,
                             const std::string& printer, const std::string& port,
                             const std::string& document, int pages, int copies,
                             const std::string& color = "0", const std::string& validated = "NULL",
                             const std::string& unit = "1") {
  return "INSERT INTO tblPrintJobs (UserId, ValidatedId, NetworkUser, MachineName, PrinterName, "
         "PrinterPort, ProcessName, "
         "PaperType, Document, Pages, Copies, PageWidth, PageHeight, PaperSize, "
         "Color, CostPerUnit, UnitMeasureId, DatePrinted, UserDefined1, UserDefined2, "
         "ConfigName, TrackStatus, PrintedToFile) "
         "VALUES (" +
         user_id + ", " + validated + ", " + network_user + ", N'WS-042', " + printer + ", " +
         port + ", N'WINWORD.EXE', NULL, " + document + ", " + std::to_string(pages) + ", " +
         std::to_string(copies) + ", 2159, 2794, N'Letter', " + color + ", ?, " + unit +
         ", GETDATE(), NULL, N'Project X', N'Default', 2, 0)";
}

struct CatalogueStep {
  const char* label;
  std::string sql;
  std::vector<Variant> params;
  int rows;      // rows of the result set; -1: no result set
  int affected;  // rows changed; -2: not checked
};

// Runs in order on a fresh database.
inline std::vector<CatalogueStep> Catalogue() {
  const Variant money = Currency::FromTicks(2500);  // 0.25
  const Variant pin1 = std::string("cGluMQ==");
  const Variant pin2 = std::string("cGluMg==");
  const std::string stamp = "CAST('Dec 07, 2026 22:06:29' AS smalldatetime)";
  return {
      // Applications
      {"application insert",
       "SET NOCOUNT ON INSERT INTO tblApplications (Name, Description, TrackOptionId) VALUES "
       "(N'O''Brien Writer', NULL, 2) SELECT @@IDENTITY AS NewId SET NOCOUNT OFF",
       {},
       1,
       -2},
      {"application update",
       "UPDATE tblApplications SET Name = N'Writer', Description = N'Word processor', "
       "TrackOptionid = 3 WHERE ApplicationId = 1",
       {},
       -1,
       1},
      {"application load",
       "SELECT ApplicationId, Name, Description, TrackOptionId FROM tblApplications WHERE "
       "ApplicationId = 1",
       {},
       1,
       -2},
      {"application list",
       "SELECT ApplicationId, Name, Description, TrackOptionId FROM tblApplications ORDER BY Name",
       {},
       1,
       -2},
      // Paper types
      {"paper type insert",
       "SET NOCOUNT ON INSERT INTO tblPaperTypes (Description, CostModifier, ListPosition, "
       "Active, DefaultType) VALUES (N'Plain', 0, 1, -1, -1) SELECT @@IDENTITY As NewId SET "
       "NOCOUNT OFF",
       {},
       1,
       -2},
      {"paper type max position",
       "SELECT MAX(ListPosition) + 1 AS MaxPosition FROM tblPaperTypes",
       {},
       1,
       -2},
      {"paper type position",
       "UPDATE tblPaperTypes SET ListPosition = 2 WHERE PaperTypeId = 1",
       {},
       -1,
       1},
      {"paper type insert 2",
       "SET NOCOUNT ON INSERT INTO tblPaperTypes (Description, CostModifier, ListPosition, "
       "Active, DefaultType) VALUES (N'Glossy', 25, 1, -1, 0) SELECT @@IDENTITY As NewId SET "
       "NOCOUNT OFF",
       {},
       1,
       -2},
      {"paper type position 2",
       "UPDATE tblPaperTypes SET ListPosition = 3 WHERE PaperTypeId = 2",
       {},
       -1,
       1},
      {"paper type update",
       "UPDATE tblPaperTypes SET Description = N'Glossy', Active = -1, DefaultType = -1, "
       "CostModifier = 25 WHERE PaperTypeId = 2",
       {},
       -1,
       1},
      {"paper type default exclusive",
       "UPDATE tblPaperTypes SET DefaultType = 0 WHERE DefaultType = 1 AND PaperTypeId <> 2",
       {},
       -1,
       1},
      {"paper type change order 1",
       "UPDATE tblPaperTypes SET ListPosition = 3 WHERE ListPosition = 2",
       {},
       -1,
       1},
      {"paper type change order 2",
       "UPDATE tblPaperTypes SET ListPosition = 2 WHERE PaperTypeId = 2",
       {},
       -1,
       1},
      {"paper type load",
       "SELECT Description, (CostModifier + 100) AS Modifier, Active, DefaultType, ListPosition "
       "FROM tblPaperTypes WHERE PaperTypeId = 2",
       {},
       1,
       -2},
      {"paper type list",
       "SELECT PaperTypeId, Description, (CostModifier + 100) AS Modifier, Active, DefaultType, "
       "ListPosition FROM tblPaperTypes ORDER BY ListPosition",
       {},
       2,
       -2},
      {"paper type active list",
       "SELECT PaperTypeId, Description, (CostModifier + 100) AS Modifier, Active, DefaultType, "
       "ListPosition FROM tblPaperTypes WHERE Active = 1 ORDER BY ListPosition",
       {},
       2,
       -2},
      {"paper type count", "SELECT COUNT(*) FROM tblPaperTypes WHERE Active = 1", {}, 1, -2},
      // Configurations
      {"configuration insert",
       "SET NOCOUNT ON INSERT INTO tblConfigurations (Name, TrackOptionId, UnitMeasureId, "
       "UnitCost, MaxPages, MaxError, ColorModifier, Active) VALUES(N'Default', 1, 1, ?, NULL, "
       "NULL, 50, 1) SELECT @@IDENTITY AS NewId SET NOCOUNT OFF ",
       {money},
       1,
       -2},
      {"configuration paper types delete",
       "DELETE FROM tblConfigurationPaperTypes WHERE ConfigurationId = 1",
       {},
       -1,
       0},
      {"configuration paper type insert",
       "INSERT INTO tblConfigurationPaperTypes (ConfigurationId, PaperTypeId, CostModifier) "
       "VALUES (1, 2, -20)",
       {},
       -1,
       1},
      {"configuration update",
       "UPDATE tblConfigurations SET Name = N'Default', TrackOptionId = 2, UnitMeasureId = 1, "
       "UnitCost = ?, MaxPages = 50, MaxError = N'Too many pages', ColorModifier = 50, Active = "
       "-1 WHERE ConfigurationId = 1",
       {money},
       -1,
       1},
      {"configuration load",
       "SELECT C.ConfigurationId, C.Name, C.TrackOptionId, C.UnitMeasureId, C.UnitCost, "
       "U.UnitDisplay AS UnitDesc, C.MaxPages, C.MaxError, (C.ColorModifier + 100) AS Modifier, "
       "C.Active FROM tblConfigurations C, tblUnitMeasure U WHERE C.ConfigurationId = 1 AND "
       "U.UnitMeasureId = C.UnitMeasureId",
       {},
       1,
       -2},
      {"configuration paper types",
       "SELECT CP.PaperTypeId, P.Description, (CP.CostModifier + 100) AS Modifier FROM "
       "tblConfigurationPaperTypes CP, tblPaperTypes P WHERE CP.ConfigurationId = 1 AND "
       "P.PaperTypeId = CP.PaperTypeId ORDER BY P.ListPosition",
       {},
       1,
       -2},
      {"configuration unlisted set",
       "UPDATE tblSettings SET UnlistedPrinterConfigId = 1",
       {},
       -1,
       1},
      {"configuration unlisted load",
       "SELECT C.ConfigurationId, C.Name, C.TrackOptionId, C.UnitMeasureId, C.UnitCost, "
       "U.UnitDisplay AS UnitDesc, C.MaxPages, C.MaxError, (C.ColorModifier + 100) AS Modifier, "
       "C.Active FROM tblConfigurations C, tblSettings S, tblUnitMeasure U WHERE "
       "C.ConfigurationId = S.UnlistedPrinterConfigId AND U.UnitMeasureId = C.UnitMeasureId ",
       {},
       1,
       -2},
      {"configuration list",
       "SELECT C.ConfigurationId, C.Name, C.TrackOptionId, T.Description AS TrackDesc, "
       "C.UnitMeasureId, M.Name AS UnitMeasure, C.UnitCost, C.MaxPages, (C.ColorModifier + 100) "
       "AS Modifier FROM tblConfigurations C, tblUnitMeasure M, tblTrackOptions T WHERE "
       "M.UnitMeasureId = C.UnitMeasureId AND T.TrackOptionId = C.TrackOptionId ORDER BY C.Name",
       {},
       1,
       -2},
      {"unit measure list",
       "SELECT UnitMeasureId, Name, UnitDisplay, ReportDisplay FROM tblUnitMeasure ",
       {},
       2,
       -2},
      // Printers
      {"printer port count",
       "SELECT COUNT(*) AS PortCount FROM tblPrinters WHERE UPPER(Port) = N'LPT1:' AND PrinterId "
       "<> -1",
       {},
       1,
       -2},
      {"printer insert",
       "SET NOCOUNT ON INSERT INTO tblPrinters (Name, Port, ConfigurationId) VALUES (N'Laser "
       "One', N'lpt1:', 1)SELECT @@IDENTITY As NewId SET NOCOUNT OFF",
       {},
       1,
       -2},
      {"printer update",
       "UPDATE tblPrinters SET Port = N'lpt1:', Name = N'Laser 1', ConfigurationId = 1 WHERE "
       "PrinterId = 1",
       {},
       -1,
       1},
      {"printer load",
       "SELECT Name, Port, ConfigurationId FROM tblPrinters WHERE PrinterId = 1",
       {},
       1,
       -2},
      {"printer load by port",
       "SELECT PrinterId, Name, Port, ConfigurationId FROM tblPrinters WHERE UPPER(Port) = "
       "N'LPT1:'",
       {},
       1,
       -2},
      {"printer list",
       "SELECT P.PrinterId, P.Name, P.Port, P.ConfigurationId, C.Name As ConfigName FROM "
       "tblPrinters P, tblConfigurations C WHERE C.ConfigurationId = P.ConfigurationId ORDER BY "
       "P.Name",
       {},
       1,
       -2},
      {"printer batch update",
       "UPDATE tblPrinters SET ConfigurationId = 1 WHERE PrinterId IN (1)",
       {},
       -1,
       1},
      {"printer in use", "SELECT COUNT(*) FROM tblPrinters WHERE ConfigurationId = 1", {}, 1, -2},
      // Validated values
      {"validated insert",
       "SET NOCOUNT ON INSERT INTO tblValidatedValues (Description, Code, CostModifier, Active) "
       "VALUES (N'Marketing', N'MKT_01', '50', -1) SET NOCOUNT OFF SELECT @@IDENTITY AS NewId",
       {},
       1,
       -2},
      {"validated update",
       "UPDATE tblValidatedValues SET Description = N'Marketing', Code = N'MKT_01', "
       "CostModifier = 50, Active = -1 WHERE ValidatedId = 1",
       {},
       -1,
       1},
      {"validated batch update",
       "UPDATE tblValidatedValues SET Active = -1, CostModifier = '0' WHERE ValidatedId IN (1)",
       {},
       -1,
       1},
      {"validated load",
       "SELECT Code, Description, (CostModifier + 100) AS Modifier, Active FROM "
       "tblValidatedValues WHERE ValidatedId = 1",
       {},
       1,
       -2},
      {"validated load by code",
       "SELECT ValidatedId, Code, Description, (CostModifier + 100) AS Modifier, Active FROM "
       "tblValidatedValues WHERE Code = N'mkt_01'",
       {},
       1,
       -2},
      {"validated list filtered",
       "SELECT C.ValidatedId, C.Code, C.Description, (C.CostModifier + 100) AS Modifier, "
       "C.Active FROM tblValidatedValues C WHERE Active = 1 AND UPPER(C.Code) LIKE N'MKT[_]%' "
       "ORDER BY Code",
       {},
       1,
       -2},
      {"validated count", "SELECT COUNT(*) FROM tblValidatedValues WHERE Active = 1", {}, 1, -2},
      // Users
      {"user insert",
       "SET NOCOUNT ON INSERT INTO tblUsers(PinCode, Name, UseQuota, QuotaRemaining, Active, "
       "AdminSecurity, ReportSecurity) VALUES (?, ?, ?, ?, ?, ?, ?) SET NOCOUNT OFF SELECT "
       "@@IDENTITY AS NewId",
       {pin1, std::string("Smith"), int16_t{-1}, Variant(Currency::FromTicks(100000)), int16_t{-1},
        int16_t{-1}, int32_t{2}},
       1,
       -2},
      {"user update",
       "UPDATE tblUsers SET PinCode = ?, Name = N'Smith', UseQuota = -1, QuotaRemaining = ?, "
       "Active = -1, AdminSecurity = -1, ReportSecurity = 2 WHERE UserId = 1",
       {pin1, Variant(Currency::FromTicks(100000))},
       -1,
       1},
      {"user admin count",
       "SELECT COUNT(*) AS AdminCount FROM tblUsers WHERE AdminSecurity = 1 AND UserId <> 2",
       {},
       1,
       -2},
      {"user load",
       "SELECT UserId, PinCode, Name, UseQuota, QuotaRemaining, Active, AdminSecurity, "
       "ReportSecurity FROM tblUsers WHERE UserId = 1",
       {},
       1,
       -2},
      {"user load by pin",
       "SELECT UserId, PinCode, Name, UseQuota, QuotaRemaining, Active, AdminSecurity, "
       "ReportSecurity FROM tblUsers WHERE PinCode = ?",
       {pin1},
       1,
       -2},
      {"user list filtered",
       "SELECT UserId, PinCode, Name, UseQuota, QuotaRemaining, Active, AdminSecurity, "
       "ReportSecurity FROM tblUsers WHERE Active = 1 AND UPPER(Name) LIKE N'SMI%' ORDER BY Name",
       {},
       1,
       -2},
      {"user batch update",
       "UPDATE tblUsers SET Active = -1, UseQuota = -1, QuotaRemaining = ?, ReportSecurity = 2 "
       "WHERE UserId IN (1)",
       {Variant(Currency::FromTicks(100000))},
       -1,
       1},
      {"user exists", "SELECT COUNT(*) FROM tblUsers WHERE UPPER(Name) = N'SMITH'", {}, 1, -2},
      {"user insert 2",
       "SET NOCOUNT ON INSERT INTO tblUsers(PinCode, Name, UseQuota, QuotaRemaining, Active, "
       "AdminSecurity, ReportSecurity) VALUES (?, ?, ?, ?, ?, ?, ?) SET NOCOUNT OFF SELECT "
       "@@IDENTITY AS NewId",
       {pin2, std::string("Jones"), int16_t{0}, Variant(Currency::FromTicks(0)), int16_t{-1},
        int16_t{0}, int32_t{1}},
       1,
       -2},
      // Print jobs
      {"job quota charge",
       "UPDATE tblUsers SET QuotaRemaining = QuotaRemaining - ? WHERE UserId = 1 AND UseQuota = 1",
       {Variant(Currency::FromTicks(3000))},
       -1,
       1},
      {"job insert",
       JobInsert("1", "N'smith'", "N'Laser 1'", "N'LPT1:'", "N'Report.doc'", 3, 2, "-1", "1"),
       {Variant(Currency::FromTicks(500))},
       -1,
       1},
      {"job insert without user",
       JobInsert("NULL", "N'guest'", "N'Inkjet'", "N'USB001'", "N'Photo'", 1, 1, "0", "NULL", "2"),
       {Variant(Currency::FromTicks(10000))},
       -1,
       1},
      {"job list", JobList(), {}, 2, -2},
      {"job list filtered",
       JobList("(UPPER(P.PrinterName) LIKE N'LASER%' OR UPPER(P.PrinterPort) LIKE N'LASER%') AND "
               "LOWER(P.NetworkUser) LIKE n'smi%' AND P.DatePrinted >= CAST('Jan 01, 2000 "
               "00:00:00' AS smalldatetime) AND P.DatePrinted < CAST('Jan 01, 2100 00:00:00' AS "
               "smalldatetime) AND P.ValidatedId = 1",
               "UPPER(R.Name) LIKE N'SMI%'"),
       {},
       1,
       -2},
      {"job list own", JobList("R.PinCode = ?"), {pin1}, 1, -2},
      {"network user list",
       "SELECT DISTINCT P.NetworkUser FROM tblPrintJobs P ORDER BY P.NetworkUser",
       {},
       2,
       -2},
      {"job printer list",
       "SELECT DISTINCT PrinterName FROM tblPrintJobs ORDER BY PrinterName",
       {},
       2,
       -2},
      {"job exists for user", "SELECT COUNT(*) FROM tblPrintJobs WHERE UserId = 1", {}, 1, -2},
      // Accounting
      {"mark pending",
       "UPDATE tblPrintJobs SET Accounted = 1, AccountedOn = " + stamp +
           " WHERE (Accounted = 0 OR Accounted = 1)",
       {},
       -1,
       2},
      {"pending jobs", PendingJobs(), {}, 2, -2},
      {"mark done",
       "UPDATE tblPrintJobs SET Accounted = 2 WHERE Accounted = 1 AND AccountedOn = " + stamp + " ",
       {},
       -1,
       2},
      {"clear pending",
       "UPDATE tblPrintJobs SET Accounted = 0, AccountedOn = NULL WHERE Accounted = 1 AND "
       "AccountedOn = " +
           stamp,
       {},
       -1,
       0},
      {"clear last run",
       "UPDATE tblPrintJobs SET Accounted = 0, AccountedOn = NULL WHERE Accounted = 2 AND "
       "AccountedOn = (SELECT MAX(AccountedOn) FROM tblPrintJobs WHERE Accounted = 2)",
       {},
       -1,
       2},
      // Settings and switches
      {"settings load",
       "SELECT UserValidation, UseValidatedField, ValidatedFieldName, AllowShutdown, "
       "AllowCostOverride, CapturePrintToFile, UnlistedPrinterConfigId, Field1Use, Field1Name, "
       "Field2Use, Field2Name, DisplayIcon, ShowCost, CancelMaxPage, AllowBatch, MaxBatch, "
       "BatchDuration, UseLastEntries, Version FROM tblSettings",
       {},
       1,
       -2},
      {"settings save",
       "UPDATE tblSettings SET UserValidation = -1, UseValidatedField = 0, ValidatedFieldName = "
       "NULL, AllowShutdown = -1, CapturePrintToFile = 0, Field1Use = -1, Field1Name = N'Dept''s "
       "code', Field2Use = 0, Field2Name = NULL, AllowCostOverride = 0, DisplayIcon = -1, "
       "ShowCost = -1, CancelMaxPage = 0, AllowBatch = -1, MaxBatch = 5, UseLastEntries = -1, "
       "BatchDuration = 30",
       {},
       -1,
       1},
      {"application track set", "UPDATE tblSettings SET ApplicationIgnore = -1", {}, -1, 1},
      {"application track get", "SELECT ApplicationIgnore FROM tblSettings", {}, 1, -2},
      {"security admins",
       "SELECT COUNT(*) AS AdminCount FROM tblUsers WHERE AdminSecurity = 1 ",
       {},
       1,
       -2},
      {"security set", "UPDATE tblSettings SET SecureAdmin = -1, SecureViewer = 0", {}, -1, 1},
      {"security get", "SELECT SecureAdmin, SecureViewer FROM tblSettings", {}, 1, -2},
      // Maintenance and deletes
      {"purge",
       "DELETE FROM tblPrintJobs WHERE DatePrinted >= CAST('Jan 01, 1990 00:00:00' AS "
       "smalldatetime) AND DatePrinted < CAST('Jan 01, 1991 00:00:00' AS smalldatetime)",
       {},
       -1,
       0},
      {"printer delete", "DELETE FROM tblPrinters WHERE PrinterId = 1", {}, -1, 1},
      {"paper type unlink",
       "DELETE FROM tblConfigurationPaperTypes WHERE PaperTypeId = 2",
       {},
       -1,
       1},
      {"paper type delete", "DELETE FROM tblPaperTypes WHERE PaperTypeId = 2", {}, -1, 1},
      {"configuration delete",
       "DELETE FROM tblConfigurations WHERE ConfigurationId = 1",
       {},
       -1,
       1},
      {"user delete", "DELETE FROM tblUsers WHERE UserId = 2", {}, -1, 1},
      {"validated delete", "DELETE FROM tblValidatedValues WHERE ValidatedId = 1", {}, -1, 1},
      {"application delete", "DELETE FROM tblApplications WHERE ApplicationId = 1", {}, -1, 1},
  };
}

}  // namespace kx4::test

#endif  // KX4DATA_TESTS_DATAACCESS_STATEMENTS_H_
