#include <kx4data/Configuration.h>

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include <kx4data/KXData.h>
#include <kx4data/RuntimeError.h>

#include "records/RecordTestSupport.h"

namespace kx4::test {
namespace {

// What a test expects of one entry of a configuration's paper-type table.
struct Entry {
  std::string description;
  bool offered;
  int16_t modifier;
};

class ConfigurationTest : public RecordTest {
 protected:
  // A paper type placed directly: its position, activity and stored default
  // modifier as given.
  int32_t AddPaperType(const std::string& description, int32_t position, bool active = true,
                       int32_t stored_modifier = 0) {
    Exec(
        "INSERT INTO tblPaperTypes (Description, CostModifier, ListPosition, Active, "
        "DefaultType) VALUES (N'" +
        description + "', " + std::to_string(stored_modifier) + ", " + std::to_string(position) +
        ", " + (active ? "1" : "0") + ", 0)");
    return Value("SELECT PaperTypeId FROM tblPaperTypes WHERE Description = N'" + description + "'")
        .ToLong();
  }
  void Offer(int32_t config, int32_t paper, int32_t stored_modifier) {
    Exec(
        "INSERT INTO tblConfigurationPaperTypes (ConfigurationId, PaperTypeId, CostModifier) "
        "VALUES (" +
        std::to_string(config) + ", " + std::to_string(paper) + ", " +
        std::to_string(stored_modifier) + ")");
  }
  // Stored modifier by paper type id, of the configuration's rows.
  std::map<int32_t, int32_t> StoredRows(int32_t config) {
    std::map<int32_t, int32_t> rows;
    auto rs = Query(raw(),
                    "SELECT PaperTypeId, CostModifier FROM tblConfigurationPaperTypes WHERE "
                    "ConfigurationId = " +
                        std::to_string(config));
    for (; !rs->Eof(); rs->MoveNext())
      rows[rs->Fields("PaperTypeId").Value().ToLong()] =
          rs->Fields("CostModifier").Value().ToLong();
    return rows;
  }
  Variant Column(int32_t config, const std::string& column) {
    return Value("SELECT " + column +
                 " FROM tblConfigurations WHERE ConfigurationId = " + std::to_string(config));
  }
  Configuration Saved(const std::string& name) {
    Configuration config;
    config.SetName(name);
    config.SetUnitMeasureId(kxuPages);
    KXErrorPtr e = config.Save(session());
    EXPECT_EQ(e, nullptr) << (e ? e->Message() : "");
    return config;
  }
  static std::vector<Entry> Entries(const Configuration& config) {
    std::vector<Entry> entries;
    for (const auto& entry : *config.PaperTypes())
      entries.push_back({entry->Description(), entry->InCurrentConfig(), entry->CostModifier()});
    return entries;
  }
  static std::shared_ptr<PaperType> EntryNamed(const Configuration& config,
                                               const std::string& description) {
    for (const auto& entry : *config.PaperTypes()) {
      if (entry->Description() == description)
        return entry;
    }
    ADD_FAILURE() << "no entry " << description;
    return std::make_shared<PaperType>();
  }
  static void ExpectRefusal(const KXErrorPtr& e, const std::string& message, KXErrors number) {
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->Message(), message);
    EXPECT_EQ(e->KXErrorNumber(), number);
    EXPECT_EQ(e->IconType(), KXError::kIconExclamation);
  }
};

bool operator==(const Entry& a, const Entry& b) {
  return a.description == b.description && a.offered == b.offered && a.modifier == b.modifier;
}
void PrintTo(const Entry& e, std::ostream* os) {
  *os << e.description << (e.offered ? " offered at " : " not offered, ") << e.modifier;
}

TEST_P(ConfigurationTest, RoundTripStoresWhatTheColumnsExpect) {
  Configuration config;
  config.SetName("  O'Brien's colour  ");
  config.SetTrackOptionId(kxtTrackOnly);
  config.SetUnitMeasureId(kxuSqFeet);
  config.SetUnitCost(Currency::Parse("0.0123"));
  config.SetMaxError("  Too many pages  ");
  config.SetColorModifier(150);
  EXPECT_EQ(config.Name(), "O'Brien's colour");
  EXPECT_EQ(config.MaxPages(), -1);
  EXPECT_FALSE(config.Active());
  ASSERT_EQ(config.Save(session()), nullptr);
  ASSERT_GT(config.Id(), 0);
  EXPECT_FALSE(session().InTransaction());

  EXPECT_EQ(Column(config.Id(), "Name").ToString(), "O'Brien's colour");
  EXPECT_TRUE(Column(config.Id(), "MaxPages").IsNull());
  EXPECT_EQ(Column(config.Id(), "ColorModifier").ToLong(), 50);
  EXPECT_TRUE(Column(config.Id(), "Active").ToBoolean());  // always active when new
  EXPECT_EQ(Column(config.Id(), "UnitCost").ToCurrency(), Currency::Parse("0.0123"));
  EXPECT_EQ(Column(config.Id(), "MaxError").ToString(), "Too many pages");

  Configuration loaded;
  ASSERT_EQ(loaded.Load(session(), config.Id()), nullptr);
  EXPECT_EQ(loaded.Id(), config.Id());
  EXPECT_EQ(loaded.Name(), "O'Brien's colour");
  EXPECT_EQ(loaded.TrackOptionId(), kxtTrackOnly);
  EXPECT_EQ(loaded.UnitMeasureId(), kxuSqFeet);
  EXPECT_EQ(loaded.UnitDesc(), "per square foot");
  EXPECT_EQ(loaded.UnitCost(), Currency::Parse("0.0123"));
  EXPECT_EQ(loaded.MaxPages(), 0);
  EXPECT_EQ(loaded.MaxError(), "Too many pages");
  EXPECT_EQ(loaded.ColorModifier(), 150);
  EXPECT_TRUE(loaded.Active());

  // An update stores the properties as they are.
  loaded.SetActive(false);
  loaded.SetColorModifier(100);
  loaded.SetMaxPages(250);
  ASSERT_EQ(loaded.Save(session()), nullptr);
  EXPECT_EQ(loaded.Id(), config.Id());
  EXPECT_EQ(Count("tblConfigurations"), 1);
  EXPECT_FALSE(Column(config.Id(), "Active").ToBoolean());
  EXPECT_EQ(Column(config.Id(), "ColorModifier").ToLong(), 0);
  EXPECT_EQ(Column(config.Id(), "MaxPages").ToLong(), 250);
  ASSERT_EQ(config.Load(session(), config.Id()), nullptr);
  EXPECT_FALSE(config.Active());
  EXPECT_EQ(config.ColorModifier(), 100);
  EXPECT_EQ(config.MaxPages(), 250);
}

TEST_P(ConfigurationTest, NoPageLimitAndEmptyTextsAreStoredAsNull) {
  for (int16_t max_pages : {-1, 0, -32768}) {
    SCOPED_TRACE(max_pages);
    Configuration config;
    config.SetName("Limit " + std::to_string(max_pages));
    config.SetMaxPages(max_pages);
    ASSERT_EQ(config.Save(session()), nullptr);
    EXPECT_TRUE(Column(config.Id(), "MaxPages").IsNull());
    // And on update.
    config.SetMaxPages(10);
    ASSERT_EQ(config.Save(session()), nullptr);
    config.SetMaxPages(max_pages);
    ASSERT_EQ(config.Save(session()), nullptr);
    EXPECT_TRUE(Column(config.Id(), "MaxPages").IsNull());
  }

  Configuration unnamed;
  unnamed.SetUnitMeasureId(kxuPages);
  ASSERT_EQ(unnamed.Save(session()), nullptr);
  EXPECT_TRUE(Column(unnamed.Id(), "Name").IsNull());
  EXPECT_TRUE(Column(unnamed.Id(), "MaxError").IsNull());
  Configuration loaded;
  loaded.SetName("stale");
  ASSERT_EQ(loaded.Load(session(), unnamed.Id()), nullptr);
  EXPECT_EQ(loaded.Name(), "");
  EXPECT_EQ(loaded.MaxError(), "");
}

TEST_P(ConfigurationTest, ResetPaperTypesOffersEveryActivePaperTypeInListOrder) {
  AddPaperType("Photo", 2, true, 25);
  const int32_t plain = AddPaperType("Plain", 1);
  AddPaperType("Old", 3, false);
  Exec("UPDATE tblPaperTypes SET DefaultType = 1 WHERE PaperTypeId = " + std::to_string(plain));

  Configuration config;
  const std::shared_ptr<PaperTypeCollection> before = config.PaperTypes();
  ASSERT_EQ(before->Count(), 0);
  ASSERT_EQ(config.ResetPaperTypes(session()), nullptr);
  EXPECT_EQ(Entries(config), (std::vector<Entry>{{"Plain", false, 100}, {"Photo", false, 125}}));
  const PaperType& first = *config.PaperTypes()->Item(1);
  EXPECT_EQ(first.Id(), plain);
  EXPECT_TRUE(first.DefaultType());
  EXPECT_FALSE(config.PaperTypes()->Item(2)->DefaultType());
  // Left at a new paper type's values.
  EXPECT_FALSE(first.Active());
  EXPECT_EQ(first.Position(), 0);
  // A new collection: the one held from before is no longer the configuration's.
  EXPECT_NE(config.PaperTypes(), before);
  EXPECT_EQ(before->Count(), 0);
}

TEST_P(ConfigurationTest, PaperTypeTableIsSavedFromTheOfferedEntries) {
  AddPaperType("Plain", 1);
  AddPaperType("Photo", 2, true, 25);
  Configuration config = Saved("Colour");
  ASSERT_EQ(config.ResetPaperTypes(session()), nullptr);
  EntryNamed(config, "Photo")->SetInCurrentConfig(true);
  EntryNamed(config, "Photo")->SetCostModifier(80);
  ASSERT_EQ(config.Save(session()), nullptr);
  const int32_t photo = EntryNamed(config, "Photo")->Id();
  EXPECT_EQ(StoredRows(config.Id()), (std::map<int32_t, int32_t>{{photo, -20}}));

  Configuration loaded;
  ASSERT_EQ(loaded.Load(session(), config.Id()), nullptr);
  EXPECT_EQ(Entries(loaded), (std::vector<Entry>{{"Plain", false, 100}, {"Photo", true, 80}}));

  // Nothing offered: no row is left.
  EntryNamed(loaded, "Photo")->SetInCurrentConfig(false);
  ASSERT_EQ(loaded.Save(session()), nullptr);
  EXPECT_TRUE(StoredRows(config.Id()).empty());
}

TEST_P(ConfigurationTest, AnInactivePaperTypeIsSkippedAndTheRowsAfterItStillMatch) {
  const int32_t a = AddPaperType("A", 1);
  const int32_t b = AddPaperType("B", 2);
  const int32_t c = AddPaperType("C", 3);
  AddPaperType("D", 4);
  const int32_t config = Saved("Mixed").Id();
  Offer(config, a, 10);
  Offer(config, b, 20);
  Offer(config, c, 30);
  Exec("UPDATE tblPaperTypes SET Active = 0 WHERE PaperTypeId = " + std::to_string(b));

  Configuration loaded;
  ASSERT_EQ(loaded.Load(session(), config), nullptr);
  EXPECT_EQ(Entries(loaded),
            (std::vector<Entry>{{"A", true, 110}, {"C", true, 130}, {"D", false, 100}}));
  // The next save drops the inactive paper type's row.
  ASSERT_EQ(loaded.Save(session()), nullptr);
  EXPECT_EQ(StoredRows(config), (std::map<int32_t, int32_t>{{a, 10}, {c, 30}}));
}

// Positions need not be unique; a stored row is found by its paper type,
// whichever order ties come back in.
TEST_P(ConfigurationTest, SharedListPositionsStillMatchEveryStoredRow) {
  const int32_t first = AddPaperType("First", 5);
  const int32_t second = AddPaperType("Second", 5);
  const int32_t third = AddPaperType("Third", 5);
  const int32_t config = Saved("Ties").Id();
  Offer(config, third, -10);
  Offer(config, first, 15);
  Configuration loaded;
  ASSERT_EQ(loaded.Load(session(), config), nullptr);
  ASSERT_EQ(loaded.PaperTypes()->Count(), 3);
  for (const auto& entry : *loaded.PaperTypes()) {
    SCOPED_TRACE(entry->Description());
    EXPECT_EQ(entry->InCurrentConfig(), entry->Id() != second);
    EXPECT_EQ(entry->CostModifier(), entry->Id() == first ? 115 : entry->Id() == third ? 90 : 100);
  }
}

TEST_P(ConfigurationTest, DuplicateNamesAreRefusedAndRolledBack) {
  AddPaperType("Plain", 1);
  Configuration original = Saved("Standard");
  ErrorLogWatch log;
  Configuration twin;
  twin.SetName("STANDARD");
  ASSERT_EQ(twin.ResetPaperTypes(session()), nullptr);
  twin.PaperTypes()->Item(1)->SetInCurrentConfig(true);
  KXErrorPtr e = twin.Save(session());
  ExpectRefusal(e, "This configuration already exists in the database.", erDataValueExists);
  EXPECT_EQ(e->Number(), 2601);
  EXPECT_EQ(twin.Id(), -1);
  EXPECT_FALSE(session().InTransaction());
  EXPECT_EQ(Count("tblConfigurations"), 1);
  EXPECT_EQ(Count("tblConfigurationPaperTypes"), 0);
  EXPECT_EQ(log.NewText(), "");

  // Renaming another configuration onto it changes neither row.
  Configuration other = Saved("Colour");
  ASSERT_EQ(other.ResetPaperTypes(session()), nullptr);
  other.PaperTypes()->Item(1)->SetInCurrentConfig(true);
  ASSERT_EQ(other.Save(session()), nullptr);
  other.SetName("standard");
  other.PaperTypes()->Item(1)->SetInCurrentConfig(false);
  ExpectRefusal(other.Save(session()), "This configuration already exists in the database.",
                erDataValueExists);
  EXPECT_FALSE(session().InTransaction());
  EXPECT_EQ(Column(other.Id(), "Name").ToString(), "Colour");
  EXPECT_EQ(StoredRows(other.Id()).size(), 1u);
}

// A rolled-back insert leaves no row, so the object must not keep its key:
// the next save would update nothing and report success.
TEST_P(ConfigurationTest, AFailedRewriteLeavesNeitherRowNorKey) {
  Exec("ALTER TABLE tblConfigurationPaperTypes RENAME TO tblAway");
  Configuration config;
  config.SetName("Doomed");
  EXPECT_NE(config.Save(session()), nullptr);
  EXPECT_EQ(config.Id(), -1);
  EXPECT_FALSE(session().InTransaction());
  EXPECT_EQ(Count("tblConfigurations"), 0);

  Exec("ALTER TABLE tblAway RENAME TO tblConfigurationPaperTypes");
  ASSERT_EQ(config.Save(session()), nullptr);
  EXPECT_GT(config.Id(), 0);
  EXPECT_EQ(Count("tblConfigurations WHERE Name = N'Doomed'"), 1);

  // An update rolls back with its rewrite too.
  Exec("ALTER TABLE tblConfigurationPaperTypes RENAME TO tblAway");
  const int32_t id = config.Id();
  config.SetName("Renamed");
  EXPECT_NE(config.Save(session()), nullptr);
  EXPECT_EQ(config.Id(), id);
  EXPECT_EQ(Column(id, "Name").ToString(), "Doomed");
}

// Stored as the value minus 100 in a 16-bit column: below -32668 it cannot
// be written, which is refused before the transaction begins.
TEST_P(ConfigurationTest, ModifiersThatCannotBeStoredAreRefusedBeforeAnythingRuns) {
  AddPaperType("Plain", 1);
  Configuration config;
  config.SetName("Cheap");
  config.SetColorModifier(-32669);
  ErrorLogWatch log;
  KXErrorPtr e = config.Save(session());
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->IconType(), KXError::kIconStop);
  EXPECT_EQ(e->Message(),
            "The configuration was not saved: its color modifier -32669 is below -32668, the "
            "lowest modifier that can be stored.");
  EXPECT_FALSE(session().InTransaction());
  EXPECT_EQ(Count("tblConfigurations"), 0);

