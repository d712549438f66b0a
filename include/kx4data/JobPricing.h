// The pricing rule of a print job, for agents that record jobs: from what an
// agent observed (port, user, pages, paper, billing code, ...) to a priced
// PrintJob, not yet saved.  docs/pricing.md states the rule.
#ifndef KX4DATA_JOBPRICING_H_
#define KX4DATA_JOBPRICING_H_

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <kx4data/Currency.h>
#include <kx4data/Export.h>
#include <kx4data/KXError.h>
#include <kx4data/PrintJob.h>

namespace kx4 {

class KXData;
class User;

// What an agent knows of one job.  Texts are taken as given; numbers are
// checked by PriceJob.
struct KX4DATA_API JobRequest {
  // Finds the printer (ignoring case); a port no printer has is priced with
  // the unlisted-printer configuration.
  std::string printer_port;
  // Recorded as the printer's name; empty takes the listed printer's name,
  // or the port for an unlisted printer.
  std::string printer_name;
  // The job's user: the owner of `pin_code` when it is given (the session is
  // then authorised with it), else the user `user_id` names (below 1: none).
  // A job without a user charges no quota.
  std::string pin_code;
  int32_t user_id = -1;
  std::string network_user;
  std::string machine_name;
  std::string process_name;
  std::string document;
  // 0 to 32767 each, and pages times copies at most 32767.
  int32_t pages = 0;
  int32_t copies = 1;
  bool color = false;
  // A paper type's description (ignoring case); empty is the default paper
  // type, when there is one.
  std::string paper_type;
  // A validated value's code (ignoring case); empty for none.
  std::string billing_code;
  // Tenths of a millimetre; needed for configurations priced by area.
  int32_t page_width = 0;
  int32_t page_height = 0;
  std::string paper_size;
  std::string user_defined_one;
  std::string user_defined_two;
  bool printed_to_file = false;
  // Refuse a job of a user with a quota whose cost exceeds what is left.
  bool refuse_over_quota = false;
};

// A priced job and what the pricing found on the way.
struct KX4DATA_API PricedJob {
  // Every property filled, CostPerUnit and TrackStatus included; Save
  // records it.
  PrintJob job;
  // What Save will charge: job.JobCost().
  Currency cost;
  // The job's user (null without one), as loaded while pricing.
  std::shared_ptr<User> user;
  // False when the port found no printer and the unlisted-printer
  // configuration priced the job.
  bool listed_printer = false;
  // Things the agent may show: the page limit's text when the job exceeds
  // it but the settings only warn, a paper type no configuration knows.
  std::vector<std::string> warnings;
};

// The price of one unit: `unit_cost` times each modifier in percent (the
// colour modifier only for colour jobs), rounded once to four places, ties
// to even.  An overflow of money's range is an error (icon 16).
[[nodiscard]] KX4DATA_API KXErrorPtr PricePerUnit(Currency unit_cost, bool color,
                                                  int16_t color_modifier, int16_t paper_modifier,
                                                  int16_t code_modifier, Currency& price);

// Prices `request` into `priced` without writing anything.  Refusals come
// back as error objects: numbers out of range (icon 16); an unknown port
// without an unlisted-printer configuration, an unknown or inactive PIN or
// billing code (the record classes' own errors); a job over the
// configuration's MaxPages while the settings' CancelMaxPage is on, or over
// the user's quota when `refuse_over_quota` is set (erActionCancelled, icon
// 48, the configuration's MaxError text for the page limit).  On failure
// `priced` is left as it was.  An unauthorised session is authorised
// without a PIN first.
[[nodiscard]] KX4DATA_API KXErrorPtr PriceJob(KXData& pinsData, const JobRequest& request,
                                              PricedJob& priced);

}  // namespace kx4

#endif  // KX4DATA_JOBPRICING_H_
