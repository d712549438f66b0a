// What the children of the crash and power-cut harnesses write, and how the
// parent tells afterwards whether it survived.  The child reports each
// operation on standard output only after the library said it succeeded, one
// line per operation ("<kind> <key>"), with a single write(2), so a line in
// the output proves the call returned.
//
// Adding an operation (an accounting run, a configuration save) takes three
// steps: a step function that the child's loop calls (RunJobLoop's `steps`),
// a kind letter for its report lines, and an invariant in LedgerCheck that the
// parent checks after every kill.
#ifndef KX4DATA_TESTS_RELIABILITY_WORKLOAD_H_
#define KX4DATA_TESTS_RELIABILITY_WORKLOAD_H_

#include <kx4data/Currency.h>
#include <kx4data/KXData.h>

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace kx4::reliability {

// One line on standard output, written whole.
void Report(char kind, const std::string& key);

// The lines of a child's output with the given kind, keys in order.
std::vector<std::string> Reported(const std::string& output, char kind);

// The job a child records as step `seq` of run `run`: users, page counts and
// prices vary so that the quota arithmetic is exercised; the document names
// the job uniquely across runs.
struct JobPlan {
  int32_t user;
  int16_t pages;
  int16_t copies;
  Currency cost_per_unit;
  std::string document;
};
JobPlan PlanJob(const std::vector<int32_t>& users, int run, int seq);

// One step of the child's loop: does one operation through the session and
// reports it; a failure ends the loop with the error's message.
using Step = std::function<KXErrorPtr(KXData& session, int run, int seq)>;

// Records the planned job and reports "J <document>".
Step RecordJobStep(std::vector<int32_t> users);

// One accounting export run: marks the jobs pending, lists them and reports
// "P <seq> <document>,<document>...", then completes the run and reports
// "D <seq>".  The list is the export; the run counts once D is reported.
Step AccountingStep();

// Rewrites one of `configurations` (in turn) as version ConfigVersion(run,
// seq): the unit cost in ten-thousandths is the version and every active
// paper type is offered with modifier ConfigModifier(version, position).
// Reports "K <configuration id> <version>".
Step ConfigurationStep(std::vector<int32_t> configurations);
int64_t ConfigVersion(int run, int seq);
int16_t ConfigModifier(int64_t version, int position);

// The step cycle of the crash harness's child: jobs, with a configuration
// save and an accounting run among them.
std::vector<Step> MixedSteps(const std::vector<int32_t>& users,
                             const std::vector<int32_t>& configurations);

// Deletes the jobs printed in January 2020 (DataGlobal::PurgeJobs) and
// reports "U purged".
Step PurgeStep();
DateTime PurgedMonth();

// Connects a session as RunJobLoop does, then runs `steps` in turn for
// `seconds`.  A time-out (the engine's documented answer to waiting too long
// for other writers) is reported as "B <message>" and the loop goes on; any
// other failure ends it.  Returns the process exit code.
int RunTimed(int run, const std::vector<Step>& steps, int seconds);

// Connects a session through the settings stored for this user, reports
// "C connected", then runs `steps` in turn until one fails or `limit` steps
// ran (0: for ever).  Returns the process exit code.
int RunJobLoop(int run, const std::vector<Step>& steps, int limit);

// The hive workload: value "S<seq % kHiveSlots>" of kHiveKey is rewritten
// with HiveData(seq); sizes vary so that the file grows and shrinks.
inline constexpr int kHiveSlots = 64;
inline constexpr const char* kHiveKey = "Software\\Kestrix 4.0\\Crash";
std::string HiveSlot(int seq);
std::string HiveData(int seq);

// The error-log workload: entries of up to several megabytes (so that a kill
// can land inside the write), some with line breaks, never a quotation mark.
std::string LogText(int run, int seq);

}  // namespace kx4::reliability

#endif  // KX4DATA_TESTS_RELIABILITY_WORKLOAD_H_
