/* A host that knows only the component's identifiers and entry points: it
 * loads the library with dlopen, registers it, finds the class identifiers
 * of the programmatic identifiers in the machine hive, and drives a whole
 * job twice, first late-bound by dispatch identifier and then through the
 * virtual tables: authorise, add a user with a quota, record a print job
 * with its quota charge, list it, and run an accounting export.
 *
 *   component_job <library> <machine hive file>
 *
 * Exits 0 when every step did what it should, else prints the first
 * failure and exits 1. */
#include <dlfcn.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <kx4data/KXDataAccess.h>

typedef HRESULT (*GetClassObjectFn)(const CLSID*, const IID*, void**);
typedef HRESULT (*PlainFn)(void);
typedef void (*VariantClearFn)(KX4Variant*);
typedef void (*TextFreeFn)(KX4Text*);
typedef void (*ExcepInfoClearFn)(KX4ExcepInfo*);

static GetClassObjectFn get_class_object;
static PlainFn can_unload;
static VariantClearFn variant_clear;
static TextFreeFn text_free;
static ExcepInfoClearFn excep_clear;
static const char* hive_file;

static int failed(const char* what, HRESULT hr) {
  fprintf(stderr, "FAILED: %s (0x%08x)\n", what, (unsigned)hr);
  exit(1);
  return 1;
}
#define CHECK(hr, what)    \
  do {                     \
    HRESULT hr_ = (hr);    \
    if (hr_ != S_OK)       \
      failed((what), hr_); \
  } while (0)
#define EXPECT(cond, what) \
  do {                     \
    if (!(cond))           \
      failed((what), 0);   \
  } while (0)

/* --- The hive: the CLSID value of a programmatic identifier --- */

static int parse_guid(const char* text, GUID* guid) {
  unsigned d1, d2, d3, b[8];
  if (sscanf(text, "{%8x-%4x-%4x-%2x%2x-%2x%2x%2x%2x%2x%2x}", &d1, &d2, &d3, &b[0], &b[1], &b[2],
             &b[3], &b[4], &b[5], &b[6], &b[7]) != 11)
    return 0;
  guid->Data1 = d1;
  guid->Data2 = (uint16_t)d2;
  guid->Data3 = (uint16_t)d3;
  for (int i = 0; i < 8; ++i)
    guid->Data4[i] = (uint8_t)b[i];
  return 1;
}

static CLSID lookup_clsid(const char* progid) {
  char section[256];
  snprintf(section, sizeof section, "[HKEY_LOCAL_MACHINE\\Software\\Classes\\%s\\CLSID]", progid);
  FILE* in = fopen(hive_file, "r");
  if (in == NULL)
    failed("the machine hive cannot be read", 0);
  char line[1024];
  int inside = 0;
  CLSID clsid;
  memset(&clsid, 0, sizeof clsid);
  int found = 0;
  while (!found && fgets(line, sizeof line, in)) {
    line[strcspn(line, "\r\n")] = '\0';
    if (line[0] == '[')
      inside = strcmp(line, section) == 0;
    else if (inside && strncmp(line, "@=\"", 3) == 0)
      found = parse_guid(line + 3, &clsid);
  }
  fclose(in);
  if (!found)
    failed(progid, 0);
  return clsid;
}

static void* create(const char* progid, const IID* iid) {
  CLSID clsid = lookup_clsid(progid);
  IClassFactory* factory = NULL;
  CHECK(get_class_object(&clsid, &IID_IClassFactory, (void**)&factory), "DllGetClassObject");
  void* object = NULL;
  CHECK(factory->lpVtbl->CreateInstance(factory, NULL, iid, &object), "CreateInstance");
  factory->lpVtbl->Release(factory);
  return object;
}

/* Releases `n` interface pointers, each through its own table. */
static void release_all(int n, ...) {
  va_list list;
  va_start(list, n);
  for (int i = 0; i < n; ++i) {
    IUnknown* object = (IUnknown*)va_arg(list, void*);
    object->lpVtbl->Release(object);
  }
  va_end(list);
}

/* --- Variants --- */

