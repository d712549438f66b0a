// The kx4 backend: a queue whose device URI is "kx4:<device URI>" prints
// through the real device's backend and records each job it printed,
// priced and charged, through the library (docs/cups.md).
#ifndef KX4_TOOLS_CUPS_BACKEND_H_
#define KX4_TOOLS_CUPS_BACKEND_H_

#include <kx4data/JobPricing.h>

#include <string>
#include <vector>

#include "tools/cups/PageCount.h"

namespace kx4::cups {

// What the scheduler says of a job, beside its data.
struct JobFacts {
  std::string user;         // argv[2]
  std::string title;        // argv[3]
  std::string copies;       // argv[4]
  std::string options;      // argv[5]
  std::string queue;        // $PRINTER
  std::string real_uri;     // the device URI after "kx4:"
  std::string remote_host;  // $REMOTE_HOST
  std::string server;       // this host's name
  // The filters made the copies: argv[4] is already in the page count.
  bool data_multiplied = false;
  PageCount count;
};

// The request a job makes, its user aside; `notes` receives what the
// scheduler's log should show (pages taken from the attributes).
JobRequest DescribeJob(const JobFacts& facts, std::vector<std::string>& notes);

// Whether data that came through filters holds its copies: a driver's
// filters make them unless the driver (`ppd`) leaves them to the printer
// with "*cupsManualCopies: False".  Without a driver nothing made them.
bool DataMultiplied(bool filtered, const char* ppd);

// The backend's main: argv and the exit status as the scheduler uses them.
int RunBackend(int argc, char** argv);

}  // namespace kx4::cups

#endif  // KX4_TOOLS_CUPS_BACKEND_H_
