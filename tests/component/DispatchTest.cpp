// Calls into the component as other programs make them: objects from the
// class factories, members by dispatch identifier through Invoke and through
// the virtual tables, the COM codes of bad calls, failures that never cross
// the boundary as exceptions, the apartment rule, and reference counts that
// reach zero.
#include <kx4data/Component.h>
#include <kx4data/Configuration.h>
#include <kx4data/KXDataAccess.h>
#include <kx4data/PaperTypeCollection.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "component/Object.h"

namespace kx4::component {
namespace {

KX4Variant Text(const char* text) {
  KX4Variant v{};
  v.vt = VT_BSTR;
  v.u.text = {const_cast<char*>(text), static_cast<uint32_t>(std::strlen(text))};
  return v;
}
KX4Variant Long(int32_t value) {
  KX4Variant v{};
  v.vt = VT_I4;
  v.u.lVal = value;
  return v;
}
KX4Text TextOf(const char* text) {
  return {const_cast<char*>(text), static_cast<uint32_t>(std::strlen(text))};
}
std::string Read(const KX4Text& text) {
  return text.ptr ? std::string(text.ptr, text.len) : std::string();
}

class ComponentTest : public ::testing::Test {
 protected:
  void TearDown() override {
    EXPECT_EQ(LiveObjects().load(), 0) << "an object was not released to zero";
    EXPECT_EQ(DllCanUnloadNow(), S_OK);
  }

  template <typename T>
  T* Create(const GUID& clsid, const IID& iid) {
    IClassFactory* factory = nullptr;
    EXPECT_EQ(DllGetClassObject(&clsid, &IID_IClassFactory, reinterpret_cast<void**>(&factory)),
              S_OK);
    if (factory == nullptr)
      return nullptr;
    void* object = nullptr;
    EXPECT_EQ(factory->CreateInstance(nullptr, iid, &object), S_OK);
    factory->Release();
    return static_cast<T*>(object);
  }