static KX4Variant v_i4(int32_t value) {
  KX4Variant v = {VT_I4, 0, 0, {0}};
  v.u.lVal = value;
  return v;
}
static KX4Variant v_i2(int16_t value) {
  KX4Variant v = {VT_I2, 0, 0, {0}};
  v.u.iVal = value;
  return v;
}
static KX4Variant v_bool(int value) {
  KX4Variant v = {VT_BOOL, 0, 0, {0}};
  v.u.boolVal = value ? -1 : 0;
  return v;
}
static KX4Variant v_cy(int64_t ticks) {
  KX4Variant v = {VT_CY, 0, 0, {0}};
  v.u.cyVal = ticks;
  return v;
}
/* Borrowed text: the library copies it. */
static KX4Variant v_text(const char* text) {
  KX4Variant v = {VT_BSTR, 0, 0, {0}};
  v.u.text.ptr = (char*)text;
  v.u.text.len = (uint32_t)strlen(text);
  return v;
}
static KX4Variant v_ref(IDispatch** object) {
  KX4Variant v = {VT_BYREF | VT_DISPATCH, 0, 0, {0}};
  v.u.byref = object;
  return v;
}
static KX4Variant v_missing(void) {
  KX4Variant v = {VT_ERROR, 0, 0, {0}};
  v.u.scode = DISP_E_PARAMNOTFOUND;
  return v;
}
static KX4Text text_of(const char* text) {
  KX4Text t;
  t.ptr = (char*)text;
  t.len = (uint32_t)strlen(text);
  return t;
}

/* --- Late-bound calls: arguments in natural order, n of them --- */

static HRESULT invoke_args(IDispatch* object, DISPID id, uint16_t flags, KX4Variant* result,
                           uint32_t n, va_list list) {
  KX4Variant args[8];
  for (uint32_t i = 0; i < n; ++i)
    args[n - 1 - i] = va_arg(list, KX4Variant); /* COM passes the last one first */
  DISPID put = DISPID_PROPERTYPUT;
  KX4DispParams params = {args, NULL, n, 0};
  if (flags == DISPATCH_PROPERTYPUT) {
    params.rgdispidNamedArgs = &put;
    params.cNamedArgs = 1;
  }
  KX4ExcepInfo info;
  memset(&info, 0, sizeof info);
  uint32_t arg_error = 0;
  HRESULT hr = object->lpVtbl->Invoke(object, id, &IID_IDispatch, 0x409, flags, &params, result,
                                      &info, &arg_error);
  if (hr == DISP_E_EXCEPTION)
    fprintf(stderr, "exception: %.*s\n", (int)info.description.len,
            info.description.ptr ? info.description.ptr : "");
  excep_clear(&info);
  return hr;
}

static KX4Variant call(IDispatch* object, DISPID id, const char* what, uint32_t n, ...) {
  KX4Variant result;
  memset(&result, 0, sizeof result);
  va_list list;
  va_start(list, n);
  CHECK(invoke_args(object, id, DISPATCH_METHOD | DISPATCH_PROPERTYGET, &result, n, list), what);
  va_end(list);
  return result;
}

static void put(IDispatch* object, DISPID id, KX4Variant value, const char* what) {
  KX4Variant args[1] = {value};
  DISPID named = DISPID_PROPERTYPUT;
  KX4DispParams params = {args, &named, 1, 1};
  CHECK(object->lpVtbl->Invoke(object, id, &IID_IDispatch, 0x409, DISPATCH_PROPERTYPUT, &params,
                               NULL, NULL, NULL),
        what);
}

/* A data operation: its result must be no error object. */
static void operation(IDispatch* object, DISPID id, const char* what, uint32_t n, ...) {
  KX4Variant result;
  memset(&result, 0, sizeof result);
  va_list list;
  va_start(list, n);
  CHECK(invoke_args(object, id, DISPATCH_METHOD, &result, n, list), what);
  va_end(list);
  EXPECT(result.vt == VT_DISPATCH, what);
  if (result.u.pdispVal != NULL) {
    KX4Variant message = call(result.u.pdispVal, DISPID__KXError_Message, "Message", 0);
    fprintf(stderr, "%s returned an error: %.*s\n", what, (int)message.u.text.len,
            message.u.text.ptr);
    variant_clear(&message);
    failed(what, 0);
  }
  variant_clear(&result);
}

static int text_equals(const KX4Variant* v, const char* text) {
  return v->vt == VT_BSTR && v->u.text.len == strlen(text) &&
         memcmp(v->u.text.ptr, text, v->u.text.len) == 0;
}

