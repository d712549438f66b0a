-- money doubled and halved
SELECT Name, QuotaRemaining * 2 AS Twice, QuotaRemaining / 2 AS Half FROM tblUsers ORDER BY Name;

-- money divided by a count rounds half away from zero
SELECT Name, QuotaRemaining / 3 AS Third, QuotaRemaining / 7 * 7 AS Back FROM tblUsers ORDER BY Name;

-- money times money and money over money
SELECT Name, QuotaRemaining * QuotaRemaining AS Square,
       QuotaRemaining / (QuotaRemaining + 1000) AS Share
FROM tblUsers
ORDER BY Name;

-- money with decimals
SELECT Name, QuotaRemaining * 1.15 AS Taxed, QuotaRemaining + 0.00005 AS Nudged,
       QuotaRemaining - 0.5 AS Less
FROM tblUsers
ORDER BY Name;

-- money and integers in both orders
SELECT Name, 100 - QuotaRemaining AS Rest, 1 / (QuotaRemaining + 100) AS Inverse FROM tblUsers
ORDER BY Name;

-- negated money
SELECT Name, -QuotaRemaining AS Owed FROM tblUsers ORDER BY Name;

-- job cost from unit price, pages and copies
SELECT TOP 20 CostPerUnit * Pages * Copies AS Cost, Pages, Copies
FROM tblPrintJobs
ORDER BY Cost DESC, Pages, Copies;

-- rounding money
SELECT Name, ROUND(QuotaRemaining, 2) AS Cents, ROUND(QuotaRemaining, 0) AS Whole,
       ROUND(QuotaRemaining, -1) AS Tens, ROUND(QuotaRemaining, 1, 1) AS Truncated
FROM tblUsers
ORDER BY Name;

-- ceiling and floor of money
SELECT Name, CEILING(QuotaRemaining) AS Up, FLOOR(QuotaRemaining) AS Down,
       ABS(QuotaRemaining) AS Size
FROM tblUsers
ORDER BY Name;

-- casts of money
SELECT Name, CAST(QuotaRemaining AS int) AS Units, CAST(QuotaRemaining AS varchar(30)) AS Shown,
       CAST(QuotaRemaining AS decimal(12,2)) AS Cents
FROM tblUsers
ORDER BY Name;

-- casts to money
SELECT CAST(Pages AS money) / 3 AS PerThird, CAST('2.71828' AS money) AS E
FROM tblPrintJobs
WHERE PrintJobId = 1;

-- money as an approximate number
SELECT Name, QuotaRemaining * 0.5e0 AS Approximate, CAST(QuotaRemaining AS float) AS AsFloat
FROM tblUsers
ORDER BY Name;

-- ISNULL with money over an outer join
SELECT P.PrintJobId, ISNULL(R.QuotaRemaining, 0) AS Quota, ISNULL(R.QuotaRemaining, 0.5) AS Half
FROM tblPrintJobs P LEFT OUTER JOIN tblUsers R ON R.UserId = P.UserId
WHERE P.PrintJobId <= 40
ORDER BY P.PrintJobId;

-- CASE yielding money
SELECT Name, CASE WHEN UseQuota = 1 THEN QuotaRemaining ELSE 0 END AS Usable,
       CASE WHEN QuotaRemaining < 0 THEN -QuotaRemaining ELSE QuotaRemaining * 2 END AS Odd
FROM tblUsers
ORDER BY Name;

-- CASE on money
SELECT Name, CASE QuotaRemaining WHEN 1.5 THEN 'one and a half' WHEN 0 THEN 'none' ELSE 'other' END AS Word
FROM tblUsers
ORDER BY Name;

-- NULLIF and COALESCE of money
SELECT Name, COALESCE(NULLIF(QuotaRemaining, 1.5), 99) AS Replaced FROM tblUsers ORDER BY Name;

-- totals of a derived table
SELECT T.UserId, T.Total * 2 AS Doubled, T.Total / T.Jobs AS PerJob
FROM (SELECT UserId, SUM(CostPerUnit) AS Total, COUNT(*) AS Jobs FROM tblPrintJobs GROUP BY UserId) T
WHERE T.UserId IS NOT NULL
ORDER BY T.UserId;

-- text joined with plus
SELECT Code + N' - ' + ISNULL(Description, N'?') AS Label FROM tblValidatedValues ORDER BY Code;

-- configuration price with its colour surcharge
SELECT Name, UnitCost * (ColorModifier + 100) / 100 AS ColourCost FROM tblConfigurations
ORDER BY Name;

-- money remainder
SELECT Name, QuotaRemaining % 1 AS Fraction FROM tblUsers ORDER BY Name;
