// The select list of a listed print job, shared by the job list and the
// accounting export's pending jobs so that both hand out the same columns
// under the same names: the job table is P, validated values C, users R and
// units U.  Missing joined texts read "Unknown" or "<NONE>"; the network user
// is lower-cased, process, printer and port upper-cased.
#ifndef KX4DATA_GLOBAL_JOBLISTSELECT_H_
#define KX4DATA_GLOBAL_JOBLISTSELECT_H_

namespace kx4 {

inline constexpr const char* kJobListSelect =
    "SELECT ISNULL(C.Code, 'Unknown') AS ValueCode, ISNULL(C.Description, 'Unknown') AS "
    "ValueDescription, ISNULL(R.Name, 'Unknown') AS UserName, LOWER(P.NetworkUser) AS "
    "NetworkUser, ISNULL(P.MachineName, 'Unknown') AS ComputerName, UPPER(P.ProcessName) AS "
    "ProcessName, UPPER(P.PrinterName) As PrinterName, UPPER(P.PrinterPort) AS PrinterPort, "
    "ISNULL(P.PaperType, '<NONE>') AS PaperType, P.Document, P.Pages, P.Copies, P.PageWidth, "
    "P.PageHeight, P.PaperSize, P.Color, P.CostPerUnit, P.UnitMeasureId, U.ReportDisplay As "
    "UnitDesc, P.DatePrinted, ISNULL(P.UserDefined1, '<NONE>') AS UserOne, "
    "ISNULL(P.UserDefined2, '<NONE>') AS UserTwo ";

}  // namespace kx4

#endif  // KX4DATA_GLOBAL_JOBLISTSELECT_H_