/* Rows of a record set, each row's `column` checked to be `expected`. */
static int count_rows_late(IDispatch* records, const char* column, const char* expected) {
  int rows = 0;
  for (;;) {
    KX4Variant eof = call(records, DISPID__Recordset_EOF, "EOF", 0);
    if (eof.u.boolVal)
      break;
    KX4Variant fields = call(records, DISPID__Recordset_Fields, "Fields", 0);
    KX4Variant field =
        call(fields.u.pdispVal, DISPID__Fields_Item, "Fields.Item", 1, v_text(column));
    KX4Variant value = call(field.u.pdispVal, DISPID__Field_Value, "Field.Value", 0);
    EXPECT(text_equals(&value, expected), column);
    variant_clear(&value);
    variant_clear(&field);
    variant_clear(&fields);
    call(records, DISPID__Recordset_MoveNext, "MoveNext", 0);
    ++rows;
  }
  return rows;
}

static void late_bound_job(void) {
  IDispatch* session = create("KXDataAccess.KXData", &IID_IDispatch);
  put(session, DISPID__KXData_Caller, v_text("C host"), "Caller");
  operation(session, DISPID__KXData_EstablishConnection, "EstablishConnection", 1, v_bool(1));
  /* The unsecured installation's rights, then a user with a quota. */
  operation(session, DISPID__KXData_GetAuthorization, "GetAuthorization", 0);

  IDispatch* user = create("KXDataAccess.User", &IID_IDispatch);
  put(user, DISPID__User_Name, v_text("Late Bound"), "Name");
  put(user, DISPID__User_PinCode, v_text("4711"), "PinCode");
  put(user, DISPID__User_UseQuota, v_bool(1), "UseQuota");
  put(user, DISPID__User_QuotaRemaining, v_cy(100000), "QuotaRemaining");
  put(user, DISPID__User_ReportSecurity, v_i4(kxrOwnData), "ReportSecurity");
  operation(user, DISPID__User_Save, "User.Save", 1, v_ref(&session));
  KX4Variant id = call(user, DISPID__User_Id, "Id", 0);
  EXPECT(id.vt == VT_I4 && id.u.lVal > 0, "the new user's id");

  /* Authorise by PIN; the authorised user comes back by reference. */
  IDispatch* authorised = NULL;
  operation(session, DISPID__KXData_GetAuthorization, "GetAuthorization(PIN)", 2, v_text("4711"),
            v_ref(&authorised));
  EXPECT(authorised != NULL, "the authorised user");
  KX4Variant authorised_id = call(authorised, DISPID__User_Id, "authorised Id", 0);
  EXPECT(authorised_id.vt == VT_I4 && authorised_id.u.lVal == id.u.lVal, "the PIN's owner");
  KX4Variant may_write =
      call(session, DISPID__KXData_CheckSecurity, "CheckSecurity", 1, v_i4(kxsWriteJob));
  EXPECT(may_write.u.boolVal == -1, "the right to record jobs");

  /* 3 pages, 2 copies at 0.25 each: 1.50 off the quota of 10. */
  IDispatch* job = create("KXDataAccess.PrintJob", &IID_IDispatch);
  put(job, DISPID__PrintJob_UserId, id, "UserId");
  put(job, DISPID__PrintJob_NetworkUser, v_text("cuser"), "NetworkUser");
  put(job, DISPID__PrintJob_MachineName, v_text("WS-C"), "MachineName");
  put(job, DISPID__PrintJob_PrinterName, v_text("Laser C"), "PrinterName");
  put(job, DISPID__PrintJob_Port, v_text("lpt9:"), "Port");
  put(job, DISPID__PrintJob_Document, v_text("invoke.txt"), "Document");
  put(job, DISPID__PrintJob_UnitMeasureId, v_i4(kxuPages), "UnitMeasureId");
  put(job, DISPID__PrintJob_Pages, v_i2(3), "Pages");
  put(job, DISPID__PrintJob_Copies, v_i2(2), "Copies");
  put(job, DISPID__PrintJob_CostPerUnit, v_cy(2500), "CostPerUnit");
  put(job, DISPID__PrintJob_TrackStatus, v_i4(kxtTrackOnly), "TrackStatus");
  operation(job, DISPID__PrintJob_Save, "PrintJob.Save", 1, v_ref(&session));

  operation(user, DISPID__User_Load, "User.Load", 2, v_ref(&session), id);
  KX4Variant quota = call(user, DISPID__User_QuotaRemaining, "QuotaRemaining", 0);
  EXPECT(quota.vt == VT_CY && quota.u.cyVal == 85000, "the quota after the charge");

  /* The job list, every filter left out. */
  IDispatch* global = create("KXDataAccess.DataGlobal", &IID_IDispatch);
  IDispatch* jobs = NULL;
  operation(global, DISPID__DataGlobal_GetJobList, "GetJobList", 3, v_ref(&session), v_ref(&jobs),
            v_missing());
  EXPECT(jobs != NULL, "the job list");
  EXPECT(count_rows_late(jobs, "Document", "invoke.txt") == 1, "one job listed");

  /* The export run. */
  IDispatch* run = create("KXDataAccess.Accounting", &IID_IDispatch);
  operation(run, DISPID__Accounting_MarkJobsAsPending, "MarkJobsAsPending", 1, v_ref(&session));
  IDispatch* pending = NULL;
  operation(run, DISPID__Accounting_GetPendingJobs, "GetPendingJobs", 2, v_ref(&session),
            v_ref(&pending));
  EXPECT(count_rows_late(pending, "UserName", "Late Bound") == 1, "one pending job");
  operation(run, DISPID__Accounting_MarkJobsAsDone, "MarkJobsAsDone", 1, v_ref(&session));
  /* Handing the old record set back in replaces it. */
  operation(run, DISPID__Accounting_GetPendingJobs, "GetPendingJobs again", 2, v_ref(&session),
            v_ref(&pending));
  EXPECT(count_rows_late(pending, "UserName", "") == 0, "nothing pending after the run");

  release_all(8, (void*)pending, (void*)run, (void*)jobs, (void*)global, (void*)job,
              (void*)authorised, (void*)user, (void*)session);
}

