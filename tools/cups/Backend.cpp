#include "tools/cups/Backend.h"

#include <kx4data/ConnectionSettings.h>
#include <kx4data/DataGlobal.h>
#include <kx4data/KXData.h>
#include <kx4data/KXEnums.h>
#include <kx4data/KXError.h>
#include <kx4data/PrintJob.h>
#include <kx4data/RuntimeError.h>
#include <kx4data/Variant.h>
#include <kx4data/ado/Recordset.h>

#include <strings.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>

#include "tools/cups/BackendConfig.h"
#include "tools/cups/Device.h"
#include "tools/cups/JobOptions.h"

namespace kx4::cups {
namespace {

// The scheduler reads standard error line by line: one message a line.
void Log(const std::string& level, const std::string& message) {
  std::string line = message;
  for (char& c : line) {
    if (c == '\r' || c == '\n')
      c = ' ';
  }
  std::cerr << level << ": " << line << std::endl;
}

std::string HostName() {
  char name[256] = {};
  if (::gethostname(name, sizeof(name) - 1) != 0)
    return "localhost";
  return name;
}

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

// The library user whose name is `name` (ignoring case); -1 when none.
// Reading the user list needs administrator rights.
int32_t UserIdByName(KXData& session, const std::string& name) {
  if (KXErrorPtr error = session.GetAuthorization()) {
    Log("WARNING", "kx4: user names cannot be matched: " + error->Message());
    return -1;
  }
  std::shared_ptr<ado::Recordset> users;
  if (KXErrorPtr error = DataGlobal().GetUserList(session, users)) {
    Log("WARNING", "kx4: user names cannot be matched: " + error->Message());
    return -1;
  }
  for (; !users->Eof(); users->MoveNext()) {
    const std::string candidate = users->Fields("Name").Value().ToString();
    if (::strcasecmp(candidate.c_str(), name.c_str()) == 0)
      return users->Fields("UserId").Value().ToLong();
  }
  return -1;
}

// How a job goes on after pricing.
enum class Verdict { kPrint, kRefused, kUnrecorded };

}  // namespace

JobRequest DescribeJob(const JobFacts& facts, std::vector<std::string>& notes) {
  const Options options = ParseOptions(facts.options);
  JobRequest request;
  request.network_user = facts.user;
  request.document = facts.title;
  request.printer_name = facts.queue;
  request.printer_port = WithoutCredentials(facts.real_uri);
  request.machine_name = HostOf(
      options, facts.remote_host.empty() ? nullptr : facts.remote_host.c_str(), facts.server);
  const std::string application = ApplicationOf(options);
  request.process_name = application.empty() ? "cups" : "cups/" + application;
  request.copies = facts.data_multiplied ? 1 : CopiesOf(facts.copies);
  if (facts.count.pages) {
    request.pages = *facts.count.pages;
  } else {
    // The attributes' count is the client's claim; say so in the log.
    request.pages = 1;
    std::string from = "no page count in the job's attributes either, recorded as 1";
    for (const char* name : {"job-impressions", "job-media-sheets"}) {
      if (std::optional<std::string> value = Find(options, name)) {
        const long pages = std::strtol(value->c_str(), nullptr, 10);
        if (pages > 0) {
          request.pages = static_cast<int32_t>(std::min(pages, long{INT_MAX}));
          from = "recorded with the " + std::to_string(request.pages) + " of " + name;
          break;
        }
      }
    }
    notes.push_back(std::string("pages of ") + FormatName(facts.count.format) +
                    " data not counted (" + facts.count.how + "); " + from);
  }
  if (std::optional<Media> media = MediaOf(options)) {
    request.paper_size = media->name;
    request.page_width = media->width;
    request.page_height = media->height;
  }
  request.color = ColorOf(options);
  request.paper_type = PaperTypeOf(options);
  request.printed_to_file = SchemeOf(facts.real_uri) == "file";
  return request;
}

bool DataMultiplied(bool filtered, const char* ppd) {
  if (!filtered || ppd == nullptr)
    return false;
  std::ifstream in(ppd);
  if (!in)
    return false;
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("*cupsManualCopies:", 0) == 0)
      return line.find("False") == std::string::npos;
  }
  return true;
}

