/* The component boundary: what a program that knows only identifiers and
 * entry points needs to create the library's objects and call them, from C
 * or C++.  The class-specific interfaces are generated from the library's
 * class table into <kx4data/KXDataAccess.h>, with the type description
 * KXDataAccess.idl installed beside the library.
 *
 * Ownership, everywhere at this boundary:
 *  - A text (KX4Text) or array (KX4Array) the library returns belongs to the
 *    caller, who frees it with KX4TextFree / KX4ArrayFree, or the variant
 *    holding it with KX4VariantClear.  Texts are UTF-8 and need not end in a
 *    zero byte, though the library's own always do.
 *  - Texts, arrays and variants the caller passes in stay the caller's; the
 *    library copies what it keeps.  A by-reference argument the library
 *    writes to is cleared (its old text, array or object released) first.
 *  - An interface pointer returned through an out-parameter carries one
 *    reference for the caller to Release; one passed in is borrowed.
 *  - KX4ExcepInfoClear frees the texts of an exception information.
 *
 * Threads: every object belongs to the thread that created it; a call from
 * another thread returns RPC_E_WRONG_THREAD.  AddRef and Release may come
 * from any thread. */
#ifndef KX4DATA_COMPONENT_H_
#define KX4DATA_COMPONENT_H_

#include <stdint.h>

#include <kx4data/Export.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef int32_t HRESULT;
typedef int32_t DISPID;
typedef uint32_t LCID;
typedef int16_t VARIANT_BOOL; /* -1 true, 0 false */
typedef int64_t KX4CY;        /* money: ten-thousandths */
typedef double KX4DATE;       /* days since 30 December 1899, time as the fraction */

typedef struct KX4GUID {
  uint32_t Data1;
  uint16_t Data2;
  uint16_t Data3;
  uint8_t Data4[8];
} GUID;
typedef GUID IID;
typedef GUID CLSID;

#define KX4_HR(x) ((HRESULT)(x))
#define S_OK KX4_HR(0)
#define S_FALSE KX4_HR(1)
#define E_NOTIMPL KX4_HR(0x80004001u)
#define E_NOINTERFACE KX4_HR(0x80004002u)
#define E_POINTER KX4_HR(0x80004003u)
#define E_FAIL KX4_HR(0x80004005u)
#define E_UNEXPECTED KX4_HR(0x8000FFFFu)
#define E_OUTOFMEMORY KX4_HR(0x8007000Eu)
#define E_INVALIDARG KX4_HR(0x80070057u)
#define CLASS_E_NOAGGREGATION KX4_HR(0x80040110u)
#define CLASS_E_CLASSNOTAVAILABLE KX4_HR(0x80040111u)
#define SELFREG_E_CLASS KX4_HR(0x80040201u)
#define SELFREG_E_TYPELIB KX4_HR(0x80040200u)
#define RPC_E_WRONG_THREAD KX4_HR(0x8001010Eu)
#define DISP_E_UNKNOWNINTERFACE KX4_HR(0x80020001u)
#define DISP_E_MEMBERNOTFOUND KX4_HR(0x80020003u)
#define DISP_E_PARAMNOTFOUND KX4_HR(0x80020004u)
#define DISP_E_TYPEMISMATCH KX4_HR(0x80020005u)
#define DISP_E_UNKNOWNNAME KX4_HR(0x80020006u)
#define DISP_E_EXCEPTION KX4_HR(0x80020009u)
#define DISP_E_OVERFLOW KX4_HR(0x8002000Au)
#define DISP_E_BADINDEX KX4_HR(0x8002000Bu)
#define DISP_E_BADPARAMCOUNT KX4_HR(0x8002000Eu)
#define DISP_E_PARAMNOTOPTIONAL KX4_HR(0x8002000Fu)
#define KX4_FAILED(hr) ((HRESULT)(hr) < 0)

/* Invoke's kinds of call. */
#define DISPATCH_METHOD 0x1
#define DISPATCH_PROPERTYGET 0x2
#define DISPATCH_PROPERTYPUT 0x4
#define DISPATCH_PROPERTYPUTREF 0x8
#define DISPID_VALUE 0
#define DISPID_UNKNOWN (-1)
#define DISPID_PROPERTYPUT (-3)
#define DISPID_NEWENUM (-4)

/* Variant type codes; VT_ARRAY and VT_BYREF combine with a base code. */
enum KX4VarType {
  VT_EMPTY = 0,
  VT_NULL = 1,
  VT_I2 = 2,
  VT_I4 = 3,
  VT_R4 = 4,
  VT_R8 = 5,
  VT_CY = 6,
  VT_DATE = 7,
  VT_BSTR = 8, /* text: KX4Text */
  VT_DISPATCH = 9,
  VT_ERROR = 10,
  VT_BOOL = 11,
  VT_VARIANT = 12,
  VT_UNKNOWN = 13,
  VT_UI1 = 17,
  VT_ARRAY = 0x2000,
  VT_BYREF = 0x4000
};

