-- names in a list, in any case and with trailing blanks
SELECT Name FROM tblApplications WHERE Name IN (N'word', N'EXCEL  ', N'zoë');

-- Cyrillic names whose small and capital forms pair unevenly
SELECT Name, Description FROM tblApplications
WHERE Name = N'ӂУК' OR Description IN (N'ӏ') OR UPPER(Description) LIKE N'Ӏ%'
ORDER BY ApplicationId;

-- names outside a list
SELECT COUNT(*) AS Others FROM tblApplications WHERE Name NOT IN (N'WORD', N'excel', N'Mail');

-- upper-cased descriptions in a list
SELECT Name FROM tblApplications WHERE UPPER(Description) IN (N'WRITER', N'SHEETS');

-- names that are some description
SELECT Name FROM tblApplications WHERE Name IN (SELECT Description FROM tblApplications);

-- upper-cased names that are some description
SELECT Name FROM tblApplications WHERE UPPER(Name) IN (SELECT Description FROM tblApplications);

-- names grouped without regard to case
SELECT UPPER(RTRIM(Name)) AS App, COUNT(*) AS Versions FROM tblApplications
GROUP BY Name
ORDER BY App;

-- names spelt more than one way
SELECT COUNT(*) AS Names
FROM (SELECT Name FROM tblApplications GROUP BY Name HAVING COUNT(*) > 1) X;

-- a name spelt alike under one track option
SELECT TrackOptionId, COUNT(*) AS Apps FROM tblApplications
GROUP BY TrackOptionId, Name
HAVING COUNT(*) > 1
ORDER BY TrackOptionId;

-- grouped names compared in HAVING
SELECT COUNT(*) AS Versions FROM tblApplications GROUP BY Name HAVING Name = N'WORD';

-- distinct names and descriptions counted
SELECT COUNT(DISTINCT Name) AS Names, COUNT(DISTINCT Description) AS Descriptions,
       COUNT(DISTINCT UPPER(Name)) AS Upper
FROM tblApplications;

-- distinct names per track option
SELECT TrackOptionId, COUNT(DISTINCT Name) AS Names FROM tblApplications
GROUP BY TrackOptionId
ORDER BY TrackOptionId;

-- distinct pairs of names and descriptions
SELECT COUNT(*) AS Pairs FROM (SELECT DISTINCT Name, Description FROM tblApplications) X;

-- distinct names with their track options
SELECT COUNT(*) AS Pairs FROM (SELECT DISTINCT TrackOptionId, Name FROM tblApplications) X;

-- names by an escaped underscore
SELECT Name FROM tblApplications WHERE Name LIKE N'!_U%' ESCAPE N'!';

-- names by a class and an escaped bracket, with an escape character of their own
SELECT Name FROM tblApplications
WHERE Name LIKE N'[v-z]%' ESCAPE N'#' OR Name LIKE N'#[T%' ESCAPE N'#' OR Name LIKE N'[_]U%' ESCAPE N'!';

-- descriptions by an escaped percent sign
SELECT Name FROM tblApplications WHERE Description LIKE N'50!%' ESCAPE '!';

-- names that begin with their description
SELECT Name FROM tblApplications WHERE Name LIKE Description + N'%';

-- names with a suffix, matched in any case
SELECT Name FROM tblApplications WHERE Name + N'x' LIKE N'WORD%X';

-- a name compared with an expression
SELECT Name FROM tblApplications WHERE Name = N'wo' + N'rd';

-- a name in parentheses, on the right, and cast
SELECT Name FROM tblApplications
WHERE (Name) = N'EXCEL ' OR N'straße' = Name OR CAST(Name AS nvarchar(10)) = N'ZOË';

-- an expression of a name compared exactly
SELECT Name FROM tblApplications WHERE Name + N'' = N'word' OR LTRIM(Name) = N'EXCEL';

-- an upper-cased name compared with text
SELECT Name FROM tblApplications WHERE UPPER(Name) = N'zoë' OR N'mail ' = UPPER(Name);

-- names in a range
SELECT Name FROM tblApplications WHERE Name BETWEEN N'a' AND N'm';

-- names told apart by CASE
SELECT Name, CASE Name WHEN N'word' THEN 1 WHEN N'EXCEL' THEN 2 ELSE 0 END AS Kind
FROM tblApplications;

-- names in key order
SELECT Name, Description FROM tblApplications ORDER BY Name, ApplicationId;

-- names joined with descriptions
SELECT A.Name, B.Name AS Other FROM tblApplications A
INNER JOIN tblApplications B ON A.Name = B.Description;
