// "kx4 config": printer configurations (how jobs are tracked and priced) and
// the paper types each offers with a price modifier.
#include <kx4data/Configuration.h>
#include <kx4data/KXData.h>

#include <CLI/CLI.hpp>

#include <map>

#include "tools/kx4/Commands.h"
#include "tools/kx4/Context.h"
#include "tools/kx4/Lists.h"
#include "tools/kx4/Options.h"

namespace kx4::cli {
namespace {

struct ConfigValues {
  std::string key;  // the name
  std::optional<KXTrackStatus> track;
  std::optional<int32_t> unit;
  std::optional<Currency> cost;
  std::optional<int16_t> max_pages;
  std::optional<std::string> max_error;
  std::optional<int16_t> color_modifier;
  std::optional<bool> active;
  CLI::Option* key_option = nullptr;

  void AddOptions(CLI::App& command) {
    static const std::map<std::string, int32_t> kUnits = {{"pages", kxuPages},
                                                          {"sqfeet", kxuSqFeet}};
    AddTrackStatusOption(command, "track", track);
    command.add_option("--unit", unit, "What the cost counts: pages or sqfeet (square feet)")
        ->transform(CLI::CheckedTransformer(kUnits, CLI::ignore_case).description(""))
        ->type_name("pages|sqfeet");
    AddMoneyOption(command, "cost", cost, "The cost of one unit");
    command.add_option("--max-pages", max_pages, "Page limit per job; 0 for none");
    command.add_option("--max-error", max_error, "The text shown for a job over the limit");
    command.add_option("--color-modifier", color_modifier,
                       "Colour surcharge in percent; 100 leaves the price as it is");
    AddSwitch(command, "active", active, "Active (a new configuration always is)");
  }
  void ApplyTo(Configuration& config) const {
    if (key_option->count() > 0)
      config.SetName(key);
    if (track)
      config.SetTrackOptionId(*track);
    if (unit)
      config.SetUnitMeasureId(*unit);
    if (cost)
      config.SetUnitCost(*cost);
    if (max_pages)
      config.SetMaxPages(*max_pages);
    if (max_error)
      config.SetMaxError(*max_error);
    if (color_modifier)
      config.SetColorModifier(*color_modifier);
    if (active)
      config.SetActive(*active);
  }
};

Shown ShownConfig(const Configuration& config) {
  return Shown{
      {"ConfigurationId", "Name", "TrackOptionId", "UnitMeasureId", "UnitDesc", "UnitCost",
       "MaxPages", "MaxError", "ColorModifier", "Active"},
      {Variant(config.Id()), Variant(config.Name()),
       Variant(static_cast<int32_t>(config.TrackOptionId())), Variant(config.UnitMeasureId()),
       Variant(config.UnitDesc()), Variant(config.UnitCost()), Variant(config.MaxPages()),
       Variant(config.MaxError()), Variant(config.ColorModifier()), Variant(config.Active())}};
}

// "PAPER_ID" or "PAPER_ID=MODIFIER".
struct Offer {
  int32_t paper = -1;
  std::optional<int16_t> modifier;
};

Offer ParseOffer(const std::string& text) {
  Offer offer;
  const size_t equals = text.find('=');
  try {
    size_t used = 0;
    const std::string id = text.substr(0, equals);
    offer.paper = std::stoi(id, &used);
    if (used != id.size())
      throw std::invalid_argument(text);
    if (equals != std::string::npos) {
      const std::string modifier = text.substr(equals + 1);
      const int value = std::stoi(modifier, &used);
      if (used != modifier.size() || value < INT16_MIN || value > INT16_MAX)
        throw std::invalid_argument(text);
      offer.modifier = static_cast<int16_t>(value);
    }
  } catch (const std::exception&) {
    throw CLI::ValidationError("--offer", "'" + text + "' is not PAPER_ID or PAPER_ID=MODIFIER");
  }
  return offer;
}

// "papers ID [--offer P[=M]]... [--withdraw P]...": shows the table after
// the changes, which are saved with the configuration in one transaction.
void AddPapersCommand(CLI::App& group, Context& context) {
  struct Changes {
    std::vector<std::string> offers;
    std::vector<int32_t> withdrawals;
    Format format = Format::kTable;
  };
  auto changes = std::make_shared<Changes>();
  CLI::App* papers = AddIdCommand(
      group, context, "papers",
      "Show the paper types a configuration offers, and change which and at what modifier",
      "configuration", [&context, changes](KXData& session, int32_t id) {
        Configuration config = Loaded<Configuration>(session, id);
        std::vector<Offer> offers;
        for (const std::string& text : changes->offers)
          offers.push_back(ParseOffer(text));
        auto find = [&config](int32_t paper) {
          for (const auto& entry : *config.PaperTypes())
            if (entry->Id() == paper)
              return entry;
          throw CommandError("kx4: no active paper type has the id " + std::to_string(paper) + ".");
        };
        for (const Offer& offer : offers) {
          auto entry = find(offer.paper);
          entry->SetInCurrentConfig(true);
          if (offer.modifier)
            entry->SetCostModifier(*offer.modifier);
        }
        for (int32_t paper : changes->withdrawals)
          find(paper)->SetInCurrentConfig(false);
        if (!offers.empty() || !changes->withdrawals.empty()) {
          Check(config.Save(session));
          Check(config.ResetPaperTypes(session));  // as stored
        }
        ValueRows rows({"PaperTypeId", "Description", "DefaultType", "Offered", "Modifier"});
        for (const auto& entry : *config.PaperTypes())
          rows.Add({Variant(entry->Id()), Variant(entry->Description()),
                    Variant(entry->DefaultType()), Variant(entry->InCurrentConfig()),
                    Variant(entry->CostModifier())});
        WriteRows(context.Out(), rows, changes->format);
      });
  papers->add_option("--offer", changes->offers,
                     "Offer a paper type, optionally at a modifier in percent: PAPER_ID or "
                     "PAPER_ID=MODIFIER");
  papers->add_option("--withdraw", changes->withdrawals, "Stop offering a paper type");
  AddFormatOption(*papers, changes->format);
}

// "unlisted [ID]": names the configuration of unlisted printers, or shows it.
void AddUnlistedCommand(CLI::App& group, Context& context) {
  struct Wanted {
    int32_t id = -1;
    Format format = Format::kTable;
  };
  auto wanted = std::make_shared<Wanted>();
  CLI::App* unlisted = group.add_subcommand(
      "unlisted", "Show the configuration of printers that are not listed, or set it to ID");
  CLI::Option* id = unlisted->add_option("id", wanted->id, "The configuration's id");
  AddFormatOption(*unlisted, wanted->format);
  unlisted->callback([&context, wanted, id] {
    std::unique_ptr<KXData> session = context.OpenSession();
    Configuration config;
    if (id->count() > 0) {
      config = Loaded<Configuration>(*session, wanted->id);
      Check(config.SetAsUnlistedPrinterConfig(*session));
      return;
    }
    Check(config.LoadUnlistedPrinterConfig(*session));
    ShowRecord(context, wanted->format, ShownConfig(config));
  });
}

}  // namespace

void AddConfigCommands(CLI::App& root, Context& context) {
  CLI::App* group =
      AddGroup(root, "config", "Printer configurations: tracking, unit cost, limits, paper types");
  auto commands =
      AddSaveCommands<Configuration, ConfigValues>(*group, context, "configuration", "name");
  // A configuration without a unit cannot be listed or priced.
  commands.added->unit = kxuPages;
  AddShowById(
      *group, context, "Show a configuration", "configuration",
      [](KXData& session, int32_t id) { return ShownConfig(Loaded<Configuration>(session, id)); });
  AddListCommand(*group, context);
  AddIdCommand(*group, context, "delete", "Delete a configuration no printer uses", "configuration",
               [](KXData& session, int32_t id) {
                 Check(Loaded<Configuration>(session, id).Delete(session));
               });
  AddUnlistedCommand(*group, context);
  AddPapersCommand(*group, context);
}

}  // namespace kx4::cli
