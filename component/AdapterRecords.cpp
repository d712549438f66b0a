// Adapters of the record classes: User, ValidatedValue, Printer, PaperType,
// AppTrack and PrintJob.
#include <kx4data/AppTrack.h>
#include <kx4data/PaperType.h>
#include <kx4data/PrintJob.h>
#include <kx4data/Printer.h>
#include <kx4data/User.h>
#include <kx4data/ValidatedValue.h>

#include "component/AdapterSupport.h"

namespace kx4::component {

namespace {

// BatchUpdate(pinsData, pstrIds) and Load(pinsData, plngId) of any class.
template <typename C>
void BatchUpdate(Object& self, Call& call) {
  call.ReturnError(self.As<C>().BatchUpdate(call.Session(0), call.Text(1)));
}
template <typename C>
void Load(Object& self, Call& call) {
  call.ReturnError(self.As<C>().Load(call.Session(0), call.I4(1)));
}

void SetPinCode(Object& self, Call& call) {
  self.As<User>().SetPinCode(call.Value().value.ToString());
}

constexpr Adapter kUserAdapters[] = {
    KX4_LET_GET(User, Id),
    Adapter{"PinCode", Kind::kLet, &SetPinCode},
    KX4_LET_GET(User, Name),
    KX4_LET_GET(User, UseQuota),
    KX4_LET_GET(User, QuotaRemaining),
    KX4_LET_GET(User, Active),
    KX4_LET_GET(User, AdminSecurity),
    KX4_LET_GET(User, ReportSecurity),
    KX4_GET(User, Authorized),
    KX4_METHOD(BatchUpdate, &BatchUpdate<User>),
    KX4_METHOD(Load, &Load<User>),
    KX4_OPERATION(User, Save),
    KX4_OPERATION(User, Delete),
};

constexpr Adapter kValidatedValueAdapters[] = {
    KX4_LET_GET(ValidatedValue, Description),
    KX4_LET_GET(ValidatedValue, Code),
    KX4_LET_GET(ValidatedValue, Active),
    KX4_LET_GET(ValidatedValue, CostModifier),
    KX4_METHOD(BatchUpdate, &BatchUpdate<ValidatedValue>),
    KX4_OPERATION(ValidatedValue, Save),
    KX4_GET_LET(ValidatedValue, Id),
    KX4_OPERATION(ValidatedValue, Delete),
    KX4_METHOD(Load, &Load<ValidatedValue>),
    KX4_METHOD(LoadByCode,
               [](Object& self, Call& call) {
                 call.ReturnError(
                     self.As<ValidatedValue>().LoadByCode(call.Session(0), call.Text(1)));
               }),
};

constexpr Adapter kPrinterAdapters[] = {
    KX4_LET_GET(Printer, Id),
    KX4_LET_GET(Printer, Name),
    KX4_LET_GET(Printer, Port),
    KX4_LET_GET(Printer, ConfigurationId),
    KX4_METHOD(Load, &Load<Printer>),
    KX4_METHOD(LoadByPort,
               [](Object& self, Call& call) {
                 call.ReturnError(self.As<Printer>().LoadByPort(call.Session(0), call.Text(1)));
               }),
    KX4_OPERATION(Printer, Save),
    KX4_OPERATION(Printer, Delete),
    KX4_METHOD(BatchUpdate, &BatchUpdate<Printer>),
};

constexpr Adapter kPaperTypeAdapters[] = {
    KX4_LET_GET(PaperType, Id),
    KX4_LET_GET(PaperType, Description),
    KX4_LET_GET(PaperType, Active),
    KX4_LET_GET(PaperType, DefaultType),
    KX4_LET_GET(PaperType, Position),
    KX4_LET_GET(PaperType, InCurrentConfig),
    KX4_METHOD(Load, &Load<PaperType>),
    KX4_OPERATION(PaperType, Save),
    KX4_METHOD(ChangeOrder,
               [](Object& self, Call& call) {
                 call.ReturnError(self.As<PaperType>().ChangeOrder(call.Session(0), call.I2(1)));
               }),
    KX4_OPERATION(PaperType, Delete),
    KX4_LET_GET(PaperType, CostModifier),
};

constexpr Adapter kAppTrackAdapters[] = {
    KX4_LET_GET(AppTrack, Id),
    KX4_LET_GET(AppTrack, Name),
    KX4_LET_GET(AppTrack, Description),
    KX4_LET_GET(AppTrack, TrackOptionId),
    // The id comes first here.
    KX4_METHOD(Load,
               [](Object& self, Call& call) {
                 call.ReturnError(self.As<AppTrack>().Load(call.I4(0), call.Session(1)));
               }),
    KX4_OPERATION(AppTrack, Save),
    KX4_OPERATION(AppTrack, Delete),
};

constexpr Adapter kPrintJobAdapters[] = {
    KX4_LET_GET(PrintJob, ValidatedValueId),
    KX4_LET_GET(PrintJob, NetworkUser),
    KX4_LET_GET(PrintJob, PrinterName),
    KX4_LET_GET(PrintJob, Port),
    KX4_LET_GET(PrintJob, Document),
    KX4_LET_GET(PrintJob, UnitMeasureId),
    KX4_LET_GET(PrintJob, CostPerUnit),
    KX4_LET_GET(PrintJob, DatePrinted),
    KX4_LET_GET(PrintJob, UserDefinedOne),
    KX4_LET_GET(PrintJob, UserDefinedTwo),
    KX4_LET_GET(PrintJob, MachineName),
    KX4_LET_GET(PrintJob, ProcessName),
    KX4_LET_GET(PrintJob, PaperType),
    KX4_LET_GET(PrintJob, Pages),
    KX4_LET_GET(PrintJob, Copies),
    KX4_LET_GET(PrintJob, PageWidth),
    KX4_LET_GET(PrintJob, PageHeight),
    KX4_LET_GET(PrintJob, PaperSize),
    KX4_LET_GET(PrintJob, Color),
    KX4_LET_GET(PrintJob, UserId),
    KX4_LET_GET(PrintJob, ConfigName),
    KX4_LET_GET(PrintJob, PrintedToFile),
    KX4_LET_GET(PrintJob, TrackStatus),
    KX4_OPERATION(PrintJob, Save),
};

}  // namespace

KX4_BINDING(kIUser, kUserAdapters);
KX4_BINDING(kIValidatedValue, kValidatedValueAdapters);
KX4_BINDING(kIPrinter, kPrinterAdapters);
KX4_BINDING(kIPaperType, kPaperTypeAdapters);
KX4_BINDING(kIAppTrack, kAppTrackAdapters);
KX4_BINDING(kIPrintJob, kPrintJobAdapters);

}  // namespace kx4::component
