#include <kx4data/DataGlobal.h>

#include <gtest/gtest.h>

#include <kx4data/ado/Recordset.h>

#include <string>
#include <vector>

#include "support/SessionFixture.h"

namespace kx4::test {
namespace {

class PaperTypeListTest : public EstablishedSessionTest {
 protected:
  void AddPaperType(const std::string& description, int stored_modifier, int position,
                    bool active) {
    Exec(
        "INSERT INTO tblPaperTypes (Description, CostModifier, ListPosition, Active, "
        "DefaultType) VALUES (?, " +
            std::to_string(stored_modifier) + ", " + std::to_string(position) + ", " +
            (active ? "1" : "0") + ", 0)",
        {Variant(description)});
  }
  // Descriptions and modifiers in the order listed.
  std::vector<std::string> List(bool active_only) {
    std::shared_ptr<ado::Recordset> rs;
    KXErrorPtr e = global.GetPaperTypeList(session(), rs, active_only);
    EXPECT_EQ(e, nullptr) << e->Message();
    std::vector<std::string> out;
    for (; !rs->Eof(); rs->MoveNext())
      out.push_back(rs->Fields("Description").Value().ToString() + " " +
                    std::to_string(rs->Fields("Modifier").Value().ToLong()));
    return out;
  }
  DataGlobal global;
};

// The list order is the stored position, never the key, and the modifier
// comes back as the percentage the caller assigned.
TEST_P(PaperTypeListTest, ListsByPositionWithModifiersAsPercentages) {
  AddPaperType("Glossy", 25, 9, true);
  AddPaperType("Plain", 0, 2, true);
  AddPaperType("Card", -20, 5, false);
  EXPECT_EQ(List(false), (std::vector<std::string>{"Plain 100", "Card 80", "Glossy 125"}));
  EXPECT_EQ(List(true), (std::vector<std::string>{"Plain 100", "Glossy 125"}));
}

TEST_P(PaperTypeListTest, ColumnsInTheirOrderWithoutAccessRights) {
  // No GetAuthorization: listing paper types needs no right.
  std::shared_ptr<ado::Recordset> rs;
  ASSERT_EQ(global.GetPaperTypeList(session(), rs), nullptr);
  const std::vector<std::string> expected{"PaperTypeId", "Description", "Modifier",
                                          "Active",      "DefaultType", "ListPosition"};
  ASSERT_EQ(rs->FieldCount(), static_cast<int32_t>(expected.size()));
  for (size_t i = 0; i < expected.size(); ++i)
    EXPECT_EQ(rs->Fields(static_cast<int32_t>(i)).Name(), expected[i]);
}

KX4_INSTANTIATE_ENGINES(PaperTypeListTest);

}  // namespace
}  // namespace kx4::test