/* --- The same through the virtual tables --- */

/* A data operation's result must be no error object. */
static void no_error(_KXError* error, const char* what) {
  if (error == NULL)
    return;
  KX4Text message = {NULL, 0};
  error->lpVtbl->get_Message(error, &message);
  fprintf(stderr, "%s returned an error: %.*s\n", what, (int)message.len, message.ptr);
  text_free(&message);
  error->lpVtbl->Release(error);
  failed(what, 0);
}

static int count_rows(_Recordset* records, const char* column, const char* expected) {
  int rows = 0;
  VARIANT_BOOL eof = 0;
  CHECK(records->lpVtbl->get_EOF(records, &eof), "EOF");
  while (!eof) {
    _Fields* fields = NULL;
    CHECK(records->lpVtbl->get_Fields(records, &fields), "Fields");
    KX4Variant name = v_text(column);
    _Field* field = NULL;
    CHECK(fields->lpVtbl->get_Item(fields, &name, &field), "Fields.Item");
    KX4Variant value;
    memset(&value, 0, sizeof value);
    CHECK(field->lpVtbl->get_Value(field, &value), "Field.Value");
    EXPECT(text_equals(&value, expected), column);
    variant_clear(&value);
    field->lpVtbl->Release(field);
    fields->lpVtbl->Release(fields);
    CHECK(records->lpVtbl->MoveNext(records), "MoveNext");
    CHECK(records->lpVtbl->get_EOF(records, &eof), "EOF");
    ++rows;
  }
  return rows;
}

