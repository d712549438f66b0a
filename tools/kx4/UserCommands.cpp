// "kx4 user": users who identify by PIN code, with quotas and rights.
#include <kx4data/KXData.h>
#include <kx4data/User.h>

#include <CLI/CLI.hpp>

#include "tools/kx4/Commands.h"
#include "tools/kx4/Context.h"
#include "tools/kx4/Lists.h"
#include "tools/kx4/Options.h"

namespace kx4::cli {
namespace {

// The values add, set and batch may change; empty ones stay as they are.
struct UserValues {
  std::optional<bool> active;
  std::optional<bool> use_quota;
  std::optional<Currency> quota;
  std::optional<KXReportSecurity> report;
  std::optional<bool> admin;

  void AddBatchOptions(CLI::App& command) {
    AddSwitch(command, "active", active, "Active: the user's PIN code works");
    AddSwitch(command, "use-quota", use_quota, "Charge the user's jobs against the quota");
    AddMoneyOption(command, "quota", quota, "The quota remaining");
    AddReportSecurityOption(command, "report", report);
  }
  bool Complete() const { return active && use_quota && quota && report; }
  void AddOptions(CLI::App& command) {
    AddBatchOptions(command);
    AddSwitch(command, "admin", admin, "Administrator rights");
  }
  void ApplyTo(User& user) const {
    if (active)
      user.SetActive(*active);
    if (use_quota)
      user.SetUseQuota(*use_quota);
    if (quota)
      user.SetQuotaRemaining(*quota);
    if (report)
      user.SetReportSecurity(*report);
    if (admin)
      user.SetAdminSecurity(*admin);
  }
};

std::string NewPin(Context& context, bool from_stdin, const std::string& name) {
  if (from_stdin)
    return context.GetSecrets().FromInput("new PIN code");
  return context.GetSecrets().FromTerminal("PIN code for " + name, true, "--new-pin-stdin");
}

}  // namespace

void AddUserCommands(CLI::App& root, Context& context) {
  CLI::App* group = AddGroup(root, "user", "Users, their PIN codes, quotas and rights");

  struct Added {
    std::string name;
    UserValues values;
    bool pin_stdin = false;
  };
  auto added = std::make_shared<Added>();
  CLI::App* add = AddAddCommand(*group, context, "Add a user and print the new id",
                                [&context, added](KXData& session) {
                                  User user;
                                  user.SetName(added->name);
                                  user.SetPinCode(NewPin(context, added->pin_stdin, added->name));
                                  added->values.ApplyTo(user);
                                  Check(user.Save(session));
                                  return user.Id();
                                });
  add->add_option("name", added->name, "The user's name")->required();
  added->values.AddOptions(*add);
  add->add_flag("--new-pin-stdin", added->pin_stdin,
                "Read the user's PIN code from standard input instead of the terminal");

  struct Changed {
    std::string name;
    CLI::Option* name_option = nullptr;
    UserValues values;
    bool ask_pin = false;
    bool pin_stdin = false;
  };
  auto changed = std::make_shared<Changed>();
  CLI::App* set =
      AddIdCommand(*group, context, "set", "Change a user", "user",
                   [&context, changed](KXData& session, int32_t id) {
                     User user = Loaded<User>(session, id);
                     if (changed->name_option->count() > 0)
                       user.SetName(changed->name);
                     if (changed->ask_pin || changed->pin_stdin)
                       user.SetPinCode(NewPin(context, changed->pin_stdin, user.Name()));
                     changed->values.ApplyTo(user);
                     Check(user.Save(session));
                   });
  changed->name_option = set->add_option("--name", changed->name, "A new name");
  changed->values.AddOptions(*set);
  set->add_flag("--new-pin", changed->ask_pin, "Type a new PIN code on the terminal");
  set->add_flag("--new-pin-stdin", changed->pin_stdin, "Read a new PIN code from standard input");

  AddShowById(
      *group, context, "Show a user (never the PIN code)", "user", [](KXData& session, int32_t id) {
        User user = Loaded<User>(session, id);
        return Shown{
            {"UserId", "Name", "UseQuota", "QuotaRemaining", "Active", "AdminSecurity",
             "ReportSecurity"},
            {Variant(user.Id()), Variant(user.Name()), Variant(user.UseQuota()),
             Variant(user.QuotaRemaining()), Variant(user.Active()), Variant(user.AdminSecurity()),
             Variant(static_cast<int32_t>(user.ReportSecurity()))}};
      });
  AddListCommand(*group, context);
  AddIdCommand(
      *group, context, "delete", "Delete a user who has no jobs", "user",
      [](KXData& session, int32_t id) { Check(Loaded<User>(session, id).Delete(session)); });
  AddBatchCommand<User, UserValues>(
      *group, context, "Give several users the same activity, quota and report rights", "user",
      "give all four: --active or --no-active, --use-quota or --no-use-quota, --quota and "
      "--report");
}

}  // namespace kx4::cli
