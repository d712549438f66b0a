// "kx4 settings" and "kx4 security": the single settings row the agents
// read, and the two switches that secure the administration and viewer
// programs.
#include <kx4data/DataGlobal.h>
#include <kx4data/KXData.h>
#include <kx4data/Settings.h>

#include <CLI/CLI.hpp>

#include <variant>

#include "tools/kx4/Commands.h"
#include "tools/kx4/Context.h"
#include "tools/kx4/Options.h"

namespace kx4::cli {
namespace {

struct Flag {
  bool (Settings::*get)() const;
  void (Settings::*set)(bool);
};
struct Text {
  const std::string& (Settings::*get)() const;
  void (Settings::*set)(const std::string&);
};
struct Number {
  int16_t (Settings::*get)() const;
  void (Settings::*set)(int16_t);
};

struct Entry {
  const char* property;  // the column of "settings show"
  const char* option;    // the option of "settings set"; empty when read-only
  const char* help;
  std::variant<Flag, Text, Number> access;
};

// In the interface order of the settings object.
const Entry kEntries[] = {
    {"FieldOneName", "field-one-name", "Caption of user-defined field one",
     Text{&Settings::FieldOneName, &Settings::SetFieldOneName}},
    {"FieldTwoName", "field-two-name", "Caption of user-defined field two",
     Text{&Settings::FieldTwoName, &Settings::SetFieldTwoName}},
    {"UseFieldOne", "use-field-one", "Agents ask for user-defined field one",
     Flag{&Settings::UseFieldOne, &Settings::SetUseFieldOne}},
    {"UseFieldTwo", "use-field-two", "Agents ask for user-defined field two",
     Flag{&Settings::UseFieldTwo, &Settings::SetUseFieldTwo}},
    {"AllowShutdown", "allow-shutdown", "Users may shut the agent down",
     Flag{&Settings::AllowShutdown, &Settings::SetAllowShutdown}},
    {"AllowCostOverride", "allow-cost-override", "Users may override a job's cost",
     Flag{&Settings::AllowCostOverride, &Settings::SetAllowCostOverride}},
    {"DisplayTrayIcon", "display-tray-icon", "Agents show their tray icon",
     Flag{&Settings::DisplayTrayIcon, &Settings::SetDisplayTrayIcon}},
    {"ShowCost", "show-cost", "Agents show the cost of a job",
     Flag{&Settings::ShowCost, &Settings::SetShowCost}},
    {"CancelMaxPage", "cancel-max-page", "Jobs over a configuration's page limit are cancelled",
     Flag{&Settings::CancelMaxPage, &Settings::SetCancelMaxPage}},
    {"AllowBatch", "allow-batch", "Users may batch jobs",
     Flag{&Settings::AllowBatch, &Settings::SetAllowBatch}},
    {"DBVersion", "", "", Number{&Settings::DBVersion, nullptr}},
    {"MaxBatch", "max-batch", "Most jobs in one batch",
     Number{&Settings::MaxBatch, &Settings::SetMaxBatch}},
    {"BatchDuration", "batch-duration", "How long a batch stays open",
     Number{&Settings::BatchDuration, &Settings::SetBatchDuration}},
    {"UseLastEntries", "use-last-entries", "Agents offer the last entries again",
     Flag{&Settings::UseLastEntries, &Settings::SetUseLastEntries}},
    {"UserValidation", "user-validation", "Agents validate users by PIN code",
     Flag{&Settings::UserValidation, &Settings::SetUserValidation}},
    {"UseValidatedField", "use-validated-field", "Agents ask for the validated field",
     Flag{&Settings::UseValidatedField, &Settings::SetUseValidatedField}},
    {"ValidatedFieldName", "validated-field-name", "Caption of the validated field",
     Text{&Settings::ValidatedFieldName, &Settings::SetValidatedFieldName}},
    {"CapturePrintToFile", "capture-print-to-file", "Agents track jobs printed to a file",
     Flag{&Settings::CapturePrintToFile, &Settings::SetCapturePrintToFile}},
};
constexpr size_t kEntryCount = sizeof kEntries / sizeof kEntries[0];

Variant ValueOf(const Settings& settings, const Entry& entry) {
  return std::visit([&settings](const auto& access) { return Variant((settings.*access.get)()); },
                    entry.access);
}

std::shared_ptr<Settings> LoadSettings(KXData& session) {
  std::shared_ptr<Settings> settings;
  Check(DataGlobal().GetSettings(session, settings));
  return settings;
}

void AddSettingsSet(CLI::App& group, Context& context) {
  // One slot per entry, made before the options bind to them.
  struct State {
    std::vector<std::optional<bool>> flags = std::vector<std::optional<bool>>(kEntryCount);
    std::vector<std::optional<std::string>> texts =
        std::vector<std::optional<std::string>>(kEntryCount);
    std::vector<std::optional<int16_t>> numbers = std::vector<std::optional<int16_t>>(kEntryCount);
  };
  auto state = std::make_shared<State>();
  CLI::App* set = group.add_subcommand("set", "Change settings; the others keep their values");
  for (size_t i = 0; i < kEntryCount; ++i) {
    const Entry& entry = kEntries[i];
    const std::string option = entry.option;
    if (option.empty())
      continue;
    if (std::holds_alternative<Flag>(entry.access)) {
      AddSwitch(*set, option, state->flags[i], entry.help);
    } else if (std::holds_alternative<Text>(entry.access)) {
      set->add_option_function<std::string>(
          "--" + option, [state, i](const std::string& value) { state->texts[i] = value; },
          entry.help);
    } else {
      set->add_option_function<int16_t>(
          "--" + option, [state, i](const int16_t& value) { state->numbers[i] = value; },
          entry.help);
    }
  }
  set->callback([&context, state] {
    std::unique_ptr<KXData> session = context.OpenSession();
    std::shared_ptr<Settings> settings = LoadSettings(*session);
    for (size_t i = 0; i < kEntryCount; ++i) {
      const auto& access = kEntries[i].access;
      if (const Flag* flag = std::get_if<Flag>(&access); flag && state->flags[i])
        ((*settings).*flag->set)(*state->flags[i]);
      if (const Text* text = std::get_if<Text>(&access); text && state->texts[i])
        ((*settings).*text->set)(*state->texts[i]);
      if (const Number* number = std::get_if<Number>(&access); number && state->numbers[i])
        ((*settings).*number->set)(*state->numbers[i]);
    }
    Check(settings->Save(*session));
  });
}

void AddSecuritySet(CLI::App& group, Context& context) {
  struct State {
    std::optional<bool> admin;
    std::optional<bool> viewer;
  };
  auto state = std::make_shared<State>();
  CLI::App* set = group.add_subcommand("set", "Secure or open the programs");
  AddSwitch(*set, "secure-admin", state->admin,
            "The administration program needs an administrator's PIN code (refused while no "
            "user is an administrator)");
  AddSwitch(*set, "secure-viewer", state->viewer, "The viewer program needs a PIN code");
  set->callback([&context, state] {
    std::unique_ptr<KXData> session = context.OpenSession();
    DataGlobal global;
    bool secure_admin = false;
    bool secure_viewer = false;
    Check(global.GetAppSecurity(*session, secure_admin, secure_viewer));
    Check(global.SetAppSecurity(*session, state->admin.value_or(secure_admin),
                                state->viewer.value_or(secure_viewer)));
  });
}

}  // namespace

void AddSettingsCommands(CLI::App& root, Context& context) {
  CLI::App* group = AddGroup(root, "settings", "The settings the agents read");
  AddShow(*group, context, "Show the settings the agents read", [](KXData& session) {
    std::shared_ptr<Settings> settings = LoadSettings(session);
    Shown shown;
    for (const Entry& entry : kEntries) {
      shown.names.push_back(entry.property);
      shown.values.push_back(ValueOf(*settings, entry));
    }
    return shown;
  });
  AddSettingsSet(*group, context);
}

void AddSecurityCommands(CLI::App& root, Context& context) {
  CLI::App* group =
      AddGroup(root, "security", "Whether the administration and viewer programs are secured");
  AddShow(*group, context, "Show whether the programs are secured", [](KXData& session) {
    bool secure_admin = false;
    bool secure_viewer = false;
    Check(DataGlobal().GetAppSecurity(session, secure_admin, secure_viewer));
    return Shown{{"SecureAdmin", "SecureViewer"}, {Variant(secure_admin), Variant(secure_viewer)}};
  });
  AddSecuritySet(*group, context);
}

}  // namespace kx4::cli