typedef struct KX4Text {
  char* ptr; /* UTF-8; null for the empty text */
  uint32_t len;
} KX4Text;

typedef struct KX4Variant KX4Variant;
typedef struct KX4Array KX4Array;

#ifdef __cplusplus
struct IUnknown;
struct IDispatch;
#else
typedef struct IUnknown IUnknown;
typedef struct IDispatch IDispatch;
#endif

/* The tagged value of arguments and results.  With VT_BYREF, `byref` (or
 * one of the typed pointers) points to the caller's storage of the base
 * type; VT_BYREF | VT_VARIANT points to another variant. */
struct KX4Variant {
  uint16_t vt;
  uint16_t reserved1;
  uint32_t reserved2;
  union {
    int16_t iVal;
    int32_t lVal;
    float fltVal;
    double dblVal;
    KX4CY cyVal;
    KX4DATE date;
    VARIANT_BOOL boolVal;
    uint8_t bVal;
    HRESULT scode;
    KX4Text text;
    struct IDispatch* pdispVal;
    struct IUnknown* punkVal;
    KX4Array* parray; /* VT_ARRAY | VT_VARIANT */
    KX4Variant* pvarVal;
    void* byref;
  } u;
};

/* A one-dimensional array of variants addressed from `lbound`. */
struct KX4Array {
  int32_t lbound;
  uint32_t count;
  KX4Variant* data;
};

typedef struct KX4ExcepInfo {
  uint16_t wCode;
  uint16_t wReserved;
  KX4Text source;
  KX4Text description;
  KX4Text helpFile;
  uint32_t helpContext;
  void* pvReserved;
  void* pfnDeferredFillIn;
  HRESULT scode;
} KX4ExcepInfo;

/* Arguments of Invoke, the last one first, as COM orders them. */
typedef struct KX4DispParams {
  KX4Variant* rgvarg;
  DISPID* rgdispidNamedArgs;
  uint32_t cArgs;
  uint32_t cNamedArgs;
} KX4DispParams;

/* The identifiers of the standard interfaces. */
static const IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xc0, 0, 0, 0, 0, 0, 0, 0x46}};
static const IID IID_IDispatch = {0x00020400, 0x0000, 0x0000, {0xc0, 0, 0, 0, 0, 0, 0, 0x46}};
static const IID IID_IClassFactory = {0x00000001, 0x0000, 0x0000, {0xc0, 0, 0, 0, 0, 0, 0, 0x46}};
static const IID IID_IEnumVARIANT = {0x00020404, 0x0000, 0x0000, {0xc0, 0, 0, 0, 0, 0, 0, 0x46}};

#ifdef __cplusplus
}  // extern "C"

// Abstract classes with only pure virtual functions and no virtual
// destructor: their virtual tables have COM's layout.
struct IUnknown {
  virtual HRESULT QueryInterface(const IID& riid, void** ppv) = 0;
  virtual uint32_t AddRef() = 0;
  virtual uint32_t Release() = 0;
};

struct IDispatch : IUnknown {
  virtual HRESULT GetTypeInfoCount(uint32_t* pctinfo) = 0;
  virtual HRESULT GetTypeInfo(uint32_t iTInfo, LCID lcid, void** ppTInfo) = 0;
  // Names are UTF-8.
  virtual HRESULT GetIDsOfNames(const IID& riid, const char* const* rgszNames, uint32_t cNames,
                                LCID lcid, DISPID* rgDispId) = 0;
  virtual HRESULT Invoke(DISPID dispIdMember, const IID& riid, LCID lcid, uint16_t wFlags,
                         KX4DispParams* pDispParams, KX4Variant* pVarResult,
                         KX4ExcepInfo* pExcepInfo, uint32_t* puArgErr) = 0;
};

struct IClassFactory : IUnknown {
  virtual HRESULT CreateInstance(IUnknown* pUnkOuter, const IID& riid, void** ppv) = 0;
  virtual HRESULT LockServer(int32_t fLock) = 0;
};

struct IEnumVARIANT : IUnknown {
  virtual HRESULT Next(uint32_t celt, KX4Variant* rgVar, uint32_t* pCeltFetched) = 0;
  virtual HRESULT Skip(uint32_t celt) = 0;
  virtual HRESULT Reset() = 0;
  virtual HRESULT Clone(IEnumVARIANT** ppEnum) = 0;
};

