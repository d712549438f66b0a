// What the record-class suites add to the established-session fixture: every
// policy granted, further sessions on the same database, and the error log
// split into its entries.
#ifndef KX4DATA_TESTS_RECORDS_RECORDTESTSUPPORT_H_
#define KX4DATA_TESTS_RECORDS_RECORDTESTSUPPORT_H_

#include <kx4data/KXData.h>

#include <memory>
#include <string>
#include <vector>

#include "support/SessionFixture.h"

namespace kx4::test {

class RecordTest : public AdministeredSessionTest {
 protected:
  // Another session on the test's database: `establish` opens its connection
  // (else it connects per statement), `authorize` grants what the switches
  // allow (all of it here).
  static std::unique_ptr<KXData> OpenSession(bool establish, bool authorize) {
    auto session = std::make_unique<KXData>();
    if (establish) {
      KXErrorPtr e = session->EstablishConnection(Variant(true));
      EXPECT_EQ(e, nullptr) << (e ? e->Message() : "");
    }
    if (authorize) {
      KXErrorPtr e = session->GetAuthorization();
      EXPECT_EQ(e, nullptr) << (e ? e->Message() : "");
    }
    return session;
  }
};

// The texts of the quoted records in a piece of error.log ("text" CR LF each).
inline std::vector<std::string> LogEntries(const std::string& log) {
  std::vector<std::string> entries;
  size_t at = 0;
  while (at < log.size() && log[at] == '"') {
    const size_t end = log.find("\"\r\n", at + 1);
    if (end == std::string::npos)
      break;
    entries.push_back(log.substr(at + 1, end - at - 1));
    at = end + 3;
  }
  return entries;
}

}  // namespace kx4::test

#endif  // KX4DATA_TESTS_RECORDS_RECORDTESTSUPPORT_H_
