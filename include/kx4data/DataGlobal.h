// The global query object: lists, counts, maintenance, the global switches
// and the settings object.  It holds no state; every data member runs its
// statements through the session passed as `pinsData`.
#ifndef KX4DATA_DATAGLOBAL_H_
#define KX4DATA_DATAGLOBAL_H_

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include <kx4data/Export.h>
#include <kx4data/KXEnums.h>
#include <kx4data/KXError.h>

namespace kx4 {

namespace ado {
class Recordset;
}  // namespace ado

class KXData;
class Settings;

class KX4DATA_API DataGlobal {
 public:
  // The loaded settings row in `pinsSettings`, or null with the error.
  [[nodiscard]] KXErrorPtr GetSettings(KXData& pinsData, std::shared_ptr<Settings>& pinsSettings);

  // The application security switches of the settings row.  Both outputs are
  // optional: leave out the trailing ones, or pass std::nullopt for the first
  // to read only the viewer's.  On failure neither output changes.
  [[nodiscard]] KXErrorPtr GetAppSecurity(KXData& pinsData);
  [[nodiscard]] KXErrorPtr GetAppSecurity(KXData& pinsData, bool& pblnSecureAdmin);
  [[nodiscard]] KXErrorPtr GetAppSecurity(KXData& pinsData, bool& pblnSecureAdmin,
                                          bool& pblnSecureViewer);
  [[nodiscard]] KXErrorPtr GetAppSecurity(KXData& pinsData, std::nullopt_t, bool& pblnSecureViewer);
  // Refuses to secure the administration program while no user holds
  // administrator rights; then neither switch changes.
  [[nodiscard]] KXErrorPtr SetAppSecurity(KXData& pinsData, bool pblnSecureAdmin,
                                          bool pblnSecureViewer);

  // Every paper type (only the active ones when `pblnActiveOnly`) in list
  // order: PaperTypeId, Description, Modifier (the default price modifier in
  // percent), Active, DefaultType, ListPosition.  The list lands in
  // `pinsPaperTypeList` also when the statement fails; test the error first.
  [[nodiscard]] KXErrorPtr GetPaperTypeList(KXData& pinsData,
                                            std::shared_ptr<ado::Recordset>& pinsPaperTypeList,
                                            bool pblnActiveOnly = false);

  // Always kxdSQLServer: the statements are written in its dialect.
  KXDataAccessType DataAccessType() const { return kxdSQLServer; }
  // This component's version as "major.minor.revision" (4.1.14).
  std::string DataVersion() const;
};

}  // namespace kx4

#endif  // KX4DATA_DATAGLOBAL_H_
