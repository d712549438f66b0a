// The process the crash harness kills.  It works until it is killed:
//
//   crash_child jobs <run> <configuration ids> <user id>...
//                                         records print jobs (users may be -1),
//                                         saves the configurations (ids
//                                         comma-separated) and runs accounting
//   crash_child account <run>             one accounting run, then exits
//   crash_child clear <run>               Accounting::ClearLastRun, then exits
//   crash_child concurrent <run> <seconds> jobs|account|purge <user id>...
//                                         one role of the concurrency harness,
//                                         for that long
//   crash_child hive <run> <first seq>    rewrites registry values
//   crash_child log <run>                 appends error-log entries
//   crash_child powercut <run> <operation> <mode> <seed> <user id>...
//                                         records print jobs until the power
//                                         cut (PowerCutVfs.h) at that write,
//                                         truncation or sync
//
// Each finished operation is reported on standard output (Workload.h).
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include <kx4data/Accounting.h>

#include "connection/clsRegistry.h"
#include "registry/Registry.h"
#include "reliability/PowerCutVfs.h"
#include "reliability/Workload.h"
#include "session/Common.h"

namespace kx4::reliability {
namespace {

int WriteHive(int first) {
  clsRegistry reg;
  reg.SetClassKey(registry::HKEY_CURRENT_USER);
  reg.SetSectionKey(kHiveKey);
  reg.SetValueType(registry::REG_SZ);
  for (int seq = first;; ++seq) {
    std::string error;
    if (!reg.SetCreateValue(HiveSlot(seq), Variant(HiveData(seq)), &error)) {
      std::fprintf(stderr, "%s\n", error.c_str());
      return 1;
    }
    Report('H', std::to_string(seq));
  }
}

int WriteLog(int run) {
  for (int seq = 0;; ++seq) {
    WriteErrorLog(LogText(run, seq));
    Report('L', std::to_string(seq));
  }
}

std::vector<int32_t> Ids(const std::string& list) {
  std::vector<int32_t> ids;
  for (size_t at = 0; at < list.size();) {
    size_t end = list.find(',', at);
    if (end == std::string::npos)
      end = list.size();
    ids.push_back(std::atoi(list.substr(at, end - at).c_str()));
    at = end + 1;
  }
  return ids;
}

// `step`, then a pause, so that a role that writes seldom in a real system
// does not take the writers' turns here.
Step Paced(Step step, int milliseconds) {
  return [step = std::move(step), milliseconds](KXData& session, int run, int seq) {
    KXErrorPtr error = step(session, run, seq);
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    return error;
  };
}

KXErrorPtr ClearLastRunStep(KXData& session, int, int) {
  KXErrorPtr error = Accounting().ClearLastRun(session);
  if (!error)
    Report('R', "cleared");
  return error;
}

}  // namespace
}  // namespace kx4::reliability

int main(int argc, char** argv) {
  using namespace kx4::reliability;
  const std::string mode = argc > 2 ? argv[1] : "";
  const int run = argc > 2 ? std::atoi(argv[2]) : 0;
  auto users_from = [&](int first) {
    std::vector<int32_t> users;
    for (int i = first; i < argc; ++i)
      users.push_back(std::atoi(argv[i]));
    return users;
  };
  if (mode == "jobs" && argc > 4)
    return RunJobLoop(run, MixedSteps(users_from(4), Ids(argv[3])), 0);
  if (mode == "concurrent" && argc > 4) {
    const std::string role = argv[4];
    Step step = role == "jobs"      ? RecordJobStep(users_from(5))
                : role == "account" ? Paced(AccountingStep(), 50)
                                    : Paced(PurgeStep(), 200);
    const std::vector<Step> steps = {std::move(step)};
    return RunTimed(run, steps, std::atoi(argv[3]));
  }
  if (mode == "account")
    return RunJobLoop(run, {AccountingStep()}, 1);
  if (mode == "clear")
    return RunJobLoop(run, {ClearLastRunStep}, 1);
  if (mode == "powercut" && argc > 6) {
    CutPlan plan;
    plan.at_operation = std::strtoull(argv[3], nullptr, 10);
    plan.mode = static_cast<CutMode>(std::atoi(argv[4]));
    plan.seed = static_cast<uint32_t>(std::strtoul(argv[5], nullptr, 10));
    if (!InstallPowerCutVfs(plan))
      return 3;
    return RunJobLoop(run, {RecordJobStep(users_from(6))}, 0);
  }
  if (mode == "hive" && argc == 4)
    return WriteHive(std::atoi(argv[3]));
  if (mode == "log" && argc == 3)
    return WriteLog(run);
  std::fprintf(stderr, "usage: crash_child jobs|account|clear|hive|log|powercut <run> ...\n");
  return 2;
}
