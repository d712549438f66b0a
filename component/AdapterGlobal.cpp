// Adapters of the global query object, the settings object it hands out and
// the accounting export run.
#include <kx4data/Accounting.h>
#include <kx4data/DataGlobal.h>
#include <kx4data/Settings.h>

#include <optional>

#include "component/AdapterSupport.h"

namespace kx4::component {

namespace {

// Every list: (pinsData, list) and, for some, the filter or flag at 2.
template <KXErrorPtr (DataGlobal::*List)(KXData&, std::shared_ptr<ado::Recordset>&)>
void PlainList(Object& self, Call& call) {
  std::shared_ptr<ado::Recordset> records = RecordsetArg(call, 1);
  call.ReturnError((self.As<DataGlobal>().*List)(call.Session(0), records));
  OutRecordset(call, 1, records);
}

template <KXErrorPtr (DataGlobal::*List)(KXData&, std::shared_ptr<ado::Recordset>&, const Variant&)>
void FilteredList(Object& self, Call& call) {
  std::shared_ptr<ado::Recordset> records = RecordsetArg(call, 1);
  const Variant filters = call.Present(2) ? call.Var(2) : Variant();
  call.ReturnError((self.As<DataGlobal>().*List)(call.Session(0), records, filters));
  OutRecordset(call, 1, records);
}

void GetPaperTypeList(Object& self, Call& call) {
  std::shared_ptr<ado::Recordset> records = RecordsetArg(call, 1);
  const bool active_only = call.Present(2) && call.Bool(2);
  call.ReturnError(self.As<DataGlobal>().GetPaperTypeList(call.Session(0), records, active_only));
  OutRecordset(call, 1, records);
}

void GetSettings(Object& self, Call& call) {
  std::shared_ptr<Settings> settings;
  call.ReturnError(self.As<DataGlobal>().GetSettings(call.Session(0), settings));
  call.OutObject(1, settings ? MakeObject(kISettings, settings) : ObjectRef());
}

template <KXErrorPtr (DataGlobal::*Count)(KXData&, int32_t&)>
void CountOf(Object& self, Call& call) {
  int32_t count = call.I4(1);
  call.ReturnError((self.As<DataGlobal>().*Count)(call.Session(0), count));
  call.Out(1, Variant(count));
}

void GetApplicationTrack(Object& self, Call& call) {
  bool ignore = call.Bool(1);
  call.ReturnError(self.As<DataGlobal>().GetApplicationTrack(call.Session(0), ignore));
  call.Out(1, Variant(ignore));
}

// Either switch may be left out; a left-out one is neither read nor written.
void GetAppSecurity(Object& self, Call& call) {
  DataGlobal& global = self.As<DataGlobal>();
  KXData& session = call.Session(0);
  bool admin = call.Present(1) && call.Bool(1);
  bool viewer = call.Present(2) && call.Bool(2);
  if (call.Present(1) && call.Present(2))
    call.ReturnError(global.GetAppSecurity(session, admin, viewer));
  else if (call.Present(1))
    call.ReturnError(global.GetAppSecurity(session, admin));
  else if (call.Present(2))
    call.ReturnError(global.GetAppSecurity(session, std::nullopt, viewer));
  else
    call.ReturnError(global.GetAppSecurity(session));
  if (call.Present(1))
    call.Out(1, Variant(admin));
  if (call.Present(2))
    call.Out(2, Variant(viewer));
}

constexpr Adapter kDataGlobalAdapters[] = {
    KX4_METHOD(DataAccessType,
               [](Object& self, Call& call) {
                 call.Return(ToVariant(self.As<DataGlobal>().DataAccessType()));
               }),
    KX4_METHOD(ProductVersion,
               [](Object& self, Call& call) {
                 call.Return(Variant(self.As<DataGlobal>().ProductVersion()));
               }),
    KX4_METHOD(DataVersion,
               [](Object& self, Call& call) {
                 call.Return(Variant(self.As<DataGlobal>().DataVersion()));
               }),
    KX4_METHOD(PurgeJobs,
               [](Object& self, Call& call) {
                 call.ReturnError(
                     self.As<DataGlobal>().PurgeJobs(call.Session(0), call.Date(1), call.Date(2)));
               }),
    KX4_METHOD(GetSettings, &GetSettings),
    KX4_METHOD(GetValidatedValueCount, &CountOf<&DataGlobal::GetValidatedValueCount>),
    KX4_METHOD(GetPaperTypeCount, &CountOf<&DataGlobal::GetPaperTypeCount>),
    KX4_METHOD(GetPaperTypeList, &GetPaperTypeList),
    KX4_METHOD(GetValidatedValueList, &FilteredList<&DataGlobal::GetValidatedValueList>),
    KX4_METHOD(GetUserList, &FilteredList<&DataGlobal::GetUserList>),
    KX4_METHOD(GetNetworkUserList, &PlainList<&DataGlobal::GetNetworkUserList>),
    KX4_METHOD(GetJobList, &FilteredList<&DataGlobal::GetJobList>),
    KX4_METHOD(GetConfigurationList, &PlainList<&DataGlobal::GetConfigurationList>),
    KX4_METHOD(GetUnitMeasureList, &PlainList<&DataGlobal::GetUnitMeasureList>),
    KX4_METHOD(GetPrinterList, &PlainList<&DataGlobal::GetPrinterList>),
    KX4_METHOD(GetJobPrinterList, &PlainList<&DataGlobal::GetJobPrinterList>),
    KX4_METHOD(GetApplicationList, &PlainList<&DataGlobal::GetApplicationList>),
    KX4_METHOD(SetApplicationTrack,
               [](Object& self, Call& call) {
                 call.ReturnError(
                     self.As<DataGlobal>().SetApplicationTrack(call.Session(0), call.Bool(1)));
               }),
    KX4_METHOD(GetApplicationTrack, &GetApplicationTrack),
    KX4_METHOD(GetAppSecurity, &GetAppSecurity),
    KX4_METHOD(SetAppSecurity,
               [](Object& self, Call& call) {
                 call.ReturnError(self.As<DataGlobal>().SetAppSecurity(call.Session(0),
                                                                       call.Bool(1), call.Bool(2)));
               }),
};

constexpr Adapter kSettingsAdapters[] = {
    KX4_LET_GET(Settings, FieldOneName),
    KX4_LET_GET(Settings, FieldTwoName),
    KX4_LET_GET(Settings, UseFieldOne),
    KX4_LET_GET(Settings, UseFieldTwo),
    KX4_LET_GET(Settings, AllowShutdown),
    KX4_LET_GET(Settings, AllowCostOverride),
    KX4_LET_GET(Settings, DisplayTrayIcon),
    KX4_LET_GET(Settings, ShowCost),
    KX4_LET_GET(Settings, CancelMaxPage),
    KX4_LET_GET(Settings, AllowBatch),
    KX4_GET(Settings, DBVersion),
    KX4_LET_GET(Settings, MaxBatch),
    KX4_LET_GET(Settings, BatchDuration),
    KX4_LET_GET(Settings, UseLastEntries),
    KX4_LET_GET(Settings, UserValidation),
    KX4_LET_GET(Settings, UseValidatedField),
    KX4_LET_GET(Settings, ValidatedFieldName),
    KX4_LET_GET(Settings, CapturePrintToFile),
    KX4_OPERATION(Settings, Save),
};

constexpr Adapter kAccountingAdapters[] = {
    KX4_GET(Accounting, DateAccounted),
    KX4_OPERATION(Accounting, ClearLastRun),
    KX4_OPERATION(Accounting, MarkJobsAsPending),
    KX4_METHOD(GetPendingJobs,
               [](Object& self, Call& call) {
                 std::shared_ptr<ado::Recordset> records = RecordsetArg(call, 1);
                 call.ReturnError(self.As<Accounting>().GetPendingJobs(call.Session(0), records));
                 OutRecordset(call, 1, records);
               }),
    KX4_OPERATION(Accounting, MarkJobsAsDone),
    KX4_OPERATION(Accounting, ClearPendingJobs),
};

}  // namespace

KX4_BINDING(kIDataGlobal, kDataGlobalAdapters);
KX4_BINDING(kISettings, kSettingsAdapters);
KX4_BINDING(kIAccounting, kAccountingAdapters);

}  // namespace kx4::component
