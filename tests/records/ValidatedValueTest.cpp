#include <kx4data/ValidatedValue.h>

#include <gtest/gtest.h>

#include <string>

#include "records/RecordTestSupport.h"

namespace kx4::test {
namespace {

class ValidatedValueTest : public RecordTest {
 protected:
  ValidatedValue Saved(const std::string& code, int16_t modifier = 100) {
    ValidatedValue value;
    value.SetCode(code);
    value.SetDescription("Project " + code);
    value.SetCostModifier(modifier);
    KXErrorPtr e = value.Save(session());
    EXPECT_EQ(e, nullptr) << (e ? e->Message() : "");
    return value;
  }
  Variant Column(int32_t id, const std::string& column) {
    return Value("SELECT " + column +
                 " FROM tblValidatedValues WHERE ValidatedId = " + std::to_string(id));
  }
  void AddJobWith(int32_t value) {
    Exec(
        "INSERT INTO tblPrintJobs (ValidatedId, NetworkUser, PrinterName, Document, "
        "UnitMeasureId, DatePrinted) VALUES (" +
            std::to_string(value) + ", N'jdoe', N'Laser', N'Report', 1, ?)",
        {Variant(DateTime::FromCivil(2026, 3, 1, 10, 0))});
  }
};

TEST_P(ValidatedValueTest, ModifierIsStoredRelativeToAHundred) {
  ValidatedValue neutral;
  EXPECT_EQ(neutral.CostModifier(), 100);
  EXPECT_TRUE(neutral.Active());
  neutral.SetCode("NEUTRAL");
  ASSERT_EQ(neutral.Save(session()), nullptr);
  ASSERT_GT(neutral.Id(), 0);
  EXPECT_FALSE(session().InTransaction());
  EXPECT_EQ(Column(neutral.Id(), "CostModifier").ToLong(), 0);
  EXPECT_TRUE(Column(neutral.Id(), "Active").ToBoolean());
  EXPECT_TRUE(Column(neutral.Id(), "Description").IsNull());

  ValidatedValue dear = Saved("DEAR", 150);
  EXPECT_EQ(Column(dear.Id(), "CostModifier").ToLong(), 50);
  ValidatedValue loaded;
  ASSERT_EQ(loaded.Load(session(), dear.Id()), nullptr);
  EXPECT_EQ(loaded.CostModifier(), 150);
  EXPECT_EQ(loaded.Code(), "DEAR");
  EXPECT_EQ(loaded.Description(), "Project DEAR");

  // An update writes the modifier as a number.
  loaded.SetCostModifier(75);
  loaded.SetActive(false);
  loaded.SetDescription("");
  ASSERT_EQ(loaded.Save(session()), nullptr);
  EXPECT_EQ(Column(dear.Id(), "CostModifier").ToLong(), -25);
  EXPECT_FALSE(Column(dear.Id(), "Active").ToBoolean());
  ASSERT_EQ(dear.Load(session(), dear.Id()), nullptr);
  EXPECT_EQ(dear.CostModifier(), 75);
  EXPECT_FALSE(dear.Active());
  EXPECT_EQ(dear.Description(), "");
  EXPECT_EQ(Count("tblValidatedValues"), 2);

  KXErrorPtr e = loaded.Load(session(), 999);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->Message(), "Validated value record expected. ID: 999");
  EXPECT_EQ(e->KXErrorNumber(), erRecordExpected);
  EXPECT_EQ(e->IconType(), KXError::kIconStop);
  EXPECT_EQ(loaded.Id(), 999);
  EXPECT_EQ(loaded.Code(), "DEAR");
}

// The unique index on Code compares as the database does, ignoring case.
TEST_P(ValidatedValueTest, ADuplicateCodeIsAnExistingValue) {
  Saved("PRJ-7");
  ErrorLogWatch log;
  for (const char* code : {"PRJ-7", "prj-7"}) {
    SCOPED_TRACE(code);
    ValidatedValue twin;
    twin.SetCode(code);
    KXErrorPtr e = twin.Save(session());
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->KXErrorNumber(), erDataValueExists);
    EXPECT_EQ(e->Message(), "This code already exists in the database.");
    EXPECT_EQ(e->IconType(), KXError::kIconExclamation);
    EXPECT_EQ(e->Number(), 2601);
    EXPECT_EQ(twin.Id(), -1);
    EXPECT_FALSE(session().InTransaction());
  }
  ValidatedValue other = Saved("PRJ-8");
  other.SetCode("Prj-7");
  KXErrorPtr e = other.Save(session());
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->KXErrorNumber(), erDataValueExists);
  EXPECT_EQ(e->Number(), 2601);
  EXPECT_EQ(Column(other.Id(), "Code").ToString(), "PRJ-8");
  EXPECT_EQ(Count("tblValidatedValues"), 2);
  EXPECT_EQ(log.NewText(), "");
}

