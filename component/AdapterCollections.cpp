// Adapters of Configuration with its paper-type collection, and of record
// sets with their fields: the objects the library hands out.
#include <kx4data/Configuration.h>
#include <kx4data/PaperTypeCollection.h>
#include <kx4data/RuntimeError.h>

#include "component/AdapterSupport.h"

namespace kx4::component {

namespace {

constexpr Adapter kConfigurationAdapters[] = {
    KX4_LET_GET(Configuration, Name),
    KX4_GET_LET(Configuration, TrackOptionId),
    KX4_LET_GET(Configuration, UnitMeasureId),
    KX4_GET(Configuration, UnitDesc),
    KX4_LET_GET(Configuration, UnitCost),
    KX4_LET_GET(Configuration, MaxPages),
    KX4_LET_GET(Configuration, ColorModifier),
    KX4_LET_GET(Configuration, Active),
    KX4_LET_GET(Configuration, Id),
    KX4_GET_WITH(PaperTypes,
                 [](Object& self, Call& call) {
                   call.ReturnObject(
                       MakeObject(kIPaperTypeCollection, self.As<Configuration>().PaperTypes()));
                 }),
    KX4_LET_GET(Configuration, MaxError),
    KX4_OPERATION(Configuration, Save),
    KX4_OPERATION(Configuration, SetAsUnlistedPrinterConfig),
    KX4_METHOD(Load,
               [](Object& self, Call& call) {
                 call.ReturnError(self.As<Configuration>().Load(call.Session(0), call.I4(1)));
               }),
    KX4_OPERATION(Configuration, LoadUnlistedPrinterConfig),
    KX4_OPERATION(Configuration, Delete),
    KX4_OPERATION(Configuration, ResetPaperTypes),
};

// IEnumVARIANT over a paper-type collection: each entry as a _PaperType.
class PaperTypeEnumerator final : public CountedUnknown<PaperTypeEnumerator, IEnumVARIANT> {
 public:
  static constexpr const IID& kIid = IID_IEnumVARIANT;

  PaperTypeEnumerator(std::shared_ptr<PaperTypeCollection> entries, int32_t next)
      : entries_(std::move(entries)), next_(next) {}

  HRESULT Next(uint32_t count, KX4Variant* values, uint32_t* fetched) override {
    if (owner_ != std::this_thread::get_id())
      return RPC_E_WRONG_THREAD;
    if (values == nullptr && count != 0)
      return E_POINTER;
    uint32_t n = 0;
    try {
      for (; n < count && next_ <= entries_->Count(); ++n, ++next_) {
        Arg entry;
        entry.object = MakeObject(kIPaperType, entries_->Item(next_));
        KX4VariantInit(&values[n]);
        ToC(entry, Type::kObject, values[n]);
      }
    } catch (...) {
      for (uint32_t i = 0; i < n; ++i)
        KX4VariantClear(&values[i]);
      return E_OUTOFMEMORY;
    }
    if (fetched != nullptr)
      *fetched = n;
    return n == count ? S_OK : S_FALSE;
  }
  HRESULT Skip(uint32_t count) override {
    if (owner_ != std::this_thread::get_id())
      return RPC_E_WRONG_THREAD;
    const int64_t target = int64_t{next_} + count;
    next_ = static_cast<int32_t>(std::min<int64_t>(target, int64_t{entries_->Count()} + 1));
    return target <= entries_->Count() + 1 ? S_OK : S_FALSE;
  }
  HRESULT Reset() override {
    if (owner_ != std::this_thread::get_id())
      return RPC_E_WRONG_THREAD;
    next_ = 1;
    return S_OK;
  }
  HRESULT Clone(IEnumVARIANT** copy) override {
    if (owner_ != std::this_thread::get_id())
      return RPC_E_WRONG_THREAD;
    if (copy == nullptr)
      return E_POINTER;
    *copy = new (std::nothrow) PaperTypeEnumerator(entries_, next_);
    return *copy ? S_OK : E_OUTOFMEMORY;
  }

 private:
  friend class CountedUnknown<PaperTypeEnumerator, IEnumVARIANT>;
  ~PaperTypeEnumerator() = default;

