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

void AddCodeBatch(CLI::App& group, Context& context) {
  struct State {
    std::string ids;
    CodeValues values;
  };
  auto state = std::make_shared<State>();
  CLI::App* batch =
      group.add_subcommand("batch", "Give several billing codes the same activity and modifier");
  batch->add_option("ids", state->ids, "Billing code ids separated by commas, such as 3,5")
      ->required();
  state->values.AddBatchOptions(*batch);
  batch->callback([&context, state] {
    // Every listed code gets both values, so neither may be left to chance.
    const CodeValues& v = state->values;
    if (!v.active || !v.modifier)
      throw CLI::ValidationError("code batch",
                                 "give both: --active or --no-active, and --modifier");
    std::unique_ptr<KXData> session = context.OpenSession();
    ValidatedValue values;
    v.ApplyTo(values);
    Check(values.BatchUpdate(*session, state->ids));
  });
}

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
  AddCodeBatch(*group, context);
}

}  // namespace kx4::cli