TEST_P(ValidatedValueTest, LoadByCodeLooksUpTheCallersTextAsItStands) {
  ValidatedValue plain = Saved("ABC", 120);
  ValidatedValue padded = Saved(" PRJ 9");

  ValidatedValue found;
  ASSERT_EQ(found.LoadByCode(session(), "abc"), nullptr);
  EXPECT_EQ(found.Id(), plain.Id());
  EXPECT_EQ(found.Code(), "abc");  // the caller's text, not the stored one
  EXPECT_EQ(found.CostModifier(), 120);
  EXPECT_EQ(found.Description(), "Project ABC");

  // Not trimmed: a leading blank is part of the code.
  ASSERT_EQ(found.LoadByCode(session(), " PRJ 9"), nullptr);
  EXPECT_EQ(found.Id(), padded.Id());
  for (const char* code : {" ABC ", "PRJ 9", ""}) {
    SCOPED_TRACE(code);
    ValidatedValue missing;
    KXErrorPtr e = missing.LoadByCode(session(), code);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->Message(), std::string("Validated value record expected. Code: ") + code);
    EXPECT_EQ(e->KXErrorNumber(), erRecordExpected);
    EXPECT_EQ(e->IconType(), KXError::kIconStop);
    EXPECT_EQ(missing.Code(), code);
    EXPECT_EQ(missing.Id(), -1);
  }
}

TEST_P(ValidatedValueTest, DeleteIsRefusedWhileJobsUseTheValue) {
  ValidatedValue used = Saved("USED");
  ValidatedValue spare = Saved("SPARE");
  AddJobWith(used.Id());
  KXErrorPtr e = used.Delete(session());
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->Message(),
            "You cannot delete this value as it has jobs in the database.\r\n"
            "You can make the value inactive instead.");
  EXPECT_EQ(e->KXErrorNumber(), erChildrenExist);
  EXPECT_EQ(e->IconType(), KXError::kIconExclamation);
  EXPECT_EQ(Count("tblValidatedValues"), 2);

  ASSERT_EQ(spare.Delete(session()), nullptr);
  EXPECT_EQ(Count("tblValidatedValues"), 1);

  // Nothing to do for an unsaved value, not even a statement.
  Exec("ALTER TABLE tblValidatedValues RENAME TO tblAway");
  ErrorLogWatch log;
  ValidatedValue unsaved;
  EXPECT_EQ(unsaved.Delete(session()), nullptr);
  EXPECT_EQ(log.NewText(), "");
}

TEST_P(ValidatedValueTest, BatchUpdateTakesOnlyAListOfIds) {
  ValidatedValue a = Saved("A");
  ValidatedValue b = Saved("B");
  ValidatedValue c = Saved("C");
  ValidatedValue change;
  change.SetActive(false);
  change.SetCostModifier(90);
  const std::string ids = std::to_string(a.Id()) + ", " + std::to_string(c.Id());
  ErrorLogWatch log;
  for (const std::string& bad : {std::to_string(a.Id()) + ") OR (1=1", std::string("1;2"),
                                 std::string(""), std::string("0 OR 1=1")}) {
    SCOPED_TRACE(bad);
    KXErrorPtr e = change.BatchUpdate(session(), bad);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->IconType(), KXError::kIconStop);
  }
  EXPECT_EQ(Count("tblValidatedValues WHERE Active = 1 AND CostModifier = 0"), 3);
  EXPECT_EQ(log.NewText(), "");

  ASSERT_EQ(change.BatchUpdate(session(), ids), nullptr);
  for (const ValidatedValue* v : {&a, &b, &c}) {
    SCOPED_TRACE(v->Code());
    const bool listed = v != &b;
    EXPECT_EQ(Column(v->Id(), "Active").ToBoolean(), !listed);
    EXPECT_EQ(Column(v->Id(), "CostModifier").ToLong(), listed ? -10 : 0);
    EXPECT_EQ(Column(v->Id(), "Code").ToString(), v->Code());
    EXPECT_EQ(Column(v->Id(), "Description").ToString(), "Project " + v->Code());
  }
}