  config.SetColorModifier(-32668);
  ASSERT_EQ(config.ResetPaperTypes(session()), nullptr);
  const std::shared_ptr<PaperType> plain = config.PaperTypes()->Item(1);
  plain->SetCostModifier(-32700);
  ASSERT_EQ(config.Save(session()), nullptr);  // not offered: not checked
  EXPECT_EQ(Column(config.Id(), "ColorModifier").ToLong(), -32768);

  plain->SetInCurrentConfig(true);
  config.SetName("Renamed");
  e = config.Save(session());
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->Message(),
            "The configuration was not saved: the cost modifier of paper type \"Plain\" -32700 is "
            "below -32668, the lowest modifier that can be stored.");
  EXPECT_FALSE(session().InTransaction());
  EXPECT_EQ(Column(config.Id(), "Name").ToString(), "Cheap");
  EXPECT_TRUE(StoredRows(config.Id()).empty());
  EXPECT_EQ(log.NewText(), "");
}

TEST_P(ConfigurationTest, DeleteIsRefusedWhileAPrinterOrTheSettingsRowUsesIt) {
  const int32_t paper = AddPaperType("Plain", 1);
  Configuration printed = Saved("Printed");
  Exec("INSERT INTO tblPrinters (Name, Port, ConfigurationId) VALUES (N'Laser', N'LPT1:', " +
       std::to_string(printed.Id()) + ")");
  Configuration unlisted = Saved("Unlisted");
  ASSERT_EQ(unlisted.SetAsUnlistedPrinterConfig(session()), nullptr);
  Configuration spare = Saved("Spare");
  Offer(printed.Id(), paper, 0);
  Offer(spare.Id(), paper, 0);

  for (Configuration* used : {&printed, &unlisted}) {
    SCOPED_TRACE(used->Name());
    ExpectRefusal(used->Delete(session()),
                  "Cannot delete the configuration, it is associated with printers.",
                  erChildrenExist);
  }
  EXPECT_EQ(Count("tblConfigurations"), 3);

  const int32_t spare_id = spare.Id();
  ASSERT_EQ(spare.Delete(session()), nullptr);
  EXPECT_FALSE(session().InTransaction());
  EXPECT_EQ(spare.Id(), spare_id);
  EXPECT_EQ(Count("tblConfigurations"), 2);
  EXPECT_TRUE(StoredRows(spare.Id()).empty());
  EXPECT_EQ(StoredRows(printed.Id()).size(), 1u);
}

