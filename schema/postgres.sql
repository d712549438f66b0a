-- The Kestrix tracking database on PostgreSQL, version 4.
--
-- Storage conventions the statements of the library rely on:
--  * Flags are columns of the domain "flag" (a smallint).  The library writes
--    true as -1; a trigger per table stores every non-zero value as 1 so that
--    "= 1" filters hold.  The engine reports flag columns as booleans.
--  * Money is the domain "currency": numeric(19,4), exact, four decimals,
--    held to the range of the server's money type, so that a charge beyond
--    it is refused (currency_range) rather than stored as a value no reader
--    can load.  Money results of expressions are cast to it as well.
--  * Names, codes, descriptions and ports are of the domain kx4_ci: text in
--    the C collation, compared, sorted and kept unique through kx4_key (the
--    library's case table, trailing blanks ignored), as the server the
--    statements were written for compares them.  The engine creates kx4_upper,
--    kx4_lower and kx4_key from the library's table before this script and
--    rewrites the statements to compare through them.  PIN codes (cipher
--    text) compare exactly.
--  * Date-times are timestamps without zone, to the second.
-- Unquoted identifiers: PostgreSQL keeps them in lower case, and the library's
-- mixed-case spelling resolves to them.

CREATE DOMAIN kx4_ci AS text COLLATE "C";

CREATE DOMAIN flag AS smallint;

CREATE DOMAIN currency AS numeric(19, 4)
  CONSTRAINT currency_range CHECK (VALUE BETWEEN -922337203685477.5808 AND 922337203685477.5807);

-- Identity keys are GENERATED ALWAYS: like the identity columns the library
-- was written for, they refuse explicit values.

CREATE TABLE tblApplications (
  ApplicationId integer GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
  Name kx4_ci,
  Description kx4_ci,
  TrackOptionId smallint NOT NULL DEFAULT 1
);
CREATE INDEX ix_tblapplications_name ON tblApplications (kx4_key(Name));

CREATE TABLE tblPrinters (
  PrinterId integer GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
  Name kx4_ci,
  Port kx4_ci,
  ConfigurationId integer
);
CREATE INDEX ix_tblprinters_port ON tblPrinters (kx4_key(Port));
CREATE INDEX ix_tblprinters_configuration ON tblPrinters (ConfigurationId);
CREATE INDEX ix_tblprinters_name ON tblPrinters (kx4_key(Name));

CREATE TABLE tblConfigurations (
  ConfigurationId integer GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
  Name kx4_ci,
  TrackOptionId smallint NOT NULL DEFAULT 1,
  UnitMeasureId integer NOT NULL DEFAULT 1,
  UnitCost currency NOT NULL DEFAULT 0,
  MaxPages smallint,
  MaxError kx4_ci,
  ColorModifier smallint NOT NULL DEFAULT 0,
  Active flag NOT NULL DEFAULT 1
);
CREATE UNIQUE INDEX ix_tblconfigurations_name ON tblConfigurations (kx4_key(Name));

CREATE TABLE tblConfigurationPaperTypes (
  ConfigurationId integer NOT NULL,
  PaperTypeId integer NOT NULL,
  CostModifier smallint NOT NULL DEFAULT 0
);
CREATE INDEX ix_tblconfigurationpapertypes_configuration
  ON tblConfigurationPaperTypes (ConfigurationId);
CREATE INDEX ix_tblconfigurationpapertypes_papertype ON tblConfigurationPaperTypes (PaperTypeId);

CREATE TABLE tblPaperTypes (
  PaperTypeId integer GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
  Description kx4_ci,
  CostModifier smallint NOT NULL DEFAULT 0,
  ListPosition integer NOT NULL DEFAULT 0,
  Active flag NOT NULL DEFAULT 1,
  DefaultType flag NOT NULL DEFAULT 0
);
CREATE UNIQUE INDEX ix_tblpapertypes_description ON tblPaperTypes (kx4_key(Description));
CREATE INDEX ix_tblpapertypes_listposition ON tblPaperTypes (ListPosition);

CREATE TABLE tblValidatedValues (
  ValidatedId integer GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
  Code kx4_ci,
  Description kx4_ci,
  CostModifier smallint NOT NULL DEFAULT 0,
  Active flag NOT NULL DEFAULT 1
);
CREATE UNIQUE INDEX ix_tblvalidatedvalues_code ON tblValidatedValues (kx4_key(Code));

CREATE TABLE tblUsers (
  UserId integer GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
  PinCode text COLLATE "C",
  Name kx4_ci,
  UseQuota flag NOT NULL DEFAULT 0,
  QuotaRemaining currency NOT NULL DEFAULT 0,
  Active flag NOT NULL DEFAULT 1,
  AdminSecurity flag NOT NULL DEFAULT 0,
  ReportSecurity smallint NOT NULL DEFAULT 0
);
CREATE UNIQUE INDEX ix_tblusers_pincode ON tblUsers (PinCode);
CREATE INDEX ix_tblusers_name ON tblUsers (kx4_key(Name));

CREATE TABLE tblPrintJobs (
  PrintJobId integer GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
  UserId integer,
  ValidatedId integer,
  NetworkUser kx4_ci,
  MachineName kx4_ci,
  PrinterName kx4_ci,
  PrinterPort kx4_ci,
  ProcessName kx4_ci,
  PaperType kx4_ci,
  Document kx4_ci,
  Pages smallint NOT NULL DEFAULT 0,
  Copies smallint NOT NULL DEFAULT 0,
  PageWidth integer NOT NULL DEFAULT 0,
  PageHeight integer NOT NULL DEFAULT 0,
  PaperSize kx4_ci,
  Color flag NOT NULL DEFAULT 0,
  CostPerUnit currency NOT NULL DEFAULT 0,
  UnitMeasureId integer NOT NULL DEFAULT 1,
  DatePrinted timestamp(0) without time zone NOT NULL,
  UserDefined1 kx4_ci,
  UserDefined2 kx4_ci,
  ConfigName kx4_ci,
  TrackStatus smallint NOT NULL DEFAULT 0,
  PrintedToFile flag NOT NULL DEFAULT 0,
  Accounted smallint NOT NULL DEFAULT 0,
  AccountedOn timestamp(0) without time zone DEFAULT NULL
);
CREATE INDEX ix_tblprintjobs_dateprinted ON tblPrintJobs (DatePrinted);
CREATE INDEX ix_tblprintjobs_accounted ON tblPrintJobs (Accounted, AccountedOn);
CREATE INDEX ix_tblprintjobs_userid ON tblPrintJobs (UserId);
CREATE INDEX ix_tblprintjobs_validatedid ON tblPrintJobs (ValidatedId);
-- The job list's text filters are prefix LIKE tests, which the library
-- serves through these indexes as ranges of kx4_key.
CREATE INDEX ix_tblprintjobs_printername ON tblPrintJobs (kx4_key(PrinterName));
CREATE INDEX ix_tblprintjobs_printerport ON tblPrintJobs (kx4_key(PrinterPort));
CREATE INDEX ix_tblprintjobs_networkuser ON tblPrintJobs (kx4_key(NetworkUser));
CREATE INDEX ix_tblprintjobs_userdefined1 ON tblPrintJobs (kx4_key(UserDefined1));
CREATE INDEX ix_tblprintjobs_userdefined2 ON tblPrintJobs (kx4_key(UserDefined2));

CREATE TABLE tblSettings (
  UserValidation flag NOT NULL DEFAULT 0,
  UseValidatedField flag NOT NULL DEFAULT 0,
  ValidatedFieldName kx4_ci,
  AllowShutdown flag NOT NULL DEFAULT 0,
  AllowCostOverride flag NOT NULL DEFAULT 0,
  CapturePrintToFile flag NOT NULL DEFAULT 0,
  UnlistedPrinterConfigId integer NOT NULL DEFAULT 0,
  Field1Use flag NOT NULL DEFAULT 0,
  Field1Name kx4_ci,
  Field2Use flag NOT NULL DEFAULT 0,
  Field2Name kx4_ci,
  DisplayIcon flag NOT NULL DEFAULT 1,
  ShowCost flag NOT NULL DEFAULT 0,
  CancelMaxPage flag NOT NULL DEFAULT 0,
  AllowBatch flag NOT NULL DEFAULT 0,
  MaxBatch smallint NOT NULL DEFAULT 0,
  BatchDuration smallint NOT NULL DEFAULT 0,
  UseLastEntries flag NOT NULL DEFAULT 0,
  Version smallint NOT NULL DEFAULT 4,
  ApplicationIgnore flag NOT NULL DEFAULT 0,
  SecureAdmin flag NOT NULL DEFAULT 0,
  SecureViewer flag NOT NULL DEFAULT 0
);

CREATE TABLE tblUnitMeasure (
  UnitMeasureId integer GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
  Name kx4_ci,
  UnitDisplay kx4_ci,
  ReportDisplay kx4_ci
);

CREATE TABLE tblTrackOptions (
  TrackOptionId integer GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
  Description kx4_ci
);

-- Flag normalisation: any non-zero value is stored as 1.  The WHEN clause
-- keeps rows that already hold 0 or 1 out of the trigger function.

CREATE FUNCTION kx4_flags_configurations() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN
  NEW.Active := CASE WHEN NEW.Active = 0 THEN 0 ELSE 1 END;
  RETURN NEW;
END $$;
CREATE TRIGGER kx4_flags BEFORE INSERT OR UPDATE OF Active ON tblConfigurations
  FOR EACH ROW WHEN (NEW.Active NOT IN (0, 1))
  EXECUTE FUNCTION kx4_flags_configurations();

CREATE FUNCTION kx4_flags_papertypes() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN
  NEW.Active := CASE WHEN NEW.Active = 0 THEN 0 ELSE 1 END;
  NEW.DefaultType := CASE WHEN NEW.DefaultType = 0 THEN 0 ELSE 1 END;
  RETURN NEW;
END $$;
CREATE TRIGGER kx4_flags BEFORE INSERT OR UPDATE OF Active, DefaultType ON tblPaperTypes
  FOR EACH ROW WHEN (NEW.Active NOT IN (0, 1) OR NEW.DefaultType NOT IN (0, 1))
  EXECUTE FUNCTION kx4_flags_papertypes();

CREATE FUNCTION kx4_flags_validatedvalues() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN
  NEW.Active := CASE WHEN NEW.Active = 0 THEN 0 ELSE 1 END;
  RETURN NEW;
END $$;
CREATE TRIGGER kx4_flags BEFORE INSERT OR UPDATE OF Active ON tblValidatedValues
  FOR EACH ROW WHEN (NEW.Active NOT IN (0, 1))
  EXECUTE FUNCTION kx4_flags_validatedvalues();

CREATE FUNCTION kx4_flags_users() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN
  NEW.UseQuota := CASE WHEN NEW.UseQuota = 0 THEN 0 ELSE 1 END;
  NEW.Active := CASE WHEN NEW.Active = 0 THEN 0 ELSE 1 END;
  NEW.AdminSecurity := CASE WHEN NEW.AdminSecurity = 0 THEN 0 ELSE 1 END;
  RETURN NEW;
END $$;
CREATE TRIGGER kx4_flags BEFORE INSERT OR UPDATE OF UseQuota, Active, AdminSecurity ON tblUsers
  FOR EACH ROW WHEN (NEW.UseQuota NOT IN (0, 1) OR NEW.Active NOT IN (0, 1)
                     OR NEW.AdminSecurity NOT IN (0, 1))
  EXECUTE FUNCTION kx4_flags_users();

CREATE FUNCTION kx4_flags_printjobs() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN
  NEW.Color := CASE WHEN NEW.Color = 0 THEN 0 ELSE 1 END;
  NEW.PrintedToFile := CASE WHEN NEW.PrintedToFile = 0 THEN 0 ELSE 1 END;
  RETURN NEW;
END $$;
CREATE TRIGGER kx4_flags BEFORE INSERT OR UPDATE OF Color, PrintedToFile ON tblPrintJobs
  FOR EACH ROW WHEN (NEW.Color NOT IN (0, 1) OR NEW.PrintedToFile NOT IN (0, 1))
  EXECUTE FUNCTION kx4_flags_printjobs();

CREATE FUNCTION kx4_flags_settings() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN
  NEW.UserValidation := CASE WHEN NEW.UserValidation = 0 THEN 0 ELSE 1 END;
  NEW.UseValidatedField := CASE WHEN NEW.UseValidatedField = 0 THEN 0 ELSE 1 END;
  NEW.AllowShutdown := CASE WHEN NEW.AllowShutdown = 0 THEN 0 ELSE 1 END;
  NEW.AllowCostOverride := CASE WHEN NEW.AllowCostOverride = 0 THEN 0 ELSE 1 END;
  NEW.CapturePrintToFile := CASE WHEN NEW.CapturePrintToFile = 0 THEN 0 ELSE 1 END;
  NEW.Field1Use := CASE WHEN NEW.Field1Use = 0 THEN 0 ELSE 1 END;
  NEW.Field2Use := CASE WHEN NEW.Field2Use = 0 THEN 0 ELSE 1 END;
  NEW.DisplayIcon := CASE WHEN NEW.DisplayIcon = 0 THEN 0 ELSE 1 END;
  NEW.ShowCost := CASE WHEN NEW.ShowCost = 0 THEN 0 ELSE 1 END;
  NEW.CancelMaxPage := CASE WHEN NEW.CancelMaxPage = 0 THEN 0 ELSE 1 END;
  NEW.AllowBatch := CASE WHEN NEW.AllowBatch = 0 THEN 0 ELSE 1 END;
  NEW.UseLastEntries := CASE WHEN NEW.UseLastEntries = 0 THEN 0 ELSE 1 END;
  NEW.ApplicationIgnore := CASE WHEN NEW.ApplicationIgnore = 0 THEN 0 ELSE 1 END;
  NEW.SecureAdmin := CASE WHEN NEW.SecureAdmin = 0 THEN 0 ELSE 1 END;
  NEW.SecureViewer := CASE WHEN NEW.SecureViewer = 0 THEN 0 ELSE 1 END;
  RETURN NEW;
END $$;
-- The settings row changes rarely: normalise every flag on every write.
CREATE TRIGGER kx4_flags BEFORE INSERT OR UPDATE ON tblSettings
  FOR EACH ROW EXECUTE FUNCTION kx4_flags_settings();

-- @@IDENTITY: the latest identity value this session generated, NULL before
-- the first (where lastval() fails).

CREATE FUNCTION kx4_identity() RETURNS bigint LANGUAGE plpgsql VOLATILE AS $$
BEGIN
  RETURN lastval();
EXCEPTION WHEN object_not_in_prerequisite_state THEN
  RETURN NULL;
END $$;

-- Reference rows.

INSERT INTO tblUnitMeasure (UnitMeasureId, Name, UnitDisplay, ReportDisplay) OVERRIDING SYSTEM VALUE
VALUES (1, 'Pages', 'per page', 'Pages'),
       (2, 'Square Feet', 'per square foot', 'Sq. Ft.');
SELECT setval(pg_get_serial_sequence('tblunitmeasure', 'unitmeasureid'), 2);

INSERT INTO tblTrackOptions (TrackOptionId, Description) OVERRIDING SYSTEM VALUE
VALUES (1, 'Popup'),
       (2, 'Track only'),
       (3, 'Ignore'),
       (4, 'Abort job'),
       (5, 'End job at page limit'),
       (6, 'End job at quota');
SELECT setval(pg_get_serial_sequence('tbltrackoptions', 'trackoptionid'), 6);

INSERT INTO tblSettings (ValidatedFieldName, Field1Name, Field2Name, Version)
VALUES ('Billing code', 'User field 1', 'User field 2', 4);