// Stored as the value minus 100 in a 16-bit column: below -32668 nothing
// is written and no transaction is begun.
TEST_P(ValidatedValueTest, ModifiersThatCannotBeStoredAreRefusedBeforeAnythingRuns) {
  ValidatedValue existing = Saved("KEEP");
  ErrorLogWatch log;
  ValidatedValue value;
  value.SetCode("LOW");
  value.SetCostModifier(-32669);
  KXErrorPtr e = value.Save(session());
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->Message(),
            "The validated value was not saved: its cost modifier -32669 is below -32668, the "
            "lowest modifier that can be stored.");
  EXPECT_EQ(e->IconType(), KXError::kIconStop);
  EXPECT_EQ(value.Id(), -1);
  EXPECT_FALSE(session().InTransaction());
  e = value.BatchUpdate(session(), std::to_string(existing.Id()));
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->Message(),
            "The validated values were not updated: the cost modifier -32669 is below -32668, "
            "the lowest modifier that can be stored.");
  EXPECT_EQ(Count("tblValidatedValues"), 1);
  EXPECT_EQ(Column(existing.Id(), "CostModifier").ToLong(), 0);
  EXPECT_EQ(log.NewText(), "");

  value.SetCostModifier(-32668);
  ASSERT_EQ(value.Save(session()), nullptr);
  EXPECT_EQ(Column(value.Id(), "CostModifier").ToLong(), -32768);
  ASSERT_EQ(value.BatchUpdate(session(), std::to_string(existing.Id())), nullptr);
  EXPECT_EQ(Column(existing.Id(), "CostModifier").ToLong(), -32768);
}

TEST_P(ValidatedValueTest, ChangesNeedAdministratorRights) {
  ValidatedValue value = Saved("OWN");
  SetSwitches(true, false);
  ASSERT_EQ(session().GetAuthorization(), nullptr);
  value.SetDescription("Changed");
  value.SetActive(false);
  for (KXErrorPtr e : {value.Save(session()), value.Delete(session()),
                       value.BatchUpdate(session(), std::to_string(value.Id()))}) {
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->Message(), "You do not have the proper access to execute this method.");
    EXPECT_EQ(e->IconType(), KXError::kIconExclamation);
  }
  EXPECT_EQ(Column(value.Id(), "Description").ToString(), "Project OWN");
  EXPECT_TRUE(Column(value.Id(), "Active").ToBoolean());
  ValidatedValue loaded;
  EXPECT_EQ(loaded.LoadByCode(session(), "OWN"), nullptr);
}

TEST_P(ValidatedValueTest, StatementTexts) {
  Exec("ALTER TABLE tblValidatedValues RENAME TO tblAway");
  ErrorLogWatch log;
  ValidatedValue value;
  value.SetCode("O'Neil");
  value.SetDescription("Dept's");
  value.SetCostModifier(130);
  EXPECT_NE(value.Save(session()), nullptr);
  EXPECT_NE(value.BatchUpdate(session(), "3,4"), nullptr);
  const std::vector<std::string> entries = LogEntries(log.NewText());
  ASSERT_EQ(entries.size(), 4u);
  EXPECT_EQ(entries[1],
            "SET NOCOUNT ON INSERT INTO tblValidatedValues (Description, Code, CostModifier, "
            "Active) VALUES (N'Dept''s', N'O''Neil', '30', -1) SET NOCOUNT OFF SELECT "
            "@@IDENTITY AS NewId");
  EXPECT_EQ(entries[3],
            "UPDATE tblValidatedValues SET Active = -1, CostModifier = '30' WHERE ValidatedId "
            "IN (3,4)");
}

KX4_INSTANTIATE_ENGINES(ValidatedValueTest);

}  // namespace
}  // namespace kx4::test
