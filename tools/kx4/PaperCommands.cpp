// "kx4 paper": the ordered list of paper types and their price modifiers.
#include <kx4data/KXData.h>
#include <kx4data/PaperType.h>

#include <CLI/CLI.hpp>

#include <charconv>

#include "tools/kx4/Commands.h"
#include "tools/kx4/Context.h"
#include "tools/kx4/Lists.h"
#include "tools/kx4/Options.h"

namespace kx4::cli {
namespace {

struct PaperValues {
  std::string key;  // the description
  int16_t modifier = 100;
  std::optional<bool> active;
  std::optional<bool> default_type;
  CLI::Option* key_option = nullptr;
  CLI::Option* modifier_option = nullptr;

  void AddOptions(CLI::App& command) {
    modifier_option = command.add_option(
        "--modifier", modifier, "Price modifier in percent; 100 leaves the price as it is");
    AddSwitch(command, "active", active, "Offered to configurations and in active lists");
    AddSwitch(command, "default", default_type,
              "The default paper type (saving one clears it on every other)");
  }
  void ApplyTo(PaperType& paper) const {
    if (key_option->count() > 0)
      paper.SetDescription(key);
    if (modifier_option->count() > 0)
      paper.SetCostModifier(modifier);
    if (active)
      paper.SetActive(*active);
    if (default_type)
      paper.SetDefaultType(*default_type);
  }
};

// "up", "down" or a signed number of places.
int16_t Direction(const std::string& text) {
  if (text == "up")
    return -1;
  if (text == "down")
    return 1;
  int16_t places = 0;
  auto [end, ec] =
      std::from_chars(text.data() + (text[0] == '+' ? 1 : 0), text.data() + text.size(), places);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size() || places == 0)
    throw CLI::ValidationError("direction", "'" + text + "' is not up, down or a number of places");
  return places;
}

}  // namespace

void AddPaperCommands(CLI::App& root, Context& context) {
  CLI::App* group = AddGroup(root, "paper", "Paper types, in list order");

  auto commands =
      AddSaveCommands<PaperType, PaperValues>(*group, context, "paper type", "description");
  // A paper type is added to be used, so it starts active unless --no-active.
  commands.added->active = true;

  AddShowById(*group, context, "Show a paper type", "paper type", [](KXData& session, int32_t id) {
    PaperType paper = Loaded<PaperType>(session, id);
    return Shown{
        {"PaperTypeId", "Description", "Modifier", "Active", "DefaultType", "ListPosition"},
        {Variant(paper.Id()), Variant(paper.Description()), Variant(paper.CostModifier()),
         Variant(paper.Active()), Variant(paper.DefaultType()), Variant(paper.Position())}};
  });
  AddListCommand(*group, context);

  auto direction = std::make_shared<int16_t>(0);
  CLI::App* move =
      AddIdCommand(*group, context, "move",
                   "Move a paper type up or down the list, exchanging places with another",
                   "paper type", [direction](KXData& session, int32_t id) {
                     Check(Loaded<PaperType>(session, id).ChangeOrder(session, *direction));
                   });
  move->add_option_function<std::string>(
          "direction", [direction](const std::string& text) { *direction = Direction(text); },
          "up, down, or a number of places (negative towards the top)")
      ->required();

  AddIdCommand(
      *group, context, "delete", "Delete a paper type and take it out of every configuration",
      "paper type",
      [](KXData& session, int32_t id) { Check(Loaded<PaperType>(session, id).Delete(session)); });
}

}  // namespace kx4::cli
