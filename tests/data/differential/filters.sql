-- quotas above a whole number
SELECT Name FROM tblUsers WHERE QuotaRemaining > 2 ORDER BY Name;

-- quotas equal to a decimal
SELECT Name FROM tblUsers WHERE QuotaRemaining = 1.5 ORDER BY Name;

-- comparisons with more places than money has
SELECT COUNT(*) AS Below FROM tblUsers WHERE QuotaRemaining < 1.50001;

-- tiny positive quotas
SELECT Name FROM tblUsers WHERE QuotaRemaining > 0.00009 AND QuotaRemaining < 0.001 ORDER BY Name;

-- negative quotas
SELECT Name, QuotaRemaining FROM tblUsers WHERE QuotaRemaining < 0 ORDER BY QuotaRemaining;

-- quotas in a range
SELECT Name FROM tblUsers WHERE QuotaRemaining BETWEEN -1 AND 2.25 ORDER BY Name;

-- quotas in a list
SELECT Name FROM tblUsers WHERE QuotaRemaining IN (0, 1.5, 7, 0.0003) ORDER BY Name;

-- quota compared with text
SELECT Name FROM tblUsers WHERE QuotaRemaining >= '33.3333' ORDER BY Name;

-- arithmetic inside a comparison
SELECT Name FROM tblUsers WHERE QuotaRemaining * 3 > 100 ORDER BY Name;

-- money compared with an approximate number
SELECT Name FROM tblUsers WHERE QuotaRemaining > 1.4e0 ORDER BY Name;

-- cheap jobs
SELECT COUNT(*) AS Cheap FROM tblPrintJobs WHERE CostPerUnit < 0.05;

-- free or dear jobs
SELECT COUNT(*) AS Jobs FROM tblPrintJobs WHERE CostPerUnit = 0 OR CostPerUnit >= 1.2345;

-- jobs of February
SELECT COUNT(*) AS Jobs, SUM(CostPerUnit) AS Units
FROM tblPrintJobs
WHERE DatePrinted >= CAST('Feb 01, 2024 00:00:00' AS smalldatetime)
  AND DatePrinted < CAST('Mar 01, 2024 00:00:00' AS smalldatetime);

-- jobs of one day, listed
SELECT PrintJobId, DatePrinted, CostPerUnit
FROM tblPrintJobs
WHERE DatePrinted >= CAST('Jan 10, 2024 00:00:00' AS smalldatetime)
  AND DatePrinted < CAST('Jan 17, 2024 00:00:00' AS smalldatetime)
ORDER BY DatePrinted, PrintJobId;

-- codes with an underscore
SELECT Code FROM tblValidatedValues WHERE Code LIKE N'%[_]%' ORDER BY Code;

-- codes by a class of first letters
SELECT Code FROM tblValidatedValues WHERE Code LIKE 'e%' ORDER BY Code;

-- codes beginning with a letter range
SELECT Code FROM tblValidatedValues WHERE Code LIKE '[A-F]%' ORDER BY Code;

-- codes not beginning with M
SELECT COUNT(*) AS Others FROM tblValidatedValues WHERE Code LIKE '[^M]%';

-- documents with a bracket
SELECT DISTINCT Document FROM tblPrintJobs WHERE Document LIKE N'%[[]draft]%';

-- documents with a percent sign
SELECT DISTINCT Document FROM tblPrintJobs WHERE Document LIKE N'50[%]%';

-- printers whose name or port starts with hp, in any case
SELECT DISTINCT PrinterName FROM tblPrintJobs
WHERE UPPER(PrinterName) LIKE N'HP%' OR UPPER(PrinterPort) LIKE N'HP%'
ORDER BY PrinterName;

-- the five largest quotas
SELECT TOP 5 Name, QuotaRemaining FROM tblUsers ORDER BY QuotaRemaining DESC, Name;

-- the three dearest jobs
SELECT TOP 3 PrintJobId, CostPerUnit FROM tblPrintJobs ORDER BY CostPerUnit DESC, PrintJobId;

-- distinct unit prices
SELECT DISTINCT CostPerUnit FROM tblPrintJobs ORDER BY CostPerUnit;

-- distinct network users
SELECT DISTINCT LOWER(NetworkUser) AS NetworkUser FROM tblPrintJobs ORDER BY NetworkUser;

-- jobs without a paper type
SELECT COUNT(*) AS Jobs FROM tblPrintJobs WHERE PaperType IS NULL;

-- ISNULL in a filter
SELECT COUNT(*) AS Jobs FROM tblPrintJobs WHERE ISNULL(UserDefined1, N'<NONE>') = N'<NONE>';

-- users ordered by quota, then name
SELECT Name, QuotaRemaining FROM tblUsers ORDER BY QuotaRemaining, Name;

-- users ordered by an expression of money
SELECT Name FROM tblUsers ORDER BY QuotaRemaining * -1, Name;
