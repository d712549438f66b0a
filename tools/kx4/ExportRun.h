// One accounting export run, shared by "kx4 export" and "kx4 demo".
#ifndef KX4_TOOLS_KX4_EXPORTRUN_H_
#define KX4_TOOLS_KX4_EXPORTRUN_H_

#include <ostream>
#include <string>

#include "tools/kx4/JobRows.h"
#include "tools/kx4/Output.h"

namespace kx4 {
class KXData;
}

namespace kx4::cli {

struct ExportOptions {
  Format format = Format::kCsv;
  std::string output;  // a file; empty for `out`
  bool dry_run = false;
  bool take_over = false;
};

// Marks the jobs not yet exported as pending, writes them with their cost to
// the output file (synced) or `out` (flushed), then marks them exported, or
// with `dry_run` hands them back.  Refuses while another run's jobs are
// pending unless `take_over`.  On any failure the run's jobs are handed back
// and a CommandError thrown; a file written in part is removed.
JobTotals RunExport(KXData& session, const ExportOptions& options, std::ostream& out);

}  // namespace kx4::cli

#endif  // KX4_TOOLS_KX4_EXPORTRUN_H_
