// Adapters of the session (KXData), the error object and the enumeration
// carrier.
#include <kx4data/KXData.h>
#include <kx4data/KXEnums.h>
#include <kx4data/KXError.h>
#include <kx4data/User.h>

#include "component/AdapterSupport.h"

namespace kx4::component {

namespace {

constexpr Adapter kKXErrorAdapters[] = {
    KX4_LET_GET(KXError, Message),
    KX4_LET_GET(KXError, Number),
    KX4_LET_GET(KXError, IconType),
    KX4_METHOD(Display, [](Object& self, Call&) { self.As<KXError>().Display(); }),
    KX4_GET_LET(KXError, KXErrorNumber),
};

// KXEnums only carries the enumerations.
constexpr Adapter kKXEnumsAdapters[1] = {};

void GetAuthorization(Object& self, Call& call) {
  KXData& session = self.As<KXData>();
  const std::string pin = call.Present(0) ? call.Text(0) : std::string();
  if (!call.Present(1)) {
    call.ReturnError(session.GetAuthorization(pin));
    return;
  }
  std::shared_ptr<User> user = call.Target<User>(1, kIUser);
  const std::shared_ptr<User> given = user;
  call.ReturnError(session.GetAuthorization(pin, user));
  if (user != given || (!user && call.Obj(1)))
    call.OutObject(1, user ? MakeObject(kIUser, user) : ObjectRef());
}

void ExecuteReportSQL(Object& self, Call& call) {
  std::shared_ptr<ado::Recordset> records = RecordsetArg(call, 0);
  const Variant parameters = call.Present(2) ? call.Var(2) : Variant();
  call.ReturnError(self.As<KXData>().ExecuteReportSQL(records, call.Text(1), parameters));
  OutRecordset(call, 0, records);
}

void DataValueExists(Object& self, Call& call) {
  bool exists = call.Bool(0);
  const bool case_sensitive = call.Present(4) && call.Bool(4);
  call.ReturnError(self.As<KXData>().DataValueExists(exists, call.Text(1), call.Text(2),
                                                     call.Var(3), case_sensitive));
  call.Out(0, Variant(exists));
}

constexpr Adapter kKXDataAdapters[] = {
    KX4_LET_GET(KXData, Caller),
    KX4_LET_GET(KXData, InTransaction),
    KX4_LET_GET(KXData, ReadOnly),
    KX4_GET(KXData, DBVersion),
    KX4_METHOD(CheckSecurity,
               [](Object& self, Call& call) {
                 call.Return(
                     Variant(self.As<KXData>().CheckSecurity(static_cast<KXSecurity>(call.I4(0)))));
               }),
    KX4_METHOD(GetAuthorization, &GetAuthorization),
    KX4_METHOD(ExecuteReportSQL, &ExecuteReportSQL),
    KX4_METHOD(BeginTrans,
               [](Object& self, Call& call) { call.ReturnError(self.As<KXData>().BeginTrans()); }),
    KX4_METHOD(CommitTrans,
               [](Object& self, Call& call) { call.ReturnError(self.As<KXData>().CommitTrans()); }),
    KX4_METHOD(
        RollbackTrans,
        [](Object& self, Call& call) { call.ReturnError(self.As<KXData>().RollbackTrans()); }),
    KX4_METHOD(DataValueExists, &DataValueExists),
    KX4_METHOD(EstablishConnection,
               [](Object& self, Call& call) {
                 call.ReturnError(self.As<KXData>().EstablishConnection(
                     call.Present(0) ? call.Var(0) : Variant(false)));
               }),
    KX4_METHOD(CloseConnection, [](Object& self, Call&) { self.As<KXData>().CloseConnection(); }),
    KX4_METHOD(SaveConnectionSettings,
               [](Object& self, Call&) { self.As<KXData>().SaveConnectionSettings(); }),
    KX4_METHOD(
        ChangeConnection,
        [](Object& self, Call& call) { call.ReturnError(self.As<KXData>().ChangeConnection()); }),
    KX4_GET_LET(KXData, AllUsersOnly),
    KX4_GET(KXData, DatabaseInfo),
};

}  // namespace

static_assert(kInterfaces[kIKXEnums].members.empty());
extern const Binding kIKXEnumsBinding;
const Binding kIKXEnumsBinding{kIKXEnums, std::span<const Adapter>(kKXEnumsAdapters, 0),
                               &VTable<kIKXEnums>};
KX4_BINDING(kIKXError, kKXErrorAdapters);
KX4_BINDING(kIKXData, kKXDataAdapters);

}  // namespace kx4::component
