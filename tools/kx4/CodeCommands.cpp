// "kx4 code": billing codes (validated values) that users attach to their
// jobs, each with a price modifier.
#include <kx4data/KXData.h>
#include <kx4data/ValidatedValue.h>

#include <CLI/CLI.hpp>

#include "tools/kx4/Commands.h"
#include "tools/kx4/Context.h"
#include "tools/kx4/Lists.h"
#include "tools/kx4/Options.h"

namespace kx4::cli {
namespace {

struct CodeValues {
  std::string key;  // the code
  std::optional<std::string> description;
  std::optional<int16_t> modifier;
  std::optional<bool> active;
  CLI::Option* key_option = nullptr;

  void AddBatchOptions(CLI::App& command) {
    command.add_option("--modifier", modifier,
                       "Price modifier in percent; 100 leaves the price as it is");
    AddSwitch(command, "active", active, "Users may choose it");
  }
  bool Complete() const { return active && modifier; }
  void AddOptions(CLI::App& command) {
    command.add_option("--description", description, "What the code stands for");
    AddBatchOptions(command);
  }
  void ApplyTo(ValidatedValue& value) const {
    if (key_option != nullptr && key_option->count() > 0)
      value.SetCode(key);
    if (description)
      value.SetDescription(*description);
    if (modifier)
      value.SetCostModifier(*modifier);
    if (active)
      value.SetActive(*active);
  }
};

}  // namespace

void AddCodeCommands(CLI::App& root, Context& context) {
  CLI::App* group = AddGroup(root, "code", "Billing codes users attach to their jobs");
  AddSaveCommands<ValidatedValue, CodeValues>(*group, context, "billing code", "code");
  AddShowById(
      *group, context, "Show a billing code", "billing code", [](KXData& session, int32_t id) {
        ValidatedValue value = Loaded<ValidatedValue>(session, id);
        return Shown{{"ValidatedId", "Code", "Description", "Modifier", "Active"},
                     {Variant(value.Id()), Variant(value.Code()), Variant(value.Description()),
                      Variant(value.CostModifier()), Variant(value.Active())}};
      });
  AddListCommand(*group, context);
  AddIdCommand(*group, context, "delete", "Delete a billing code no job uses", "billing code",
               [](KXData& session, int32_t id) {
                 Check(Loaded<ValidatedValue>(session, id).Delete(session));
               });
  AddBatchCommand<ValidatedValue, CodeValues>(
      *group, context, "Give several billing codes the same activity and modifier", "billing code",
      "give both: --active or --no-active, and --modifier");
}

}  // namespace kx4::cli