TEST_P(ConfigurationTest, TheUnlistedPrinterConfiguration) {
  Configuration config;
  ErrorLogWatch log;
  KXErrorPtr e = config.SetAsUnlistedPrinterConfig(session());
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->Message(), "No id for this configuration. Could not set.");
  EXPECT_EQ(e->IconType(), KXError::kIconExclamation);
  EXPECT_EQ(e->KXErrorNumber(), erUnknown);

  // The settings row names no configuration yet.
  e = config.LoadUnlistedPrinterConfig(session());
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->Message(), "Configuration expected. Id: -1");
  EXPECT_EQ(e->KXErrorNumber(), erRecordExpected);
  EXPECT_EQ(e->IconType(), KXError::kIconStop);
  EXPECT_EQ(log.NewText(), "");

  AddPaperType("Plain", 1);
  Configuration chosen = Saved("Fallback");
  ASSERT_EQ(chosen.SetAsUnlistedPrinterConfig(session()), nullptr);
  EXPECT_EQ(Value("SELECT UnlistedPrinterConfigId FROM tblSettings").ToLong(), chosen.Id());
  ASSERT_EQ(config.LoadUnlistedPrinterConfig(session()), nullptr);
  EXPECT_EQ(config.Id(), chosen.Id());
  EXPECT_EQ(config.Name(), "Fallback");
  EXPECT_EQ(config.UnitDesc(), "per page");
  EXPECT_EQ(config.PaperTypes()->Count(), 1);
}

