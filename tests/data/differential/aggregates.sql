-- money totals of all users
SELECT SUM(QuotaRemaining) AS Total, MIN(QuotaRemaining) AS Lowest, MAX(QuotaRemaining) AS Highest
FROM tblUsers;

-- average of money rounds to four places
SELECT AVG(QuotaRemaining) AS Mean FROM tblUsers;

-- average of the users who use a quota
SELECT AVG(QuotaRemaining) AS Mean FROM tblUsers WHERE UseQuota = 1;

-- distinct aggregates of money
SELECT SUM(DISTINCT QuotaRemaining) AS Total, AVG(DISTINCT QuotaRemaining) AS Mean,
       COUNT(DISTINCT QuotaRemaining) AS Amounts
FROM tblUsers;

-- counts and totals of jobs
SELECT COUNT(*) AS Jobs, SUM(Pages) AS Pages, SUM(CostPerUnit) AS Units FROM tblPrintJobs;

-- average unit price of jobs
SELECT AVG(CostPerUnit) AS MeanPrice, AVG(DISTINCT CostPerUnit) AS MeanDistinct
FROM tblPrintJobs;

-- average page count is a real
SELECT AVG(Pages) AS MeanPages FROM tblPrintJobs;

-- spend per user (jobs without a user are left out: the engines order NULL
-- differently)
SELECT UserId, SUM(CostPerUnit * Pages * Copies) AS Spent, COUNT(*) AS Jobs
FROM tblPrintJobs
WHERE UserId IS NOT NULL
GROUP BY UserId
ORDER BY UserId;

-- spend of jobs with and without a user
SELECT SUM(CostPerUnit * Pages * Copies) AS Spent, COUNT(*) AS Jobs
FROM tblPrintJobs
GROUP BY UserId;

-- spend per network user with HAVING on money
SELECT NetworkUser, SUM(CostPerUnit * Pages) AS Spent
FROM tblPrintJobs
GROUP BY NetworkUser
HAVING SUM(CostPerUnit * Pages) > 100
ORDER BY NetworkUser;

-- jobs per unit price
SELECT CostPerUnit, COUNT(*) AS Jobs FROM tblPrintJobs GROUP BY CostPerUnit ORDER BY CostPerUnit;

-- average spend per job per printer
SELECT PrinterName, AVG(CostPerUnit * Copies) AS MeanSpend, MAX(CostPerUnit) AS Dearest
FROM tblPrintJobs
GROUP BY PrinterName
ORDER BY MeanSpend DESC, PrinterName;

-- quota per activity with HAVING on an average
SELECT Active, AVG(QuotaRemaining) AS Mean, SUM(QuotaRemaining) AS Total
FROM tblUsers
GROUP BY Active
HAVING AVG(QuotaRemaining) > 0.5;

-- jobs per accounting state
SELECT Accounted, COUNT(*) AS Jobs, SUM(CostPerUnit) AS Units
FROM tblPrintJobs
GROUP BY Accounted
ORDER BY Accounted;

-- pages per colour
SELECT Color, SUM(Pages * 1) AS Pages, MIN(PageWidth) AS Narrowest FROM tblPrintJobs
GROUP BY Color;

-- quota totals per report right
SELECT ReportSecurity, SUM(QuotaRemaining) AS Total, COUNT(*) AS Users
FROM tblUsers
GROUP BY ReportSecurity
ORDER BY ReportSecurity;

-- money averages per month
SELECT UnitMeasureId, AVG(CostPerUnit) AS Mean, SUM(CostPerUnit) / COUNT(*) AS Quotient
FROM tblPrintJobs
GROUP BY UnitMeasureId;

-- first and last job of each month of the year, with their prices
SELECT UnitMeasureId, MIN(DatePrinted) AS First, MAX(DatePrinted) AS Last,
       MAX(CostPerUnit) AS Dearest
FROM tblPrintJobs
GROUP BY UnitMeasureId
ORDER BY UnitMeasureId;

-- the last accounting state change
SELECT MAX(DatePrinted) AS Last FROM tblPrintJobs WHERE Accounted = 2;