  // Invoke with arguments in natural order.
  HRESULT Invoke(IDispatch* object, DISPID id, uint16_t flags, std::vector<KX4Variant> args,
                 KX4Variant* result = nullptr, KX4ExcepInfo* info = nullptr,
                 uint32_t* arg_error = nullptr) {
    std::vector<KX4Variant> reversed(args.rbegin(), args.rend());
    DISPID put = DISPID_PROPERTYPUT;
    KX4DispParams params{reversed.data(), nullptr, static_cast<uint32_t>(reversed.size()), 0};
    if (flags == DISPATCH_PROPERTYPUT) {
      params.rgdispidNamedArgs = &put;
      params.cNamedArgs = 1;
    }
    return object->Invoke(id, IID_IDispatch, 0x409, flags, &params, result, info, arg_error);
  }
};

TEST_F(ComponentTest, FactoriesCreateEveryCreatableClassAndNoSettings) {
  for (const GUID* clsid : {&CLSID_KXError, &CLSID_KXEnums, &CLSID_User, &CLSID_ValidatedValue,
                            &CLSID_Printer, &CLSID_PaperType, &CLSID_Configuration, &CLSID_AppTrack,
                            &CLSID_Accounting, &CLSID_KXData, &CLSID_PrintJob, &CLSID_DataGlobal}) {
    IDispatch* object = Create<IDispatch>(*clsid, IID_IDispatch);
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(object->Release(), 0u);
  }
  void* factory = nullptr;
  EXPECT_EQ(DllGetClassObject(&CLSID_Settings, &IID_IClassFactory, &factory),
            CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(factory, nullptr);
  EXPECT_EQ(DllGetClassObject(&IID__User, &IID_IClassFactory, &factory), CLASS_E_CLASSNOTAVAILABLE);

  IClassFactory* users = nullptr;
  ASSERT_EQ(DllGetClassObject(&CLSID_User, &IID_IClassFactory, reinterpret_cast<void**>(&users)),
            S_OK);
  void* object = nullptr;
  EXPECT_EQ(users->CreateInstance(reinterpret_cast<IUnknown*>(users), IID_IUnknown, &object),
            CLASS_E_NOAGGREGATION);
  EXPECT_EQ(users->CreateInstance(nullptr, IID__Printer, &object), E_NOINTERFACE);
  EXPECT_EQ(object, nullptr);
  // A lock keeps the library loaded after its factory is gone.
  EXPECT_EQ(users->LockServer(1), S_OK);
  users->Release();
  EXPECT_EQ(DllCanUnloadNow(), S_FALSE);
  ASSERT_EQ(DllGetClassObject(&CLSID_User, &IID_IClassFactory, reinterpret_cast<void**>(&users)),
            S_OK);
  EXPECT_EQ(users->LockServer(0), S_OK);
  users->Release();
}

TEST_F(ComponentTest, VirtualTableEntriesReachTheMembersTheirIdentifiersName) {
  _KXError* error = Create<_KXError>(CLSID_KXError, IID__KXError);
  ASSERT_NE(error, nullptr);
  ASSERT_EQ(error->put_Message(TextOf("Disk full")), S_OK);
  ASSERT_EQ(error->put_Number(2601), S_OK);
  ASSERT_EQ(error->put_IconType(48), S_OK);
  ASSERT_EQ(error->put_KXErrorNumber(erDataValueExists), S_OK);

  // What each let stored reads back by its identifier.
  KX4Variant value{};
  ASSERT_EQ(Invoke(error, DISPID__KXError_Message, DISPATCH_PROPERTYGET, {}, &value), S_OK);
  EXPECT_EQ(value.vt, VT_BSTR);
  EXPECT_EQ(Read(value.u.text), "Disk full");
  KX4VariantClear(&value);
  ASSERT_EQ(Invoke(error, DISPID__KXError_Number, DISPATCH_PROPERTYGET, {}, &value), S_OK);
  EXPECT_EQ(value.vt, VT_I4);
  EXPECT_EQ(value.u.lVal, 2601);
  ASSERT_EQ(Invoke(error, DISPID__KXError_IconType, DISPATCH_PROPERTYGET, {}, &value), S_OK);
  EXPECT_EQ(value.vt, VT_I2);
  EXPECT_EQ(value.u.iVal, 48);
  ASSERT_EQ(Invoke(error, DISPID__KXError_KXErrorNumber, DISPATCH_PROPERTYGET, {}, &value), S_OK);
  EXPECT_EQ(value.u.lVal, erDataValueExists);

  // And what a put stored reads back through the table.
  ASSERT_EQ(Invoke(error, DISPID__KXError_Message, DISPATCH_PROPERTYPUT, {Text("Paper out")}),
            S_OK);
  KX4Text message{};
  ASSERT_EQ(error->get_Message(&message), S_OK);
  EXPECT_EQ(Read(message), "Paper out");
  KX4TextFree(&message);
  EXPECT_EQ(message.ptr, nullptr);

  void* same = nullptr;
  EXPECT_EQ(error->QueryInterface(IID_IDispatch, &same), S_OK);
  EXPECT_EQ(same, error);
  EXPECT_EQ(error->QueryInterface(IID__User, &same), E_NOINTERFACE);
  EXPECT_EQ(error->Release(), 1u);
  EXPECT_EQ(error->Release(), 0u);
}

TEST_F(ComponentTest, NamesMapToIdentifiersWithoutRegardToCase) {
  IDispatch* user = Create<IDispatch>(CLSID_User, IID_IDispatch);
  const char* names[] = {"load", "PLNGID", "pinsData"};
  DISPID ids[3] = {};
  ASSERT_EQ(user->GetIDsOfNames(IID_IDispatch, names, 3, 0x409, ids), S_OK);
  EXPECT_EQ(ids[0], DISPID__User_Load);
  EXPECT_EQ(ids[1], 1);
  EXPECT_EQ(ids[2], 0);
  const char* unknown[] = {"Reload", "pinsData"};
  EXPECT_EQ(user->GetIDsOfNames(IID_IDispatch, unknown, 2, 0x409, ids), DISP_E_UNKNOWNNAME);
  EXPECT_EQ(ids[0], DISPID_UNKNOWN);
  const char* pin[] = {"pincode"};
  ASSERT_EQ(user->GetIDsOfNames(IID_IDispatch, pin, 1, 0x409, ids), S_OK);
  EXPECT_EQ(ids[0], DISPID__User_PinCode);
  user->Release();
}

TEST_F(ComponentTest, BadCallsGetTheCodesCallersExpect) {
  IDispatch* user = Create<IDispatch>(CLSID_User, IID_IDispatch);
  KX4Variant result{};
  uint32_t arg_error = 99;
  EXPECT_EQ(Invoke(user, 0x12345, DISPATCH_METHOD, {}, &result), DISP_E_MEMBERNOTFOUND);
  // Authorized has no let, PinCode no get.
  EXPECT_EQ(Invoke(user, DISPID__User_Authorized, DISPATCH_PROPERTYPUT, {Long(1)}),
            DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(Invoke(user, DISPID__User_PinCode, DISPATCH_PROPERTYGET, {}, &result),
            DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(Invoke(user, DISPID__User_Load, DISPATCH_METHOD, {}, &result), DISP_E_BADPARAMCOUNT);
  EXPECT_EQ(Invoke(user, DISPID__User_Id, DISPATCH_PROPERTYGET, {Long(1)}, &result),
            DISP_E_BADPARAMCOUNT);
  EXPECT_EQ(Invoke(user, DISPID__User_Id, DISPATCH_PROPERTYPUT, {Text("seven")}, nullptr, nullptr,
                   &arg_error),
            DISP_E_TYPEMISMATCH);
  EXPECT_EQ(arg_error, 0u);

  IDispatch* paper = Create<IDispatch>(CLSID_PaperType, IID_IDispatch);
  EXPECT_EQ(Invoke(paper, DISPID__PaperType_CostModifier, DISPATCH_PROPERTYPUT, {Long(70000)}),
            DISP_E_OVERFLOW);
  // The session parameter must be a session.
  arg_error = 99;
  EXPECT_EQ(Invoke(user, DISPID__User_Load, DISPATCH_METHOD, {Long(0), Long(1)}, &result, nullptr,
                   &arg_error),
            DISP_E_TYPEMISMATCH);
  KX4Variant not_a_session{};
  not_a_session.vt = VT_DISPATCH;
  not_a_session.u.pdispVal = paper;
  arg_error = 99;
  EXPECT_EQ(Invoke(user, DISPID__User_Load, DISPATCH_METHOD, {not_a_session, Long(1)}, &result,
                   nullptr, &arg_error),
            DISP_E_TYPEMISMATCH);
  EXPECT_EQ(arg_error, 1u);  // rgvarg counts from the last argument
  paper->Release();
  user->Release();
}

TEST_F(ComponentTest, AFailedCallIsAFailingResultWithItsText) {
  IDispatch* job = Create<IDispatch>(CLSID_PrintJob, IID_IDispatch);
  // UnitMeasureId has no value until one is assigned: a failed call inside.
  KX4Variant result{};
  KX4ExcepInfo info{};
  ASSERT_EQ(Invoke(job, DISPID__PrintJob_UnitMeasureId, DISPATCH_PROPERTYGET, {}, &result, &info),
            DISP_E_EXCEPTION);
  EXPECT_EQ(info.scode, DISP_E_TYPEMISMATCH);
  EXPECT_FALSE(Read(info.description).empty());
  EXPECT_EQ(Read(info.source), "KXDataAccess.PrintJob");
  KX4ExcepInfoClear(&info);

  auto* early = reinterpret_cast<_PrintJob*>(job);
  int32_t unit = 0;
  EXPECT_EQ(early->get_UnitMeasureId(&unit), DISP_E_TYPEMISMATCH);
  ASSERT_EQ(KX4GetErrorInfo(&info), S_OK);
  EXPECT_FALSE(Read(info.description).empty());
  KX4ExcepInfoClear(&info);
  EXPECT_EQ(early->get_UnitMeasureId(nullptr), E_POINTER);
  ASSERT_EQ(early->put_UnitMeasureId(kxuSqFeet), S_OK);
  ASSERT_EQ(early->get_UnitMeasureId(&unit), S_OK);
  EXPECT_EQ(unit, kxuSqFeet);
  EXPECT_EQ(KX4GetErrorInfo(&info), S_FALSE);
  job->Release();
}

TEST_F(ComponentTest, ARefusedDataOperationSucceedsWithTheErrorObject) {
  // A session that was never authorised may do nothing: the refusal is an
  // error object, and the call itself succeeds.
  _KXData* session = Create<_KXData>(CLSID_KXData, IID__KXData);
  _User* user = Create<_User>(CLSID_User, IID__User);
  _KXError* error = nullptr;
  ASSERT_EQ(user->Save(&session, &error), S_OK);
  ASSERT_NE(error, nullptr);
  int16_t icon = 0;
  EXPECT_EQ(error->get_IconType(&icon), S_OK);
  EXPECT_EQ(icon, 48);
  error->Release();

  // Late bound, the same object arrives in the result.
  KX4Variant result{};
  KX4Variant by_ref{};
  by_ref.vt = VT_BYREF | VT_DISPATCH;
  by_ref.u.byref = &session;
  ASSERT_EQ(Invoke(reinterpret_cast<IDispatch*>(user), DISPID__User_Delete, DISPATCH_METHOD,
                   {by_ref}, &result),
            S_OK);
  ASSERT_EQ(result.vt, VT_DISPATCH);
  EXPECT_NE(result.u.pdispVal, nullptr);
  KX4VariantClear(&result);

  VARIANT_BOOL held = -1;
  EXPECT_EQ(session->CheckSecurity(kxsAdmin, &held), S_OK);
  EXPECT_EQ(held, 0);
  user->Release();
  session->Release();
}

TEST_F(ComponentTest, FunctionsWithoutParametersAndOptionalOnesLeftOut) {
  IDispatch* global = Create<IDispatch>(CLSID_DataGlobal, IID_IDispatch);
  KX4Variant result{};
  ASSERT_EQ(Invoke(global, DISPID__DataGlobal_DataAccessType, DISPATCH_METHOD, {}, &result), S_OK);
  EXPECT_EQ(result.vt, VT_I4);
  EXPECT_EQ(result.u.lVal, kxdSQLServer);
  ASSERT_EQ(Invoke(global, DISPID__DataGlobal_DataVersion, DISPATCH_METHOD, {}, &result), S_OK);
  EXPECT_EQ(Read(result.u.text), "4.1.14");
  KX4VariantClear(&result);

  // GetAuthorization with every parameter left out, on a session without a
  // database: the failure comes back as an error object.
  IDispatch* session = Create<IDispatch>(CLSID_KXData, IID_IDispatch);
  KX4Variant missing{};
  missing.vt = VT_ERROR;
  missing.u.scode = DISP_E_PARAMNOTFOUND;
  EXPECT_EQ(Invoke(session, DISPID__KXData_CheckSecurity, DISPATCH_METHOD, {missing}, &result),
            DISP_E_BADPARAMCOUNT);
  ASSERT_EQ(Invoke(session, DISPID__KXData_DatabaseInfo, DISPATCH_PROPERTYGET, {}, &result), S_OK);
  EXPECT_EQ(result.vt, VT_BSTR);
  KX4VariantClear(&result);
  session->Release();
  global->Release();
}

TEST_F(ComponentTest, ThePaperTypeCollectionCountsIndexesAndEnumerates) {
  IDispatch* configuration = Create<IDispatch>(CLSID_Configuration, IID_IDispatch);
  auto entries = FromPointer(configuration)->As<Configuration>().PaperTypes();
  for (const char* description : {"Letter", "Legal"}) {
    auto entry = std::make_shared<PaperType>();
    entry->SetDescription(description);
    entries->Add(entry);
  }
  _PaperTypeCollection* papers = nullptr;
  ASSERT_EQ(reinterpret_cast<_Configuration*>(configuration)->get_PaperTypes(&papers), S_OK);
  int32_t count = 0;
  ASSERT_EQ(papers->get_Count(&count), S_OK);
  EXPECT_EQ(count, 2);
  KX4Variant index = Long(2);
  _PaperType* second = nullptr;
  ASSERT_EQ(papers->get_Item(&index, &second), S_OK);
  KX4Text description{};
  ASSERT_EQ(second->get_Description(&description), S_OK);
  EXPECT_EQ(Read(description), "Legal");
  KX4TextFree(&description);
  // An entry changed through the collection is the configuration's entry.
  ASSERT_EQ(second->put_InCurrentConfig(-1), S_OK);
  EXPECT_TRUE(entries->Item(2)->InCurrentConfig());
  second->Release();
  index = Long(3);
  EXPECT_EQ(papers->get_Item(&index, &second), DISP_E_BADINDEX);

  IUnknown* unknown = nullptr;
  ASSERT_EQ(papers->get__NewEnum(&unknown), S_OK);
  IEnumVARIANT* enumerator = nullptr;
  ASSERT_EQ(unknown->QueryInterface(IID_IEnumVARIANT, reinterpret_cast<void**>(&enumerator)), S_OK);
  unknown->Release();
  KX4Variant items[3] = {};
  uint32_t fetched = 0;
  EXPECT_EQ(enumerator->Next(3, items, &fetched), S_FALSE);
  ASSERT_EQ(fetched, 2u);
  ASSERT_EQ(items[0].vt, VT_DISPATCH);
  ASSERT_EQ(reinterpret_cast<_PaperType*>(items[0].u.pdispVal)->get_Description(&description),
            S_OK);
  EXPECT_EQ(Read(description), "Letter");
  KX4TextFree(&description);
  KX4VariantClear(&items[0]);
  KX4VariantClear(&items[1]);
  EXPECT_EQ(enumerator->Reset(), S_OK);
  EXPECT_EQ(enumerator->Skip(1), S_OK);
  IEnumVARIANT* copy = nullptr;
  ASSERT_EQ(enumerator->Clone(&copy), S_OK);
  EXPECT_EQ(copy->Next(1, items, &fetched), S_OK);
  KX4VariantClear(&items[0]);
  EXPECT_EQ(copy->Skip(5), S_FALSE);
  copy->Release();
  enumerator->Release();
  papers->Release();
  configuration->Release();
}

TEST_F(ComponentTest, AnObjectRefusesCallsFromAnotherThread) {
  _User* user = Create<_User>(CLSID_User, IID__User);
  HRESULT early = S_OK;
  HRESULT late = S_OK;
  uint32_t refs = 0;
  std::thread other([&] {
    early = user->put_Id(5);
    KX4Variant result{};
    late = Invoke(user, DISPID__User_Id, DISPATCH_PROPERTYGET, {}, &result);
    refs = user->AddRef();
    user->Release();
  });
  other.join();
  EXPECT_EQ(early, RPC_E_WRONG_THREAD);
  EXPECT_EQ(late, RPC_E_WRONG_THREAD);
  EXPECT_EQ(refs, 2u);
  int32_t id = 0;
  ASSERT_EQ(user->get_Id(&id), S_OK);
  EXPECT_EQ(id, -1);  // the refused let changed nothing

  // A session belongs to its thread too, also as another object's argument.
  _KXData* session = nullptr;
  std::thread([&] { session = Create<_KXData>(CLSID_KXData, IID__KXData); }).join();
  ASSERT_NE(session, nullptr);
  _KXError* error = nullptr;
  EXPECT_EQ(user->Save(&session, &error), RPC_E_WRONG_THREAD);
  EXPECT_EQ(error, nullptr);
  session->Release();
  user->Release();
}

TEST_F(ComponentTest, VariantsCarryTextArraysAndReferences) {
  KX4Array* array = KX4ArrayCreate(1, 2);
  ASSERT_NE(array, nullptr);
  array->data[0] = Long(7);
  array->data[1].vt = VT_BSTR;
  array->data[1].u.text = KX4TextAlloc("x\0y", 3);
  KX4Variant value{};
  value.vt = VT_ARRAY | VT_VARIANT;
  value.u.parray = array;
  const Variant converted = FromC(value);
  ASSERT_TRUE(converted.IsArray());
  EXPECT_EQ(converted.Array().LBound(), 1);
  EXPECT_EQ(converted.Array()[2].ToString(), std::string("x\0y", 3));

  KX4Variant back{};
  Arg arg;
  arg.value = converted;
  ToC(arg, Type::kVariant, back);
  ASSERT_EQ(back.vt, VT_ARRAY | VT_VARIANT);
  EXPECT_EQ(back.u.parray->lbound, 1);
  EXPECT_EQ(back.u.parray->data[0].u.lVal, 7);
  KX4VariantClear(&back);
  KX4VariantClear(&value);

  int32_t target = 12;
  KX4Variant by_ref{};
  by_ref.vt = VT_BYREF | VT_I4;
  by_ref.u.byref = &target;
  EXPECT_EQ(FromC(by_ref).ToLong(), 12);
  KX4VariantClear(&by_ref);  // owns nothing
  EXPECT_EQ(target, 12);
}

}  // namespace
}  // namespace kx4::component