int RunBackend(int argc, char** argv) {
  // Discovery: nothing of our own to list, and nothing slow.
  if (argc == 1)
    return kBackendOk;
  if (argc < 6 || argc > 7) {
    std::cerr << "Usage: kx4 job-id user title copies options [file]\n";
    return kBackendFailed;
  }
  const std::string device = std::getenv("DEVICE_URI") ? Environment("DEVICE_URI") : argv[0];
  const std::optional<std::string> real = RealUri(device);
  if (!real) {
    Log("ERROR", "kx4: the device URI must be kx4: followed by the printer's own device URI");
    return kBackendStop;
  }
  const std::string scheme = SchemeOf(*real);

  BackendConfig config;
  std::optional<std::string> pin;
  std::optional<Account> account;
  std::optional<std::string> file;
  try {
    config = LoadBackendConfig(ConfigFolder() + "/cups.conf");
    if (!config.user_file.empty())
      pin = LookUpPin(config.user_file, argv[2]);
    if (scheme == "file") {
      if (!config.allow_file) {
        Log("ERROR",
            "kx4: file: devices are not allowed (AllowFile in " + ConfigFolder() + "/cups.conf)");
        return kBackendStop;
      }
      file = FilePath(*real);
      if (!file) {
        Log("ERROR", "kx4: " + *real + " names no local file");
        return kBackendStop;
      }
    } else if (::geteuid() == 0) {
      const std::string root = Environment("CUPS_SERVERROOT");
      account = SchedulerAccount(root.empty() ? "/etc/cups" : root);
    }
  } catch (const ConfigError& error) {
    Log("ERROR", std::string("kx4: ") + error.what());
    return kBackendStop;
  }

  std::string data_path;
  const bool filtered = argc == 6;
  const int data = OpenJobData(filtered ? nullptr : argv[6], data_path);
  if (data < 0)
    return kBackendFailed;

  JobFacts facts;
  facts.user = argv[2];
  facts.title = argv[3];
  facts.copies = argv[4];
  facts.options = argv[5];
  facts.queue = Environment("PRINTER");
  facts.real_uri = *real;
  facts.remote_host = Environment("REMOTE_HOST");
  facts.server = HostName();
  facts.data_multiplied = DataMultiplied(filtered, std::getenv("PPD"));
  facts.count = CountPages(data_path);
  std::vector<std::string> notes;
  JobRequest request = DescribeJob(facts, notes);
  for (const std::string& note : notes)
    Log("WARNING", "kx4: " + note);
  request.refuse_over_quota = config.refuse_over_quota;
  if (request.pages > 32767 || int64_t{request.pages} * request.copies > 32767) {
    Log("ERROR", "kx4: the job is too large to record (" + std::to_string(request.pages) +
                     " pages, " + std::to_string(request.copies) + " copies)");
    return kBackendCancel;
  }

  // Limits first: a refused job never reaches the printer.
  KXData session;
  session.SetCaller("kx4 CUPS backend");
  PricedJob priced;
  Verdict verdict = Verdict::kPrint;
  KXErrorPtr error;
  try {
    ConnectionSettings settings;
    settings.Load(true);
    error = settings.Connect(session);
    if (!error && !pin && config.match_user_names)
      request.user_id = UserIdByName(session, facts.user);
    if (!error) {
      request.pin_code = pin.value_or("");
      error = PriceJob(session, request, priced);
    }
  } catch (const RuntimeError& failure) {
    error = MakeError(failure.Description(), 16);
  }
  if (error) {
    verdict = error->IconType() == 48 ? Verdict::kRefused : Verdict::kUnrecorded;
  }
  if (verdict == Verdict::kRefused) {
    Log("ERROR", error->Message());
    return kBackendCancel;
  }
  if (verdict == Verdict::kUnrecorded) {
    if (!config.print_unrecorded) {
      Log("ERROR", "kx4: the job cannot be recorded, printing it later: " + error->Message());
      return kBackendRetry;
    }
    Log("ERROR", "kx4: printing without a record: " + error->Message());
  }
  for (const std::string& warning : priced.warnings)
    Log("WARNING", "kx4: " + warning);

  const int status = file ? WriteFileDevice(*file, data)
                          : RunRealBackend(BackendFolder() + "/" + scheme, argv, *real,
                                           filtered ? data : -1, account);
  if (status != kBackendOk)
    return status;
  if (Cancelled()) {
    Log("INFO", "kx4: the job was cancelled while printing; it is not recorded");
    return status;
  }
  if (verdict != Verdict::kPrint)
    return status;
  // A crash from here to the commit loses the record of a printed job.
  try {
    error = priced.job.Save(session);
  } catch (const RuntimeError& failure) {
    error = MakeError(failure.Description(), 16);
  }
  if (error) {
    // Failing now would print the job again: report it and keep the status.
    Log("ERROR", "kx4: the job printed but was not recorded: " + error->Message());
    return status;
  }
  Log("INFO", "kx4: recorded " + std::to_string(request.pages) + " pages x " +
                  std::to_string(request.copies) + " copies, " + priced.cost.ToString());
  return status;
}

}  // namespace kx4::cups