static void vtable_job(void) {
  _KXError* error = NULL;
  _KXData* session = create("KXDataAccess.KXData", &IID__KXData);
  CHECK(session->lpVtbl->put_Caller(session, text_of("C host, early bound")), "Caller");
  KX4Variant suppress = v_bool(1);
  CHECK(session->lpVtbl->EstablishConnection(session, &suppress, &error), "EstablishConnection");
  no_error(error, "EstablishConnection");
  CHECK(session->lpVtbl->GetAuthorization(session, text_of(""), NULL, &error), "GetAuthorization");
  no_error(error, "GetAuthorization");

  _User* user = create("KXDataAccess.User", &IID__User);
  CHECK(user->lpVtbl->put_Name(user, text_of("Early Bound")), "Name");
  CHECK(user->lpVtbl->put_PinCode(user, text_of("0815")), "PinCode");
  CHECK(user->lpVtbl->put_UseQuota(user, -1), "UseQuota");
  CHECK(user->lpVtbl->put_QuotaRemaining(user, 50000), "QuotaRemaining");
  CHECK(user->lpVtbl->Save(user, &session, &error), "User.Save");
  no_error(error, "User.Save");
  int32_t id = 0;
  CHECK(user->lpVtbl->get_Id(user, &id), "Id");
  EXPECT(id > 0, "the new user's id");

  _User* authorised = NULL;
  CHECK(session->lpVtbl->GetAuthorization(session, text_of("0815"), &authorised, &error),
        "GetAuthorization(PIN)");
  no_error(error, "GetAuthorization(PIN)");
  int32_t authorised_id = 0;
  CHECK(authorised->lpVtbl->get_Id(authorised, &authorised_id), "authorised Id");
  EXPECT(authorised_id == id, "the PIN's owner is authorised");

  /* 4 pages at 0.10: 0.40 off the quota of 5. */
  _PrintJob* job = create("KXDataAccess.PrintJob", &IID__PrintJob);
  CHECK(job->lpVtbl->put_UserId(job, id), "UserId");
  CHECK(job->lpVtbl->put_NetworkUser(job, text_of("vuser")), "NetworkUser");
  CHECK(job->lpVtbl->put_PrinterName(job, text_of("Laser V")), "PrinterName");
  CHECK(job->lpVtbl->put_Document(job, text_of("vtable.txt")), "Document");
  CHECK(job->lpVtbl->put_UnitMeasureId(job, kxuPages), "UnitMeasureId");
  CHECK(job->lpVtbl->put_Pages(job, 4), "Pages");
  CHECK(job->lpVtbl->put_Copies(job, 1), "Copies");
  CHECK(job->lpVtbl->put_CostPerUnit(job, 1000), "CostPerUnit");
  CHECK(job->lpVtbl->put_TrackStatus(job, kxtTrackOnly), "TrackStatus");
  CHECK(job->lpVtbl->Save(job, &session, &error), "PrintJob.Save");
  no_error(error, "PrintJob.Save");

  CHECK(user->lpVtbl->Load(user, &session, id, &error), "User.Load");
  no_error(error, "User.Load");
  KX4CY quota = 0;
  CHECK(user->lpVtbl->get_QuotaRemaining(user, &quota), "QuotaRemaining");
  EXPECT(quota == 46000, "the quota after the charge");

  /* The job list, no filters: the job of the late-bound run and this one. */
  _DataGlobal* global = create("KXDataAccess.DataGlobal", &IID__DataGlobal);
  _Recordset* jobs = NULL;
  CHECK(global->lpVtbl->GetJobList(global, &session, &jobs, NULL, &error), "GetJobList");
  no_error(error, "GetJobList");
  int32_t count = 0;
  CHECK(jobs->lpVtbl->get_RecordCount(jobs, &count), "RecordCount");
  EXPECT(count == 2, "both jobs listed");

  _Accounting* run = create("KXDataAccess.Accounting", &IID__Accounting);
  CHECK(run->lpVtbl->MarkJobsAsPending(run, &session, &error), "MarkJobsAsPending");
  no_error(error, "MarkJobsAsPending");
  _Recordset* pending = NULL;
  CHECK(run->lpVtbl->GetPendingJobs(run, &session, &pending, &error), "GetPendingJobs");
  no_error(error, "GetPendingJobs");
  EXPECT(count_rows(pending, "Document", "vtable.txt") == 1, "only the new job is pending");
  CHECK(run->lpVtbl->MarkJobsAsDone(run, &session, &error), "MarkJobsAsDone");
  no_error(error, "MarkJobsAsDone");

  release_all(8, (void*)pending, (void*)run, (void*)jobs, (void*)global, (void*)job,
              (void*)authorised, (void*)user, (void*)session);
}

/* Entry point `name` into the function pointer at `target`. */
static void load(void* library, const char* name, void* target, size_t size) {
  void* address = dlsym(library, name);
  memcpy(target, &address, size);
}

int main(int argc, char** argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: component_job <library> <machine hive file>\n");
    return 2;
  }
  hive_file = argv[2];
  void* library = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
  if (library == NULL) {
    fprintf(stderr, "dlopen: %s\n", dlerror());
    return 1;
  }
  PlainFn register_server = NULL;
  PlainFn unregister_server = NULL;
  load(library, "DllGetClassObject", &get_class_object, sizeof get_class_object);
  load(library, "DllCanUnloadNow", &can_unload, sizeof can_unload);
  load(library, "DllRegisterServer", &register_server, sizeof register_server);
  load(library, "DllUnregisterServer", &unregister_server, sizeof unregister_server);
  load(library, "KX4VariantClear", &variant_clear, sizeof variant_clear);
  load(library, "KX4TextFree", &text_free, sizeof text_free);
  load(library, "KX4ExcepInfoClear", &excep_clear, sizeof excep_clear);
  if (!get_class_object || !can_unload || !register_server || !unregister_server ||
      !variant_clear || !text_free || !excep_clear) {
    fprintf(stderr, "an entry point is missing\n");
    return 1;
  }
  CHECK(register_server(), "DllRegisterServer");
  late_bound_job();
  vtable_job();
  /* Every object was released to zero. */
  CHECK(can_unload(), "DllCanUnloadNow");
  CHECK(unregister_server(), "DllUnregisterServer");
  printf("job done\n");
  return 0;
}