  std::thread::id owner_ = std::this_thread::get_id();
  std::shared_ptr<PaperTypeCollection> entries_;
  int32_t next_;  // 1-based, as the collection counts
};

constexpr Adapter kPaperTypeCollectionAdapters[] = {
    KX4_GET_WITH(Item,
                 [](Object& self, Call& call) {
                   const auto& entry = self.As<PaperTypeCollection>().Item(call.Var(0).ToLong());
                   call.ReturnObject(MakeObject(kIPaperType, entry));
                 }),
    KX4_GET_WITH(Count,
                 [](Object& self, Call& call) {
                   call.Return(Variant(self.As<PaperTypeCollection>().Count()));
                 }),
    KX4_GET_WITH(
        _NewEnum,
        [](Object& self, Call& call) {
          auto* enumerator = new PaperTypeEnumerator(self.Shared<PaperTypeCollection>(), 1);
          call.ReturnUnknown(reinterpret_cast<AnyUnknown*>(static_cast<IUnknown*>(enumerator)));
        }),
};

// --- Record sets ---

ado::Recordset& Records(Object& self) {
  return self.As<ado::Recordset>();
}

constexpr Adapter kRecordsetAdapters[] = {
    KX4_GET_WITH(Fields, [](Object& self,
                            Call& call) { call.ReturnObject(MakeObject(kIFields, self.target)); }),
    KX4_GET_WITH(BOF, [](Object& self, Call& call) { call.Return(Variant(Records(self).Bof())); }),
    KX4_GET_WITH(EOF, [](Object& self, Call& call) { call.Return(Variant(Records(self).Eof())); }),
    KX4_GET_WITH(
        RecordCount,
        [](Object& self, Call& call) { call.Return(Variant(Records(self).RecordCount())); }),
    KX4_GET_WITH(State,
                 [](Object& self, Call& call) { call.Return(Variant(Records(self).State())); }),
    KX4_METHOD(MoveFirst, [](Object& self, Call&) { Records(self).MoveFirst(); }),
    KX4_METHOD(MoveNext, [](Object& self, Call&) { Records(self).MoveNext(); }),
    KX4_METHOD(MovePrevious, [](Object& self, Call&) { Records(self).MovePrevious(); }),
    KX4_METHOD(MoveLast, [](Object& self, Call&) { Records(self).MoveLast(); }),
    KX4_METHOD(Close, [](Object& self, Call&) { Records(self).Close(); }),
};

// The column `index` names: a number counts from 0, a text is a field name.
int32_t ColumnOf(const ado::Recordset& records, const Variant& index) {
  if (!index.IsString()) {
    const int32_t column = index.ToLong();
    records.Fields(column);  // throws when there is no such column
    return column;
  }
  const std::string& name = records.Fields(index.ToString()).Name();
  for (int32_t column = 0; column < records.FieldCount(); ++column) {
    if (records.Fields(column).Name() == name)
      return column;
  }
  throw RuntimeError(kErrSubscriptOutOfRange, "Item cannot be found in the collection");
}

constexpr Adapter kFieldsAdapters[] = {
    KX4_GET_WITH(Item,
                 [](Object& self, Call& call) {
                   const int32_t column = ColumnOf(Records(self), call.Var(0));
                   call.ReturnObject(MakeObject(kIField, self.target, column));
                 }),
    KX4_GET_WITH(
        Count, [](Object& self, Call& call) { call.Return(Variant(Records(self).FieldCount())); }),
};

constexpr Adapter kFieldAdapters[] = {
    KX4_GET_WITH(Value, [](Object& self,
                           Call& call) { call.Return(Records(self).Fields(self.index).Value()); }),
    KX4_GET_WITH(Name,
                 [](Object& self, Call& call) {
                   call.Return(Variant(Records(self).Fields(self.index).Name()));
                 }),
    KX4_GET_WITH(Type,
                 [](Object& self, Call& call) {
                   call.Return(Variant(Records(self).Fields(self.index).Type()));
                 }),
};

}  // namespace

KX4_BINDING(kIConfiguration, kConfigurationAdapters);
KX4_BINDING(kIPaperTypeCollection, kPaperTypeCollectionAdapters);
KX4_BINDING(kIRecordset, kRecordsetAdapters);
KX4_BINDING(kIFields, kFieldsAdapters);
KX4_BINDING(kIField, kFieldAdapters);

}  // namespace kx4::component
