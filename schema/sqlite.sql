-- The kx4data schema for the embedded engine.
--
-- Conventions the statements of the library rely on:
--   * keys are INTEGER PRIMARY KEY AUTOINCREMENT (32-bit in practice, never reused);
--   * flags are BIT: the engine stores any non-zero value written to them as 1
--     and refuses numbers beyond the 16-bit range, as PostgreSQL's flag does;
--   * money is MONEY: whole ten-thousandths in an integer, never floating point
--     (15000 is 1.5; the library's kx4_mtext() shows it as "1.5000");
--   * date-times are DATETIME: text 'yyyy-mm-dd hh:mm:ss' in local time;
--   * SMALLINT and INT columns refuse values beyond their 16- or 32-bit range
--     (checks named kx4_smallint and kx4_int, reported as overflow), as the
--     server's types do; SQLite itself would store any 64-bit number;
--   * names, codes and descriptions compare without regard to case or trailing
--     blanks (collation KX4_CI, Unicode-aware); PinCode holds cipher text and
--     compares exactly.

CREATE TABLE tblApplications (
  ApplicationId INTEGER PRIMARY KEY AUTOINCREMENT,
  Name NVARCHAR(255) COLLATE KX4_CI,
  Description NVARCHAR(255) COLLATE KX4_CI,
  TrackOptionId SMALLINT NOT NULL DEFAULT 1
    CONSTRAINT kx4_smallint CHECK (TrackOptionId BETWEEN -32768 AND 32767)
);
CREATE INDEX ixApplicationsName ON tblApplications (Name);

CREATE TABLE tblTrackOptions (
  TrackOptionId INTEGER PRIMARY KEY AUTOINCREMENT,
  Description NVARCHAR(100) COLLATE KX4_CI
);

CREATE TABLE tblUnitMeasure (
  UnitMeasureId INTEGER PRIMARY KEY AUTOINCREMENT,
  Name NVARCHAR(50) COLLATE KX4_CI,
  UnitDisplay NVARCHAR(50) COLLATE KX4_CI,
  ReportDisplay NVARCHAR(50) COLLATE KX4_CI
);

CREATE TABLE tblConfigurations (
  ConfigurationId INTEGER PRIMARY KEY AUTOINCREMENT,
  Name NVARCHAR(100) COLLATE KX4_CI,
  TrackOptionId SMALLINT NOT NULL DEFAULT 1
    CONSTRAINT kx4_smallint CHECK (TrackOptionId BETWEEN -32768 AND 32767),
  UnitMeasureId INT NOT NULL DEFAULT 1
    CONSTRAINT kx4_int CHECK (UnitMeasureId BETWEEN -2147483648 AND 2147483647),
  UnitCost MONEY NOT NULL DEFAULT 0,  -- ten-thousandths
  MaxPages SMALLINT
    CONSTRAINT kx4_smallint CHECK (MaxPages BETWEEN -32768 AND 32767),
  MaxError NVARCHAR(255) COLLATE KX4_CI,
  ColorModifier SMALLINT NOT NULL DEFAULT 0
    CONSTRAINT kx4_smallint CHECK (ColorModifier BETWEEN -32768 AND 32767),
  Active BIT NOT NULL DEFAULT 1
);
CREATE UNIQUE INDEX uxConfigurationsName ON tblConfigurations (Name);

CREATE TABLE tblPaperTypes (
  PaperTypeId INTEGER PRIMARY KEY AUTOINCREMENT,
  Description NVARCHAR(100) COLLATE KX4_CI,
  CostModifier SMALLINT NOT NULL DEFAULT 0
    CONSTRAINT kx4_smallint CHECK (CostModifier BETWEEN -32768 AND 32767),
  ListPosition INT NOT NULL DEFAULT 0
    CONSTRAINT kx4_int CHECK (ListPosition BETWEEN -2147483648 AND 2147483647),
  Active BIT NOT NULL DEFAULT 1,
  DefaultType BIT NOT NULL DEFAULT 0
);
CREATE UNIQUE INDEX uxPaperTypesDescription ON tblPaperTypes (Description);
CREATE INDEX ixPaperTypesListPosition ON tblPaperTypes (ListPosition);

CREATE TABLE tblConfigurationPaperTypes (
  ConfigurationId INT NOT NULL
    CONSTRAINT kx4_int CHECK (ConfigurationId BETWEEN -2147483648 AND 2147483647),
  PaperTypeId INT NOT NULL
    CONSTRAINT kx4_int CHECK (PaperTypeId BETWEEN -2147483648 AND 2147483647),
  CostModifier SMALLINT NOT NULL DEFAULT 0
    CONSTRAINT kx4_smallint CHECK (CostModifier BETWEEN -32768 AND 32767)
);
CREATE INDEX ixConfigurationPaperTypesConfiguration ON tblConfigurationPaperTypes (ConfigurationId);
CREATE INDEX ixConfigurationPaperTypesPaperType ON tblConfigurationPaperTypes (PaperTypeId);

CREATE TABLE tblPrinters (
  PrinterId INTEGER PRIMARY KEY AUTOINCREMENT,
  Name NVARCHAR(255) COLLATE KX4_CI,
  Port NVARCHAR(255) COLLATE KX4_CI,
  ConfigurationId INT
    CONSTRAINT kx4_int CHECK (ConfigurationId BETWEEN -2147483648 AND 2147483647)
);
-- Ports are looked up as UPPER(Port) = <text> COLLATE KX4_CI.
CREATE INDEX ixPrintersPort ON tblPrinters (UPPER(Port) COLLATE KX4_CI);
CREATE INDEX ixPrintersConfiguration ON tblPrinters (ConfigurationId);
CREATE INDEX ixPrintersName ON tblPrinters (Name);

CREATE TABLE tblValidatedValues (
  ValidatedId INTEGER PRIMARY KEY AUTOINCREMENT,
  Code NVARCHAR(100) COLLATE KX4_CI,
  Description NVARCHAR(255) COLLATE KX4_CI,
  CostModifier SMALLINT NOT NULL DEFAULT 0
    CONSTRAINT kx4_smallint CHECK (CostModifier BETWEEN -32768 AND 32767),
  Active BIT NOT NULL DEFAULT 1
);
CREATE UNIQUE INDEX uxValidatedValuesCode ON tblValidatedValues (Code);

CREATE TABLE tblUsers (
  UserId INTEGER PRIMARY KEY AUTOINCREMENT,
  PinCode NVARCHAR(255) COLLATE BINARY,
  Name NVARCHAR(255) COLLATE KX4_CI,
  UseQuota BIT NOT NULL DEFAULT 0,
  QuotaRemaining MONEY NOT NULL DEFAULT 0,  -- ten-thousandths
  Active BIT NOT NULL DEFAULT 1,
  AdminSecurity BIT NOT NULL DEFAULT 0,
  ReportSecurity SMALLINT NOT NULL DEFAULT 0
    CONSTRAINT kx4_smallint CHECK (ReportSecurity BETWEEN -32768 AND 32767)
);
CREATE UNIQUE INDEX uxUsersPinCode ON tblUsers (PinCode);
CREATE INDEX ixUsersName ON tblUsers (Name);

CREATE TABLE tblPrintJobs (
  PrintJobId INTEGER PRIMARY KEY AUTOINCREMENT,
  UserId INT
    CONSTRAINT kx4_int CHECK (UserId BETWEEN -2147483648 AND 2147483647),
  ValidatedId INT
    CONSTRAINT kx4_int CHECK (ValidatedId BETWEEN -2147483648 AND 2147483647),
  NetworkUser NVARCHAR(255) COLLATE KX4_CI,
  MachineName NVARCHAR(255) COLLATE KX4_CI,
  PrinterName NVARCHAR(255) COLLATE KX4_CI,
  PrinterPort NVARCHAR(255) COLLATE KX4_CI,
  ProcessName NVARCHAR(255) COLLATE KX4_CI,
  PaperType NVARCHAR(100) COLLATE KX4_CI,
  Document NVARCHAR(1024) COLLATE KX4_CI,
  Pages SMALLINT NOT NULL DEFAULT 0
    CONSTRAINT kx4_smallint CHECK (Pages BETWEEN -32768 AND 32767),
  Copies SMALLINT NOT NULL DEFAULT 0
    CONSTRAINT kx4_smallint CHECK (Copies BETWEEN -32768 AND 32767),
  PageWidth INT NOT NULL DEFAULT 0
    CONSTRAINT kx4_int CHECK (PageWidth BETWEEN -2147483648 AND 2147483647),
  PageHeight INT NOT NULL DEFAULT 0
    CONSTRAINT kx4_int CHECK (PageHeight BETWEEN -2147483648 AND 2147483647),
  PaperSize NVARCHAR(100) COLLATE KX4_CI,
  Color BIT NOT NULL DEFAULT 0,
  CostPerUnit MONEY NOT NULL DEFAULT 0,  -- ten-thousandths
  UnitMeasureId INT NOT NULL DEFAULT 1
    CONSTRAINT kx4_int CHECK (UnitMeasureId BETWEEN -2147483648 AND 2147483647),
  DatePrinted DATETIME NOT NULL,
  UserDefined1 NVARCHAR(255) COLLATE KX4_CI,
  UserDefined2 NVARCHAR(255) COLLATE KX4_CI,
  ConfigName NVARCHAR(100) COLLATE KX4_CI,
  TrackStatus SMALLINT NOT NULL DEFAULT 0
    CONSTRAINT kx4_smallint CHECK (TrackStatus BETWEEN -32768 AND 32767),
  PrintedToFile BIT NOT NULL DEFAULT 0,
  Accounted SMALLINT NOT NULL DEFAULT 0
    CONSTRAINT kx4_smallint CHECK (Accounted BETWEEN -32768 AND 32767),
  AccountedOn DATETIME DEFAULT NULL
);
CREATE INDEX ixPrintJobsDatePrinted ON tblPrintJobs (DatePrinted);
CREATE INDEX ixPrintJobsAccounted ON tblPrintJobs (Accounted, AccountedOn);
CREATE INDEX ixPrintJobsUserId ON tblPrintJobs (UserId);
CREATE INDEX ixPrintJobsValidatedId ON tblPrintJobs (ValidatedId);
-- The job list's text filters are prefix LIKE tests, which the library
-- serves through these indexes as ranges in KX4_CI.
CREATE INDEX ixPrintJobsPrinterName ON tblPrintJobs (PrinterName);
CREATE INDEX ixPrintJobsPrinterPort ON tblPrintJobs (PrinterPort);
CREATE INDEX ixPrintJobsNetworkUser ON tblPrintJobs (NetworkUser);
CREATE INDEX ixPrintJobsUserDefined1 ON tblPrintJobs (UserDefined1);
CREATE INDEX ixPrintJobsUserDefined2 ON tblPrintJobs (UserDefined2);

CREATE TABLE tblSettings (
  UserValidation BIT NOT NULL DEFAULT 0,
  UseValidatedField BIT NOT NULL DEFAULT 0,
  ValidatedFieldName NVARCHAR(100) COLLATE KX4_CI,
  AllowShutdown BIT NOT NULL DEFAULT 0,
  AllowCostOverride BIT NOT NULL DEFAULT 0,
  CapturePrintToFile BIT NOT NULL DEFAULT 0,
  UnlistedPrinterConfigId INT NOT NULL DEFAULT 0
    CONSTRAINT kx4_int CHECK (UnlistedPrinterConfigId BETWEEN -2147483648 AND 2147483647),
  Field1Use BIT NOT NULL DEFAULT 0,
  Field1Name NVARCHAR(100) COLLATE KX4_CI,
  Field2Use BIT NOT NULL DEFAULT 0,
  Field2Name NVARCHAR(100) COLLATE KX4_CI,
  DisplayIcon BIT NOT NULL DEFAULT 1,
  ShowCost BIT NOT NULL DEFAULT 0,
  CancelMaxPage BIT NOT NULL DEFAULT 0,
  AllowBatch BIT NOT NULL DEFAULT 0,
  MaxBatch SMALLINT NOT NULL DEFAULT 0
    CONSTRAINT kx4_smallint CHECK (MaxBatch BETWEEN -32768 AND 32767),
  BatchDuration SMALLINT NOT NULL DEFAULT 0
    CONSTRAINT kx4_smallint CHECK (BatchDuration BETWEEN -32768 AND 32767),
  UseLastEntries BIT NOT NULL DEFAULT 0,
  Version SMALLINT NOT NULL DEFAULT 4
    CONSTRAINT kx4_smallint CHECK (Version BETWEEN -32768 AND 32767),
  ApplicationIgnore BIT NOT NULL DEFAULT 0,
  SecureAdmin BIT NOT NULL DEFAULT 0,
  SecureViewer BIT NOT NULL DEFAULT 0
);

INSERT INTO tblUnitMeasure (UnitMeasureId, Name, UnitDisplay, ReportDisplay) VALUES
  (1, 'Pages', 'per page', 'Pages'),
  (2, 'Square Feet', 'per square foot', 'Sq. Ft.');

INSERT INTO tblTrackOptions (TrackOptionId, Description) VALUES
  (1, 'Popup'),
  (2, 'Track only'),
  (3, 'Ignore'),
  (4, 'Abort job'),
  (5, 'End job at page limit'),
  (6, 'End job at quota');

INSERT INTO tblSettings (ValidatedFieldName, Field1Name, Field2Name, Version)
  VALUES ('Billing code', 'User field 1', 'User field 2', 4);
