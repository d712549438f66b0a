-- the job list of one day
SELECT ISNULL(C.Code, 'Unknown') AS ValueCode, ISNULL(R.Name, 'Unknown') AS UserName,
       LOWER(P.NetworkUser) AS NetworkUser, UPPER(P.PrinterName) AS PrinterName,
       ISNULL(P.PaperType, '<NONE>') AS PaperType, P.Pages, P.Copies, P.Color, P.CostPerUnit,
       U.ReportDisplay AS UnitDesc, P.DatePrinted
FROM tblPrintJobs P LEFT OUTER JOIN tblValidatedValues C ON P.ValidatedId = C.ValidatedId
LEFT OUTER JOIN tblUsers R ON P.UserId = R.UserId
INNER JOIN tblUnitMeasure U ON U.UnitMeasureId = P.UnitMeasureId
WHERE P.DatePrinted >= CAST('Feb 05, 2024 00:00:00' AS smalldatetime)
  AND P.DatePrinted < CAST('Feb 12, 2024 00:00:00' AS smalldatetime)
ORDER BY P.DatePrinted, P.PrintJobId;

-- spend per user name
SELECT R.Name, SUM(P.CostPerUnit * P.Pages * P.Copies) AS Spent, R.QuotaRemaining
FROM tblPrintJobs P INNER JOIN tblUsers R ON R.UserId = P.UserId
GROUP BY R.Name, R.QuotaRemaining
ORDER BY R.Name;

-- quota left after the spend
SELECT R.Name, R.QuotaRemaining - SUM(P.CostPerUnit * P.Pages) AS Left
FROM tblUsers R INNER JOIN tblPrintJobs P ON P.UserId = R.UserId
GROUP BY R.Name, R.QuotaRemaining
HAVING R.QuotaRemaining - SUM(P.CostPerUnit * P.Pages) < 0
ORDER BY R.Name;

-- spend per validated value
SELECT ISNULL(C.Code, 'Unknown') AS ValueCode, SUM(P.CostPerUnit) AS Units, COUNT(*) AS Jobs
FROM tblPrintJobs P LEFT OUTER JOIN tblValidatedValues C ON C.ValidatedId = P.ValidatedId
GROUP BY C.Code
ORDER BY ValueCode;

-- spend per unit of measure
SELECT U.Name, SUM(P.CostPerUnit) AS Units, AVG(P.CostPerUnit) AS Mean
FROM tblPrintJobs P, tblUnitMeasure U
WHERE U.UnitMeasureId = P.UnitMeasureId
GROUP BY U.Name
ORDER BY U.Name;

-- users above the average quota
SELECT Name FROM tblUsers WHERE QuotaRemaining > (SELECT AVG(QuotaRemaining) FROM tblUsers)
ORDER BY Name;

-- users below the average quota of quota users
SELECT Name FROM tblUsers U
WHERE U.QuotaRemaining < (SELECT AVG(X.QuotaRemaining) FROM tblUsers X WHERE X.UseQuota = 1)
ORDER BY Name;

-- users with a dear job
SELECT Name FROM tblUsers
WHERE UserId IN (SELECT UserId FROM tblPrintJobs WHERE CostPerUnit > 1)
ORDER BY Name;

-- configurations without a plotter
SELECT Name, UnitCost FROM tblConfigurations K
WHERE NOT EXISTS (SELECT 1 FROM tblPrinters P WHERE P.ConfigurationId = K.ConfigurationId
                  AND P.Name LIKE 'Plotter%' AND K.UnitCost > 0)
ORDER BY Name;

-- spend of each user by a correlated subquery
SELECT U.Name, (SELECT SUM(P.CostPerUnit) FROM tblPrintJobs P WHERE P.UserId = U.UserId) AS Spent
FROM tblUsers U
ORDER BY U.Name;

-- jobs priced like a configuration
SELECT K.Name, COUNT(*) AS Jobs
FROM tblConfigurations K INNER JOIN tblPrintJobs P ON P.CostPerUnit = K.UnitCost
GROUP BY K.Name
ORDER BY K.Name;

-- printers with their configuration price
SELECT P.Name, C.Name AS ConfigName, C.UnitCost, C.UnitCost * 100 AS Hundred
FROM tblPrinters P, tblConfigurations C
WHERE C.ConfigurationId = P.ConfigurationId
ORDER BY P.PrinterId;

-- quotas and prices in one list
SELECT Name AS Label, QuotaRemaining AS Amount FROM tblUsers
UNION ALL
SELECT Name, UnitCost FROM tblConfigurations
ORDER BY Label;

-- amounts and a constant in one list
SELECT Name AS Label, QuotaRemaining AS Amount FROM tblUsers WHERE QuotaRemaining > 5
UNION
SELECT N'none', 0
ORDER BY Amount;

-- distinct users with jobs of a price
SELECT DISTINCT R.Name FROM tblUsers R INNER JOIN tblPrintJobs P ON P.UserId = R.UserId
WHERE P.CostPerUnit BETWEEN 0.05 AND 0.125
ORDER BY R.Name;

-- the largest spend per month and user
SELECT TOP 10 P.UserId, SUM(P.CostPerUnit * P.Copies) AS Spent
FROM tblPrintJobs P
WHERE P.DatePrinted < CAST('Feb 15, 2024 12:00:00' AS smalldatetime) AND P.UserId IS NOT NULL
GROUP BY P.UserId
ORDER BY Spent DESC, P.UserId;