TEST_P(ConfigurationTest, LoadOfAMissingIdKeepsThePropertiesAndTheTable) {
  AddPaperType("Plain", 1);
  Configuration config;
  config.SetName("kept");
  const std::shared_ptr<PaperTypeCollection> table = config.PaperTypes();
  KXErrorPtr e = config.Load(session(), 42);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->Message(), "Configuration expected. Id: 42");
  EXPECT_EQ(e->KXErrorNumber(), erRecordExpected);
  EXPECT_EQ(config.Id(), 42);
  EXPECT_EQ(config.Name(), "kept");
  EXPECT_EQ(config.PaperTypes(), table);
  EXPECT_EQ(table->Count(), 0);
}

TEST_P(ConfigurationTest, ChangesNeedAdministratorRights) {
  Configuration config = Saved("Standard");
  SetSwitches(true, false);
  ASSERT_EQ(session().GetAuthorization(), nullptr);
  config.SetName("Changed");
  for (KXErrorPtr e : {config.Save(session()), config.SetAsUnlistedPrinterConfig(session()),
                       config.Delete(session())}) {
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->Message(), "You do not have the proper access to execute this method.");
    EXPECT_EQ(e->IconType(), KXError::kIconExclamation);
  }
  EXPECT_EQ(Column(config.Id(), "Name").ToString(), "Standard");
  EXPECT_EQ(Value("SELECT UnlistedPrinterConfigId FROM tblSettings").ToLong(), 0);
  Configuration loaded;
  EXPECT_EQ(loaded.Load(session(), config.Id()), nullptr);
}

