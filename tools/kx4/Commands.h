// The command groups of the tool.  Each adds its commands to the root
// command; Cli.cpp lists them in the order --help shows them.
#ifndef KX4_TOOLS_KX4_COMMANDS_H_
#define KX4_TOOLS_KX4_COMMANDS_H_

#include <kx4data/AppTrack.h>
#include <kx4data/KXData.h>
#include <kx4data/Variant.h>

#include <CLI/CLI.hpp>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "tools/kx4/Context.h"
#include "tools/kx4/Output.h"

namespace kx4::cli {

class Context;

using AddCommands = void (*)(CLI::App& root, Context& context);

void AddInitCommand(CLI::App& root, Context& context);
void AddConnectionCommands(CLI::App& root, Context& context);
void AddUserCommands(CLI::App& root, Context& context);
void AddPrinterCommands(CLI::App& root, Context& context);
void AddPaperCommands(CLI::App& root, Context& context);
void AddAppCommands(CLI::App& root, Context& context);
void AddSettingsCommands(CLI::App& root, Context& context);
void AddSecurityCommands(CLI::App& root, Context& context);
void AddReportCommand(CLI::App& root, Context& context);
void AddConfigCommands(CLI::App& root, Context& context);
void AddCodeCommands(CLI::App& root, Context& context);
// "job record", "jobs" and "purge".
void AddJobCommands(CLI::App& root, Context& context);
void AddExportCommand(CLI::App& root, Context& context);
void AddDemoCommand(CLI::App& root, Context& context);
void AddSqlCommand(CLI::App& root, Context& context);
void AddCupsCommands(CLI::App& root, Context& context);

// A command group, which needs one of its subcommands.
CLI::App* AddGroup(CLI::App& root, const std::string& name, const std::string& summary);

// One record as "show" prints it: its values under their names.
struct Shown {
  std::vector<std::string> names;
  std::vector<Variant> values;
};

// Writes `shown` in `format`.
void ShowRecord(Context& context, Format format, Shown shown);

// The shapes of record commands.  Each opens a connected, authorised
// session, then runs the given function with it.
// "show [--format]" of the single record `load` reads.
CLI::App* AddShow(CLI::App& group, Context& context, const std::string& summary,
                  std::function<Shown(KXData& session)> load);
// "show ID [--format]".
CLI::App* AddShowById(CLI::App& group, Context& context, const std::string& summary,
                      const std::string& record, std::function<Shown(KXData&, int32_t id)> load);
// NAME ID, such as "delete ID"; options the action reads may be added to
// the command returned.
CLI::App* AddIdCommand(CLI::App& group, Context& context, const std::string& name,
                       const std::string& summary, const std::string& record,
                       std::function<void(KXData&, int32_t id)> action);
// "add ...": prints the id `save` returns.
CLI::App* AddAddCommand(CLI::App& group, Context& context, const std::string& summary,
                        std::function<int32_t(KXData&)> save);

// The record of class `Record` with that id; its own error when none.
template <typename Record>
Record Loaded(KXData& session, int32_t id) {
  Record record;
  if constexpr (std::is_same_v<Record, AppTrack>)
    Check(record.Load(id, session));  // the one Load that takes the id first
  else
    Check(record.Load(session, id));
  return record;
}

// "add KEY [options]" and "set ID [--KEY ...] [options]" of a record class.
// `Values` holds what the options give: `key` with its `key_option`,
// AddOptions(CLI::App&) for the rest and ApplyTo(Record&) of what was given.
template <typename Record, typename Values>
struct SaveCommands {
  std::shared_ptr<Values> added = std::make_shared<Values>();
  std::shared_ptr<Values> changed = std::make_shared<Values>();
};

template <typename Record, typename Values>
SaveCommands<Record, Values> AddSaveCommands(CLI::App& group, Context& context,
                                             const std::string& record, const std::string& key) {
  SaveCommands<Record, Values> commands;
  auto added = commands.added;
  CLI::App* add = AddAddCommand(group, context, "Add a " + record + " and print the new id",
                                [added](KXData& session) {
                                  Record created;
                                  added->ApplyTo(created);
                                  Check(created.Save(session));
                                  return created.Id();
                                });
  added->key_option = add->add_option(key, added->key, "The " + record + "'s " + key)->required();
  added->AddOptions(*add);

  auto changed = commands.changed;
  CLI::App* set = AddIdCommand(group, context, "set", "Change a " + record, record,
                               [changed](KXData& session, int32_t id) {
                                 Record loaded = Loaded<Record>(session, id);
                                 changed->ApplyTo(loaded);
                                 Check(loaded.Save(session));
                               });
  changed->key_option = set->add_option("--" + key, changed->key, "A new " + key);
  changed->AddOptions(*set);
  return commands;
}

// "batch IDS [options]": every record listed gets the values BatchUpdate
// writes, all of which must be given.  `Values` has AddBatchOptions(CLI::App&),
// Complete() and ApplyTo(Record&); `missing` says what to give.
template <typename Record, typename Values>
void AddBatchCommand(CLI::App& group, Context& context, const std::string& summary,
                     const std::string& record, const std::string& missing) {
  struct State {
    std::string ids;
    Values values;
  };
  auto state = std::make_shared<State>();
  CLI::App* batch = group.add_subcommand("batch", summary);
  batch->add_option("ids", state->ids, "The " + record + " ids, separated by commas: 3,5")
      ->required();
  state->values.AddBatchOptions(*batch);
  batch->callback([&context, state, name = group.get_name(), missing] {
    // None of the values may be left to chance.
    if (!state->values.Complete())
      throw CLI::ValidationError(name + " batch", missing);
    std::unique_ptr<KXData> session = context.OpenSession();
    Record values;
    state->values.ApplyTo(values);
    Check(values.BatchUpdate(*session, state->ids));
  });
}

}  // namespace kx4::cli

#endif  // KX4_TOOLS_KX4_COMMANDS_H_
