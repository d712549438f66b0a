#include "reliability/Workload.h"

#include <kx4data/Accounting.h>
#include <kx4data/Configuration.h>
#include <kx4data/DataGlobal.h>
#include <kx4data/PaperType.h>
#include <kx4data/PrintJob.h>
#include <kx4data/ado/Recordset.h>

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>

namespace kx4::reliability {

void Report(char kind, const std::string& key) {
  const std::string line = std::string(1, kind) + ' ' + key + '\n';
  ssize_t n;
  do {
    n = ::write(STDOUT_FILENO, line.data(), line.size());
  } while (n < 0 && errno == EINTR);
}

std::vector<std::string> Reported(const std::string& output, char kind) {
  std::vector<std::string> keys;
  size_t at = 0;
  while (at < output.size()) {
    size_t end = output.find('\n', at);
    // A line without its end was cut by the kill: not reported.
    if (end == std::string::npos)
      break;
    if (end - at >= 2 && output[at] == kind && output[at + 1] == ' ')
      keys.push_back(output.substr(at + 2, end - at - 2));
    at = end + 1;
  }
  return keys;
}

JobPlan PlanJob(const std::vector<int32_t>& users, int run, int seq) {
  static const char* const kPrices[] = {"0.0001", "0.0123", "0.05", "1.2345", "0.3333"};
  const unsigned mix = static_cast<unsigned>(run) * 7919u + static_cast<unsigned>(seq) * 31u;
  JobPlan plan;
  plan.user = users[mix % users.size()];
  plan.pages = static_cast<int16_t>(1 + mix % 5);
  plan.copies = static_cast<int16_t>(1 + (mix / 5) % 3);
  plan.cost_per_unit = Currency::Parse(kPrices[(mix / 3) % 5]);
  plan.document = std::to_string(run) + "-" + std::to_string(seq);
  return plan;
}

Step RecordJobStep(std::vector<int32_t> users) {
  return [users = std::move(users)](KXData& session, int run, int seq) -> KXErrorPtr {
    const JobPlan plan = PlanJob(users, run, seq);
    PrintJob job;
    job.SetUserId(plan.user);
    job.SetUnitMeasureId(kxuPages);
    job.SetPages(plan.pages);
    job.SetCopies(plan.copies);
    job.SetCostPerUnit(plan.cost_per_unit);
    job.SetNetworkUser("crash");
    job.SetPrinterName("Laser");
    job.SetDocument(plan.document);
    KXErrorPtr error = job.Save(session);
    if (!error)
      Report('J', plan.document);
    return error;
  };
}

Step AccountingStep() {
  return [](KXData& session, int, int seq) -> KXErrorPtr {
    Accounting run;
    if (KXErrorPtr error = run.MarkJobsAsPending(session))
      return error;
    std::shared_ptr<ado::Recordset> jobs;
    if (KXErrorPtr error = run.GetPendingJobs(session, jobs))
      return error;
    std::string listed = std::to_string(seq) + " ";
    for (bool first = true; !jobs->Eof(); jobs->MoveNext(), first = false)
      listed += (first ? "" : ",") + jobs->Fields("Document").Value().ToString();
    Report('P', listed);
    KXErrorPtr error = run.MarkJobsAsDone(session);
    if (!error)
      Report('D', std::to_string(seq));
    return error;
  };
}

int64_t ConfigVersion(int run, int seq) {
  return int64_t{run} * 100000 + seq;
}

int16_t ConfigModifier(int64_t version, int position) {
  return static_cast<int16_t>(100 + version % 10000 + position);
}

Step ConfigurationStep(std::vector<int32_t> configurations) {
  return [configurations = std::move(configurations)](KXData& session, int run,
                                                      int seq) -> KXErrorPtr {
    const int32_t id = configurations[static_cast<size_t>(seq) % configurations.size()];
    Configuration config;
    if (KXErrorPtr error = config.Load(session, id))
      return error;
    const int64_t version = ConfigVersion(run, seq);
    config.SetUnitCost(Currency::FromTicks(version));
    config.SetMaxError("v" + std::to_string(version));
    int position = 0;
    for (const std::shared_ptr<PaperType>& paper : *config.PaperTypes()) {
      paper->SetInCurrentConfig(true);
      paper->SetCostModifier(ConfigModifier(version, position++));
    }
    KXErrorPtr error = config.Save(session);
    if (!error)
      Report('K', std::to_string(id) + " " + std::to_string(version));
    return error;
  };
}

std::vector<Step> MixedSteps(const std::vector<int32_t>& users,
                             const std::vector<int32_t>& configurations) {
  std::vector<Step> steps(12, RecordJobStep(users));
  steps[5] = ConfigurationStep(configurations);
  steps[11] = AccountingStep();
  return steps;
}

DateTime PurgedMonth() {
  return DateTime::FromCivil(2020, 1, 1, 0, 0);
}

Step PurgeStep() {
  return [](KXData& session, int, int) -> KXErrorPtr {
    KXErrorPtr error =
        DataGlobal().PurgeJobs(session, PurgedMonth(), DateTime::FromCivil(2020, 2, 1, 0, 0));
    if (!error)
      Report('U', "purged");
    return error;
  };
}

namespace {

// A time-out's number in the error object (the engine's native -2).
constexpr int32_t kTimeOutNumber = -2;

[[nodiscard]] KXErrorPtr Connected(KXData& session) {
  session.SetCaller("crash harness");
  KXErrorPtr error = session.EstablishConnection(Variant(true));
  if (!error)
    error = session.GetAuthorization();
  if (!error)
    Report('C', "connected");
  return error;
}

int Failed(const KXErrorPtr& error) {
  std::fprintf(stderr, "%s\n", error->Message().c_str());
  return 1;
}

}  // namespace

int RunTimed(int run, const std::vector<Step>& steps, int seconds) {
  KXData session;
  if (KXErrorPtr error = Connected(session))
    return Failed(error);
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  for (int seq = 0; std::chrono::steady_clock::now() < end; ++seq) {
    KXErrorPtr error = steps[static_cast<size_t>(seq) % steps.size()](session, run, seq);
    if (error && error->Number() == kTimeOutNumber)
      Report('B', error->Message().substr(0, error->Message().find('\n')));
    else if (error)
      return Failed(error);
  }
  return 0;
}

int RunJobLoop(int run, const std::vector<Step>& steps, int limit) {
  KXData session;
  KXErrorPtr error = Connected(session);
  for (int seq = 0; !error && (limit == 0 || seq < limit); ++seq)
    error = steps[static_cast<size_t>(seq) % steps.size()](session, run, seq);
  return error ? Failed(error) : 0;
}

std::string HiveSlot(int seq) {
  return "S" + std::to_string(seq % kHiveSlots);
}

std::string HiveData(int seq) {
  const size_t length = static_cast<size_t>((seq * 7919) % 4000);
  return std::to_string(seq) + ":" + std::string(length, static_cast<char>('a' + seq % 26));
}

std::string LogText(int run, int seq) {
  const unsigned mix = static_cast<unsigned>(run) * 131u + static_cast<unsigned>(seq) * 17u;
  // Mostly short entries; one in four is megabytes long.  Copied in doubling
  // pieces, so that the child spends its time writing rather than building.
  const size_t length = mix % 4 == 0 ? (1u << 20) * (1 + (mix / 4) % 4) + mix % 977 : mix % 3000;
  std::string line;
  for (size_t i = 0; i < 96; ++i)
    line += static_cast<char>('a' + (i + mix) % 26);
  line += '\n';
  std::string payload;
  payload.reserve(length);
  payload = line.substr(0, std::min(line.size(), length));
  while (payload.size() < length)
    payload.append(payload, 0, std::min(payload.size(), length - payload.size()));
  return "E" + std::to_string(run) + "." + std::to_string(seq) + " " + payload + "\r\n;";
}

}  // namespace kx4::reliability