TEST_P(ConfigurationTest, StatementTexts) {
  Exec("ALTER TABLE tblConfigurations RENAME TO tblAway");
  ErrorLogWatch log;
  Configuration config;
  config.SetName("Dept's");
  config.SetTrackOptionId(kxtIgnore);
  config.SetUnitMeasureId(kxuPages);
  config.SetMaxPages(20);
  config.SetMaxError("Too long");
  config.SetColorModifier(125);
  EXPECT_NE(config.Save(session()), nullptr);
  config.SetId(7);
  config.SetMaxPages(0);
  config.SetActive(true);
  EXPECT_NE(config.Save(session()), nullptr);
  const std::vector<std::string> entries = LogEntries(log.NewText());
  ASSERT_EQ(entries.size(), 4u);
  EXPECT_EQ(entries[1],
            "SET NOCOUNT ON INSERT INTO tblConfigurations (Name, TrackOptionId, UnitMeasureId, "
            "UnitCost, MaxPages, MaxError, ColorModifier, Active) VALUES(N'Dept''s', 3, 1, ?, "
            "20, N'Too long', 25, 1) SELECT @@IDENTITY AS NewId SET NOCOUNT OFF ");
  EXPECT_EQ(entries[3],
            "UPDATE tblConfigurations SET Name = N'Dept''s', TrackOptionId = 3, UnitMeasureId = "
            "1, UnitCost = ?, MaxPages = NULL, MaxError = N'Too long', ColorModifier = 25, "
            "Active = -1 WHERE ConfigurationId = 7");
}

TEST(PaperTypeCollectionTest, CountsFromOneAndRefusesWhatIsNoEntry) {
  PaperTypeCollection table;
  auto first = std::make_shared<PaperType>();
  auto second = std::make_shared<PaperType>();
  table.Add(first);
  table.Add(second);
  EXPECT_EQ(table.Count(), 2);
  EXPECT_EQ(table.Item(1), first);
  EXPECT_EQ(table.Item(2), second);
  for (int32_t index : {0, 3, -1}) {
    try {
      (void)table.Item(index);
      ADD_FAILURE() << index;
    } catch (const RuntimeError& e) {
      EXPECT_EQ(e.Number(), kErrSubscriptOutOfRange);
    }
  }
  EXPECT_THROW(table.Add(nullptr), RuntimeError);
  EXPECT_EQ(table.Count(), 2);
  // Entries are shared: a change through one reference is the table's.
  table.Item(1)->SetInCurrentConfig(true);
  EXPECT_TRUE(first->InCurrentConfig());
}

KX4_INSTANTIATE_ENGINES(ConfigurationTest);

}  // namespace
}  // namespace kx4::test
