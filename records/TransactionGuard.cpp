#include "records/TransactionGuard.h"

#include <memory>

#include <kx4data/ado/Recordset.h>

#include "session/KXDataInternal.h"

namespace kx4 {

KXErrorPtr ExecuteReturningNewId(KXData& pinsData, const std::string& batch,
                                 const Variant& parameters, int32_t& key) {
  std::shared_ptr<ado::Recordset> rs;
  KXErrorPtr error = KXDataInternal::ExecuteSQL(pinsData, rs, batch, parameters);
  if (error)
    return error;
  key = rs->Fields("NewId").Value().ToLong();
  rs->Close();
  return nullptr;
}

KXErrorPtr InsertReturningNewId(KXData& pinsData, const std::string& batch,
                                const Variant& parameters, int32_t& new_id) {
  TransactionGuard transaction(pinsData);
  KXErrorPtr error = transaction.Begin();
  int32_t key = -1;
  if (!error)
    error = ExecuteReturningNewId(pinsData, batch, parameters, key);
  error = transaction.Finish(error);
  if (!error)
    new_id = key;
  return error;
}

}  // namespace kx4
