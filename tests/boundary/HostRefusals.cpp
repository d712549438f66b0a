// What a host program may not do with the public headers.  Compiled by the
// test suite once without a case (it must compile) and once per KX4_<case>
// (each must fail with its own diagnostic).
#include <kx4data/Accounting.h>
#include <kx4data/KXData.h>
#include <kx4data/PrintJob.h>
#include <kx4data/ado/Recordset.h>

#if defined(KX4_INTERNAL_HEADER)
#include "session/KXDataInternal.h"
#endif

#include <memory>

int HostUse(kx4::KXData& session, kx4::PrintJob& job) {
  std::shared_ptr<kx4::ado::Recordset> rs;
  int32_t affected = 0;
  (void)affected;
#if defined(KX4_EXECUTE_SQL)
  (void)session.ExecuteSQL(rs, "DELETE FROM tblUsers", kx4::Variant());
#elif defined(KX4_EXECUTE_NO_RECORDS)
  (void)session.ExecuteNoRecords("DELETE FROM tblUsers", kx4::Variant(), affected);
#elif defined(KX4_SET_CONNECTION)
  (void)session.SetConnection(nullptr);
#elif defined(KX4_CONNECTION_VARIABLES)
  (void)session.ConnectionVariables();
#elif defined(KX4_AUTHORIZED_USER)
  (void)session.AuthorizedUser();
#elif defined(KX4_OWNER_PREFIX)
  (void)session.OwnerPrefix();
#elif defined(KX4_ADOPT_ROWS)
  rs->Adopt(nullptr);
#elif defined(KX4_CONNECTION_OBJECT)
  kx4::ado::Connection connection;
#elif defined(KX4_IGNORED_ERROR)
  job.Save(session);
#elif defined(KX4_ACCOUNTING_STAMP)
  kx4::Accounting backdated(kx4::DateTime::FromCivil(2020, 1, 1));
#elif defined(KX4_PLAIN_POLICY_NUMBER)
  return session.CheckSecurity(1) ? 1 : 0;
#endif
  // What the same host may do.
  if (kx4::KXErrorPtr error = job.Save(session))
    return 1;
  return session.CheckSecurity(kx4::kxsWriteJob) ? 0 : 1;
}
