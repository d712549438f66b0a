#include <kx4data/PaperType.h>

#include <gtest/gtest.h>

#include <string>

#include <kx4data/KXData.h>
#include <kx4data/RuntimeError.h>

#include "support/SessionFixture.h"

namespace kx4::test {
namespace {

class PaperTypeTest : public AdministeredSessionTest {
 protected:
  PaperType Saved(const std::string& description, bool default_type = false) {
    PaperType paper;
    paper.SetDescription(description);
    paper.SetActive(true);
    paper.SetDefaultType(default_type);
    KXErrorPtr e = paper.Save(session());
    EXPECT_EQ(e, nullptr) << (e ? e->Message() : "");
    return paper;
  }
  // A row placed directly, for arranging positions.
  int32_t Placed(const std::string& description, int32_t position) {
    Exec(
        "INSERT INTO tblPaperTypes (Description, CostModifier, ListPosition, Active, "
        "DefaultType) VALUES (N'" +
        description + "', 0, " + std::to_string(position) + ", 1, 0)");
    return Value("SELECT PaperTypeId FROM tblPaperTypes WHERE Description = N'" + description + "'")
        .ToLong();
  }
  Variant Column(int32_t id, const std::string& column) {
    return Value("SELECT " + column +
                 " FROM tblPaperTypes WHERE PaperTypeId = " + std::to_string(id));
  }
  int32_t PositionOf(int32_t id) { return Column(id, "ListPosition").ToLong(); }
  bool IsDefault(int32_t id) { return Column(id, "DefaultType").ToBoolean(); }
};

TEST_P(PaperTypeTest, NewPaperTypesGoBehindTheHighestPosition) {
  // The new row itself sits at 1 when the maximum is taken.
  PaperType first = Saved("Plain");
  EXPECT_EQ(PositionOf(first.Id()), 2);
  EXPECT_EQ(first.Position(), 0);

  Placed("Card", 7);
  PaperType next = Saved("Glossy");
  EXPECT_EQ(PositionOf(next.Id()), 8);

  PaperType loaded;
  ASSERT_EQ(loaded.Load(session(), next.Id()), nullptr);
  EXPECT_EQ(loaded.Position(), 8);
  EXPECT_EQ(loaded.Description(), "Glossy");
  EXPECT_TRUE(loaded.Active());
}

TEST_P(PaperTypeTest, DefaultFlagIsClearedElsewhereOnlyBySavingItSet) {
  PaperType a = Saved("A", true);
  PaperType b = Saved("B", true);
  EXPECT_FALSE(IsDefault(a.Id()));
  EXPECT_TRUE(IsDefault(b.Id()));

  // A's stale flag wins again.
  ASSERT_EQ(a.Save(session()), nullptr);
  EXPECT_TRUE(IsDefault(a.Id()));
  EXPECT_FALSE(IsDefault(b.Id()));

  PaperType c = Saved("C", false);
  EXPECT_TRUE(IsDefault(a.Id()));
  a.SetDefaultType(false);
  ASSERT_EQ(a.Save(session()), nullptr);
  EXPECT_EQ(Count("tblPaperTypes WHERE DefaultType = 1"), 0);
}

TEST_P(PaperTypeTest, CostModifierIsStoredRelativeToAHundred) {
  PaperType neutral = Saved("Plain");
  EXPECT_EQ(Column(neutral.Id(), "CostModifier").ToLong(), 0);

  PaperType dear;
  dear.SetDescription("Photo");
  dear.SetCostModifier(125);
  ASSERT_EQ(dear.Save(session()), nullptr);
  EXPECT_EQ(Column(dear.Id(), "CostModifier").ToLong(), 25);

  PaperType loaded;
  ASSERT_EQ(loaded.Load(session(), dear.Id()), nullptr);
  EXPECT_EQ(loaded.CostModifier(), 125);
  ASSERT_EQ(loaded.Load(session(), neutral.Id()), nullptr);
  EXPECT_EQ(loaded.CostModifier(), 100);

  loaded.SetCostModifier(80);
  ASSERT_EQ(loaded.Save(session()), nullptr);
  EXPECT_EQ(Column(neutral.Id(), "CostModifier").ToLong(), -20);
}

TEST_P(PaperTypeTest, LoadOfAMissingIdKeepsTheProperties) {
  PaperType paper;
  paper.SetDescription("kept");
  KXErrorPtr e = paper.Load(session(), 42);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->KXErrorNumber(), erRecordExpected);
  EXPECT_EQ(e->Message(), "Paper type record expected. ID: 42");
  EXPECT_EQ(e->IconType(), KXError::kIconStop);
  EXPECT_EQ(paper.Id(), 42);
  EXPECT_EQ(paper.Description(), "kept");
}

TEST_P(PaperTypeTest, ChangeOrderExchangesWithTheNeighbour) {
  const int32_t one = Placed("One", 1);
  const int32_t two = Placed("Two", 2);
  const int32_t three = Placed("Three", 3);
  PaperType paper;
  ASSERT_EQ(paper.Load(session(), three), nullptr);
  ASSERT_EQ(paper.ChangeOrder(session(), -1), nullptr);
  EXPECT_EQ(PositionOf(three), 2);
  EXPECT_EQ(PositionOf(two), 3);
  EXPECT_EQ(PositionOf(one), 1);
  EXPECT_EQ(paper.Position(), 3);
}

TEST_P(PaperTypeTest, ChangeOrderOfAnUnreloadedObjectStartsFromZero) {
  const int32_t first = Placed("First", 1);
  PaperType fresh = Saved("Fresh");
  ASSERT_EQ(fresh.Position(), 0);
  ASSERT_EQ(fresh.ChangeOrder(session(), 1), nullptr);
  EXPECT_EQ(PositionOf(first), 0);
  EXPECT_EQ(PositionOf(fresh.Id()), 1);
}

// 32-bit positions: a move beyond them is an overflow that moves nothing.
TEST_P(PaperTypeTest, ChangeOrderBeyondThePositionRangeFailsAsAnOverflow) {
  const int32_t last = Placed("Last", 2147483647);
  const int32_t first = Placed("First", -2147483647 - 1);
  PaperType paper;
  ASSERT_EQ(paper.Load(session(), last), nullptr);
  try {
    KXErrorPtr ignored = paper.ChangeOrder(session(), 1);
    ADD_FAILURE() << "moved";
  } catch (const RuntimeError& e) {
    EXPECT_EQ(e.Number(), kErrOverflow);
  }
  EXPECT_EQ(PositionOf(last), 2147483647);
  EXPECT_EQ(PositionOf(first), -2147483647 - 1);
  ASSERT_EQ(paper.Load(session(), first), nullptr);
  EXPECT_THROW(KXErrorPtr ignored = paper.ChangeOrder(session(), -1), RuntimeError);
  EXPECT_EQ(PositionOf(last), 2147483647);
  // Up to the edge is fine.
  ASSERT_EQ(paper.ChangeOrder(session(), 1), nullptr);
  EXPECT_EQ(PositionOf(first), -2147483647);
}

TEST_P(PaperTypeTest, DeleteAlsoRemovesItFromEveryConfiguration) {
  PaperType gone = Saved("Gone");
  PaperType kept = Saved("Kept");
  for (const std::string& link :
       {"1, " + std::to_string(gone.Id()) + ", 0", "2, " + std::to_string(gone.Id()) + ", 5",
        "1, " + std::to_string(kept.Id()) + ", 0"}) {
    Exec(
        "INSERT INTO tblConfigurationPaperTypes (ConfigurationId, PaperTypeId, CostModifier) "
        "VALUES (" +
        link + ")");
  }
  ASSERT_EQ(gone.Delete(session()), nullptr);
  EXPECT_FALSE(session().InTransaction());
  EXPECT_EQ(Count("tblPaperTypes WHERE PaperTypeId = " + std::to_string(gone.Id())), 0);
  EXPECT_EQ(Count("tblConfigurationPaperTypes WHERE PaperTypeId = " + std::to_string(gone.Id())),
            0);
  EXPECT_EQ(Count("tblConfigurationPaperTypes"), 1);
  EXPECT_EQ(PositionOf(kept.Id()), 3);
}

TEST_P(PaperTypeTest, DescriptionIsStoredAsAssigned) {
  PaperType paper = Saved("  Recycled 'eco'");
  EXPECT_EQ(Column(paper.Id(), "Description").ToString(), "  Recycled 'eco'");
  PaperType loaded;
  ASSERT_EQ(loaded.Load(session(), paper.Id()), nullptr);
  EXPECT_EQ(loaded.Description(), "  Recycled 'eco'");
}

TEST_P(PaperTypeTest, DuplicateDescriptionIsAnExistingValue) {
  PaperType original = Saved("Plain");
  ErrorLogWatch log;
  PaperType twin;
  twin.SetDescription("Plain");
  twin.SetDefaultType(true);
  KXErrorPtr e = twin.Save(session());
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->KXErrorNumber(), erDataValueExists);
  EXPECT_EQ(e->Message(), "This paper type already exists in the database.");
  EXPECT_EQ(e->IconType(), KXError::kIconExclamation);
  EXPECT_EQ(e->Number(), 2601);
  EXPECT_EQ(twin.Id(), -1);
  EXPECT_FALSE(session().InTransaction());
  EXPECT_EQ(Count("tblPaperTypes"), 1);
  EXPECT_EQ(log.NewText(), "");

