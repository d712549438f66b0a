#include <kx4data/DataGlobal.h>

#include <gtest/gtest.h>

#include <kx4data/KXData.h>
#include <kx4data/RuntimeError.h>
#include <kx4data/User.h>
#include <kx4data/ado/Recordset.h>

#include <algorithm>
#include <string>
#include <vector>

#include "global/JobRows.h"
#include "support/SessionFixture.h"

namespace kx4::test {
namespace {

using Rows = std::vector<std::string>;

// Every row of `rs` as its columns' texts joined by "|".
Rows Texts(ado::Recordset& rs) {
  Rows rows;
  for (; !rs.Eof(); rs.MoveNext()) {
    std::string row;
    for (int32_t c = 0; c < rs.FieldCount(); ++c) {
      const ado::Field field = rs.Fields(c);
      row += (c ? "|" : "") + (field.IsNull() ? std::string("NULL") : field.Value().ToString());
    }
    rows.push_back(row);
  }
  return rows;
}

Rows Names(ado::Recordset& rs) {
  Rows names;
  for (int32_t c = 0; c < rs.FieldCount(); ++c)
    names.push_back(rs.Fields(c).Name());
  return names;
}

class ListsTest : public AdministeredSessionTest {
 protected:
  using Operation = KXErrorPtr (DataGlobal::*)(KXData&, std::shared_ptr<ado::Recordset>&);
  // The list of an operation without filters, and its column names.
  Rows List(Operation operation, Rows* names = nullptr) {
    std::shared_ptr<ado::Recordset> rs;
    KXErrorPtr e = (global_.*operation)(session(), rs);
    EXPECT_EQ(e, nullptr) << e->Message();
    if (names)
      *names = Names(*rs);
    return Texts(*rs);
  }
  using Filtered = KXErrorPtr (DataGlobal::*)(KXData&, std::shared_ptr<ado::Recordset>&,
                                              const Variant&);
  // One column of a filtered list, in list order.
  Rows Column(Filtered operation, const Variant& filters, const char* column) {
    std::shared_ptr<ado::Recordset> rs;
    KXErrorPtr e = (global_.*operation)(session(), rs, filters);
    EXPECT_EQ(e, nullptr) << e->Message();
    Rows texts;
    for (; !rs->Eof(); rs->MoveNext())
      texts.push_back(rs->Fields(column).Value().ToString());
    return texts;
  }
  Rows ValueCodes(const Variant& filters) {
    return Column(&DataGlobal::GetValidatedValueList, filters, "Code");
  }
  Rows UserNames(const Variant& filters) {
    return Column(&DataGlobal::GetUserList, filters, "Name");
  }
  void AddUser(const std::string& name, bool active) {
    Exec("INSERT INTO tblUsers (Name, Active, QuotaRemaining) VALUES (?, " +
             std::string(active ? "1" : "0") + ", 0)",
         {Variant(name)});
  }

