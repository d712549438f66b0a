// Every interface's binding, by its index in the class table.
#include <iterator>

#include "component/Object.h"

namespace kx4::component {

extern const Binding kIKXErrorBinding;
extern const Binding kIKXEnumsBinding;
extern const Binding kISettingsBinding;
extern const Binding kIUserBinding;
extern const Binding kIValidatedValueBinding;
extern const Binding kIPrinterBinding;
extern const Binding kIPaperTypeBinding;
extern const Binding kIConfigurationBinding;
extern const Binding kIAppTrackBinding;
extern const Binding kIAccountingBinding;
extern const Binding kIKXDataBinding;
extern const Binding kIPrintJobBinding;
extern const Binding kIDataGlobalBinding;
extern const Binding kIRecordsetBinding;
extern const Binding kIFieldsBinding;
extern const Binding kIFieldBinding;
extern const Binding kIPaperTypeCollectionBinding;

const Binding& BindingOf(InterfaceIndex index) {
  static const Binding* const kBindings[] = {
      &kIKXErrorBinding,
      &kIKXEnumsBinding,
      &kISettingsBinding,
      &kIUserBinding,
      &kIValidatedValueBinding,
      &kIPrinterBinding,
      &kIPaperTypeBinding,
      &kIConfigurationBinding,
      &kIAppTrackBinding,
      &kIAccountingBinding,
      &kIKXDataBinding,
      &kIPrintJobBinding,
      &kIDataGlobalBinding,
      &kIRecordsetBinding,
      &kIFieldsBinding,
      &kIFieldBinding,
      &kIPaperTypeCollectionBinding,
  };
  static_assert(std::size(kBindings) == kInterfaceCount);
  return *kBindings[index];
}

}  // namespace kx4::component