  PaperType other = Saved("Other");
  other.SetDescription("Plain");
  e = other.Save(session());
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->KXErrorNumber(), erDataValueExists);
}

TEST_P(PaperTypeTest, ChangesNeedAdministratorRights) {
  PaperType paper = Saved("Plain");
  SetSwitches(true, false);
  ASSERT_EQ(session().GetAuthorization(), nullptr);
  paper.SetDescription("Changed");
  for (KXErrorPtr e :
       {paper.Save(session()), paper.ChangeOrder(session(), 1), paper.Delete(session())}) {
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->Message(), "You do not have the proper access to execute this method.");
    EXPECT_EQ(e->IconType(), KXError::kIconExclamation);
  }
  EXPECT_EQ(Column(paper.Id(), "Description").ToString(), "Plain");
  EXPECT_EQ(PositionOf(paper.Id()), 2);
  // Loading needs no rights.
  PaperType loaded;
  EXPECT_EQ(loaded.Load(session(), paper.Id()), nullptr);
}

TEST_P(PaperTypeTest, InsertBatchText) {
  Exec("DROP TABLE tblPaperTypes");
  ErrorLogWatch log;
  PaperType paper;
  paper.SetDescription("O'Brien stock");
  paper.SetCostModifier(90);
  paper.SetDefaultType(true);
  EXPECT_NE(paper.Save(session()), nullptr);
  EXPECT_EQ(paper.Id(), -1);
  EXPECT_FALSE(session().InTransaction());
  EXPECT_NE(log.NewText().find("\"SET NOCOUNT ON INSERT INTO tblPaperTypes (Description, "
                               "CostModifier, ListPosition, Active, DefaultType) VALUES "
                               "(N'O''Brien stock', -10, 1, 0, -1) SELECT @@IDENTITY As NewId "
                               "SET NOCOUNT OFF\"\r\n"),
            std::string::npos)
      << log.NewText();
}

KX4_INSTANTIATE_ENGINES(PaperTypeTest);

}  // namespace
}  // namespace kx4::test