  DataGlobal global_;
};

Variant Array(std::vector<Variant> elements) {
  return Variant(VariantArray(std::move(elements)));
}

// "_" sorts before letters on one engine and after them on the other, so
// lists holding both P_1 and PX1 are compared without their order.
Rows Sorted(Rows rows) {
  std::sort(rows.begin(), rows.end());
  return rows;
}

TEST_P(ListsTest, ValidatedValuesByCodeWithActivityAndPrefixFilters) {
  Exec(
      "INSERT INTO tblValidatedValues (Code, Description, CostModifier, Active) VALUES "
      "('PX1', 'Quality', -20, 0), ('P_1', 'Print room', 10, 1), ('ACME', 'acme ltd', 0, 1)");
  std::shared_ptr<ado::Recordset> rs;
  ASSERT_EQ(global_.GetValidatedValueList(
                session(), rs, Variant(VariantArray{Variant(2), Variant::Null(), Variant::Null()})),
            nullptr);
  EXPECT_EQ(Names(*rs), (Rows{"ValidatedId", "Code", "Description", "Modifier", "Active"}));
  EXPECT_EQ(Texts(*rs), (Rows{"1|PX1|Quality|80|False"}));

  const Variant null = Variant::Null();
  const Rows all{"ACME", "PX1", "P_1"};
  EXPECT_EQ(ValueCodes(null)[0], "ACME");
  EXPECT_EQ(Sorted(ValueCodes(null)), all);
  EXPECT_EQ(ValueCodes(Array({Variant(1), null, null})), (Rows{"ACME", "P_1"}));
  EXPECT_EQ(ValueCodes(Array({Variant(2), null, null})), (Rows{"PX1"}));
  EXPECT_EQ(Sorted(ValueCodes(Array({Variant(3), null, null}))), all);
  EXPECT_EQ(Sorted(ValueCodes(Array({Variant("x"), null, null}))), all);
  EXPECT_EQ(ValueCodes(Array({null, Variant("p_"), null})), (Rows{"P_1"}));
  EXPECT_EQ(ValueCodes(Array({null, null, Variant("%L")})), (Rows{"ACME", "PX1"}));
  EXPECT_EQ(ValueCodes(Array({Variant(1), Variant("p"), Variant("pr")})), (Rows{"P_1"}));
  EXPECT_EQ(ValueCodes(Array({null, Variant(""), null})), (Rows{}));

  // Anything but Null or an array of three is a failed call.
  EXPECT_THROW((void)global_.GetValidatedValueList(session(), rs, Variant(1)), RuntimeError);
  EXPECT_THROW((void)global_.GetValidatedValueList(session(), rs, Array({null, null})),
               RuntimeError);
}

TEST_P(ListsTest, UsersOnlyForAdministratorsWithTheirFilters) {
  AddUser("bea", true);
  AddUser("Al_x", false);
  AddUser("Alf", true);
  AddUser("Ada", true);
  const Variant null = Variant::Null();
  const Rows all{"Ada", "Al_x", "Alf", "bea"};
  EXPECT_EQ(UserNames(Variant()).front(), "Ada");
  EXPECT_EQ(UserNames(Variant()).back(), "bea");
  EXPECT_EQ(Sorted(UserNames(Variant("scalar"))), all);
  EXPECT_EQ(UserNames(Array({Variant(1), null})), (Rows{"Ada", "Alf", "bea"}));
  EXPECT_EQ(UserNames(Array({Variant(2), null})), (Rows{"Al_x"}));
  EXPECT_EQ(UserNames(Array({null, Variant("al_")})), (Rows{"Al_x"}));
  EXPECT_EQ(UserNames(Array({Variant(1), Variant("AL")})), (Rows{"Alf"}));
  std::shared_ptr<ado::Recordset> rs;
  EXPECT_THROW((void)global_.GetUserList(session(), rs, Array({null})), RuntimeError);
  ASSERT_EQ(global_.GetUserList(session(), rs), nullptr);
  EXPECT_EQ(Names(*rs), (Rows{"UserId", "PinCode", "Name", "UseQuota", "QuotaRemaining", "Active",
                              "AdminSecurity", "ReportSecurity"}));

  SetSwitches(true, false);
  ASSERT_EQ(session().GetAuthorization(), nullptr);
  rs = std::make_shared<ado::Recordset>();
  KXErrorPtr e = global_.GetUserList(session(), rs);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->Message(), "You do not have the proper access to execute this method.");
  EXPECT_EQ(rs, nullptr);
}

TEST_P(ListsTest, NamesSeenInJobsAreListedOnceInOrder) {
  for (const char* user : {"zed", "amy", "Zed", "amy"})
    InsertJob(raw(), {.document = "d", .network_user = user, .printer = user});
  EXPECT_EQ(List(&DataGlobal::GetNetworkUserList).size(), 2u);
  EXPECT_EQ(List(&DataGlobal::GetNetworkUserList)[0], "amy");
  Rows names;
  EXPECT_EQ(List(&DataGlobal::GetJobPrinterList, &names).size(), 2u);
  EXPECT_EQ(names, (Rows{"PrinterName"}));
}

TEST_P(ListsTest, ReferenceListsWithTheirJoinsAndOrder) {
  Exec(
      "INSERT INTO tblConfigurations (Name, TrackOptionId, UnitMeasureId, UnitCost, MaxPages, "
      "ColorModifier, Active) VALUES ('Office', 2, 1, ?, NULL, 50, 0)",
      {Variant(Currency::FromTicks(500))});
  Exec(
      "INSERT INTO tblConfigurations (Name, TrackOptionId, UnitMeasureId, UnitCost, MaxPages, "
      "ColorModifier, Active) VALUES ('Atelier', 1, 2, ?, 40, 0, 1)",
      {Variant(Currency::FromTicks(25000))});
  Exec(
      "INSERT INTO tblConfigurations (Name, TrackOptionId, UnitMeasureId) VALUES "
      "('Lost unit', 1, 77)");
  Rows names;
  EXPECT_EQ(List(&DataGlobal::GetConfigurationList, &names),
            (Rows{"2|Atelier|1|Popup|2|Square Feet|2.5|40|100",
                  "1|Office|2|Track only|1|Pages|0.05|NULL|150"}));
  EXPECT_EQ(names, (Rows{"ConfigurationId", "Name", "TrackOptionId", "TrackDesc", "UnitMeasureId",
                         "UnitMeasure", "UnitCost", "MaxPages", "Modifier"}));

  EXPECT_EQ(List(&DataGlobal::GetUnitMeasureList, &names).size(), 2u);
  EXPECT_EQ(names, (Rows{"UnitMeasureId", "Name", "UnitDisplay", "ReportDisplay"}));

  Exec(
      "INSERT INTO tblPrinters (Name, Port, ConfigurationId) VALUES ('Laser', 'LPT1:', 1), "
      "('Atrium', 'USB001', 2), ('Orphan', 'LPT9:', 99)");
  EXPECT_EQ(List(&DataGlobal::GetPrinterList, &names),
            (Rows{"2|Atrium|USB001|2|Atelier", "1|Laser|LPT1:|1|Office"}));
  EXPECT_EQ(names, (Rows{"PrinterId", "Name", "Port", "ConfigurationId", "ConfigName"}));

  Exec(
      "INSERT INTO tblApplications (Name, Description, TrackOptionId) VALUES "
      "('WINWORD', 'Word', 3), ('ACROBAT', NULL, 1)");
  EXPECT_EQ(List(&DataGlobal::GetApplicationList, &names),
            (Rows{"2|ACROBAT|NULL|1", "1|WINWORD|Word|3"}));
  EXPECT_EQ(names, (Rows{"ApplicationId", "Name", "Description", "TrackOptionId"}));
}

KX4_INSTANTIATE_ENGINES(ListsTest);

}  // namespace
}  // namespace kx4::test