extern "C" {
#else
typedef struct IClassFactory IClassFactory;
typedef struct IEnumVARIANT IEnumVARIANT;

typedef struct IUnknownVtbl {
  HRESULT (*QueryInterface)(IUnknown* self, const IID* riid, void** ppv);
  uint32_t (*AddRef)(IUnknown* self);
  uint32_t (*Release)(IUnknown* self);
} IUnknownVtbl;
struct IUnknown {
  const IUnknownVtbl* lpVtbl;
};

typedef struct IDispatchVtbl {
  HRESULT (*QueryInterface)(IDispatch* self, const IID* riid, void** ppv);
  uint32_t (*AddRef)(IDispatch* self);
  uint32_t (*Release)(IDispatch* self);
  HRESULT (*GetTypeInfoCount)(IDispatch* self, uint32_t* pctinfo);
  HRESULT (*GetTypeInfo)(IDispatch* self, uint32_t iTInfo, LCID lcid, void** ppTInfo);
  HRESULT(*GetIDsOfNames)
  (IDispatch* self, const IID* riid, const char* const* rgszNames, uint32_t cNames, LCID lcid,
   DISPID* rgDispId);
  HRESULT(*Invoke)
  (IDispatch* self, DISPID dispIdMember, const IID* riid, LCID lcid, uint16_t wFlags,
   KX4DispParams* pDispParams, KX4Variant* pVarResult, KX4ExcepInfo* pExcepInfo,
   uint32_t* puArgErr);
} IDispatchVtbl;
struct IDispatch {
  const IDispatchVtbl* lpVtbl;
};

typedef struct IClassFactoryVtbl {
  HRESULT (*QueryInterface)(IClassFactory* self, const IID* riid, void** ppv);
  uint32_t (*AddRef)(IClassFactory* self);
  uint32_t (*Release)(IClassFactory* self);
  HRESULT (*CreateInstance)(IClassFactory* self, IUnknown* pUnkOuter, const IID* riid, void** ppv);
  HRESULT (*LockServer)(IClassFactory* self, int32_t fLock);
} IClassFactoryVtbl;
struct IClassFactory {
  const IClassFactoryVtbl* lpVtbl;
};

typedef struct IEnumVARIANTVtbl {
  HRESULT (*QueryInterface)(IEnumVARIANT* self, const IID* riid, void** ppv);
  uint32_t (*AddRef)(IEnumVARIANT* self);
  uint32_t (*Release)(IEnumVARIANT* self);
  HRESULT (*Next)(IEnumVARIANT* self, uint32_t celt, KX4Variant* rgVar, uint32_t* pCeltFetched);
  HRESULT (*Skip)(IEnumVARIANT* self, uint32_t celt);
  HRESULT (*Reset)(IEnumVARIANT* self);
  HRESULT (*Clone)(IEnumVARIANT* self, IEnumVARIANT** ppEnum);
} IEnumVARIANTVtbl;
struct IEnumVARIANT {
  const IEnumVARIANTVtbl* lpVtbl;
};
#endif

/* The four entry points of an in-process server.  DllRegisterServer writes
 * the class, programmatic-identifier, interface and type-library entries
 * into HKEY_CLASSES_ROOT; DllUnregisterServer removes exactly those. */
KX4DATA_API HRESULT DllCanUnloadNow(void);
KX4DATA_API HRESULT DllGetClassObject(const CLSID* rclsid, const IID* riid, void** ppv);
KX4DATA_API HRESULT DllRegisterServer(void);
KX4DATA_API HRESULT DllUnregisterServer(void);

/* A copy of `len` bytes of `utf8` (which may be null when len is 0). */
KX4DATA_API KX4Text KX4TextAlloc(const char* utf8, uint32_t len);
KX4DATA_API void KX4TextFree(KX4Text* text);
/* `count` empty variants from `lbound`; null when out of memory. */
KX4DATA_API KX4Array* KX4ArrayCreate(int32_t lbound, uint32_t count);
KX4DATA_API void KX4ArrayFree(KX4Array* array);
KX4DATA_API void KX4VariantInit(KX4Variant* value);
/* Frees what the variant owns (text, array, a reference) and makes it
 * empty; by-reference variants own nothing. */
KX4DATA_API void KX4VariantClear(KX4Variant* value);
KX4DATA_API void KX4ExcepInfoClear(KX4ExcepInfo* info);
/* The description of the last failed call on this thread, made through a
 * virtual table (Invoke reports it in its exception information): S_OK and
 * the texts, or S_FALSE when the last call did not fail. */
KX4DATA_API HRESULT KX4GetErrorInfo(KX4ExcepInfo* info);

#ifdef __cplusplus
}  // extern "C"
#endif

#endif /* KX4DATA_COMPONENT_H_ */
