// The job list: every recorded job for reporters with the all-data right,
// the authorised user's own jobs for reporters with only the own-data right.
#include <string>
#include <vector>

#include <kx4data/DataGlobal.h>
#include <kx4data/KXData.h>
#include <kx4data/User.h>
#include <kx4data/ado/Recordset.h>

#include "global/JobListSelect.h"
#include "global/ListFilters.h"
#include "session/Common.h"
#include "session/KXDataInternal.h"
#include "session/Security.h"

namespace kx4 {
namespace {

// Jobs without a validated value or a user stay in the list (outer joins);
// jobs whose unit does not exist do not (inner join).  Conditions on R sit in
// the WHERE part, so that they remove rows: in the join condition of R they
// would only blank the user's name of the jobs they reject.
std::string BuildJobListSQL(const std::string& prefix, const std::vector<std::string>& conditions) {
  std::string sql = std::string(kJobListSelect) + "FROM " + prefix + "tblPrintJobs P " +
                    "INNER JOIN " + prefix +
                    "tblUnitMeasure U ON U.UnitMeasureId = P.UnitMeasureId " + "LEFT OUTER JOIN " +
                    prefix + "tblValidatedValues C ON C.ValidatedId = P.ValidatedId " +
                    "LEFT OUTER JOIN " + prefix + "tblUsers R ON R.UserId = P.UserId ";
  for (size_t i = 0; i < conditions.size(); ++i)
    sql += (i == 0 ? "WHERE " : " AND ") + conditions[i];
  if (!conditions.empty())
    sql += " ";
  return sql + "ORDER BY P.DatePrinted";
}

// The conditions of the filter array, in the order the list has always
// written them: 1, 2, 3, 4, 6, 7, 0, then 5 (the user name, only for the
// all-data right).  Index 7 is read whatever the right, so a shorter array
// fails before anything runs.
std::vector<std::string> FilterConditions(const VariantArray& filters, bool all_data) {
  std::vector<std::string> conditions;
  if (const Variant& printer = filters[1]; !printer.IsNull()) {
    const std::string pattern = UpperPattern(printer);
    conditions.push_back("(UPPER(P.PrinterName) LIKE " + pattern +
                         " OR UPPER(P.PrinterPort) LIKE " + pattern + ")");
  }
  if (const Variant& network_user = filters[2]; !network_user.IsNull())
    conditions.push_back("LOWER(P.NetworkUser) LIKE " + LowerPattern(network_user));
  if (const Variant& from = filters[3]; !from.IsNull())
    conditions.push_back("P.DatePrinted >= " + DateToSQL(from.ToDate()).ToString());
  // The whole to-day counts: the bound is midnight of the day after.
  if (const Variant& to = filters[4]; !to.IsNull())
    conditions.push_back("P.DatePrinted < " +
                         DateToSQL(to.ToDate().DateOnly().AddDays(1)).ToString());
  if (const Variant& one = filters[6]; !one.IsNull())
    conditions.push_back("UPPER(P.UserDefined1) LIKE " + UpperPattern(one));
  if (const Variant& two = filters[7]; !two.IsNull())
    conditions.push_back("UPPER(P.UserDefined2) LIKE " + UpperPattern(two));
  // Unquoted in the statement, so nothing but a number may get there.
  if (const Variant& value = filters[0]; !value.IsNull())
    conditions.push_back("P.ValidatedId = " + KeyText(value));
  // "R.UserId IS NOT NULL" adds nothing to the LIKE (a job without a user has
  // no name to match), but shows a planner that the condition removes the
  // jobs the outer join of R would keep, so that it may start from the users.
  if (all_data) {
    if (const Variant& user_name = filters[5]; !user_name.IsNull())
      conditions.push_back("R.UserId IS NOT NULL AND UPPER(R.Name) LIKE " +
                           UpperPattern(user_name));
  }
  return conditions;
}

}  // namespace

KXErrorPtr DataGlobal::GetJobList(KXData& pinsData, std::shared_ptr<ado::Recordset>& pinsJobList,
                                  const Variant& pvntParameters) {
  const bool all_data = CheckMethodAccess(pinsData, kxsReporterAll) == nullptr;
  if (!all_data) {
    if (KXErrorPtr refused = CheckMethodAccess(pinsData, kxsReporterOwn))
      return refused;
  }
  std::vector<std::string> conditions;
  if (pvntParameters.IsArray())
    conditions = FilterConditions(pvntParameters.Array(), all_data);

  Variant parameters;
  if (!all_data) {
    const std::shared_ptr<User>& user = KXDataInternal::AuthorizedUser(pinsData);
    if (!user) {
      // Nobody's own jobs: the statement still runs, for the list's columns.
      conditions.push_back("1 = 0");
    } else {
      std::string pin;
      if (KXErrorPtr failed = user->EncipheredPin(pin))
        return failed;
      // An empty PIN travels as NULL and matches no user.
      conditions.push_back("R.PinCode = ?");
      parameters = Variant(VariantArray{Variant(pin)});
    }
  }
  return KXDataInternal::ExecuteSQL(
      pinsData, pinsJobList, BuildJobListSQL(KXDataInternal::OwnerPrefix(pinsData), conditions),
      parameters);
}

}  // namespace kx4
