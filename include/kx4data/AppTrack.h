// An application whose print jobs get a tracking option of their own: one row
// of tblApplications.
#ifndef KX4DATA_APPTRACK_H_
#define KX4DATA_APPTRACK_H_

#include <cstdint>
#include <string>

#include <kx4data/Export.h>
#include <kx4data/KXEnums.h>
#include <kx4data/KXError.h>

namespace kx4 {

class KXData;

class KX4DATA_API AppTrack {
 public:
  // -1 until the row is stored.
  int32_t Id() const { return id_; }
  void SetId(int32_t value) { id_ = value; }
  const std::string& Name() const { return name_; }
  void SetName(const std::string& value);  // blanks trimmed
  const std::string& Description() const { return description_; }
  void SetDescription(const std::string& value);  // blanks trimmed
  // Not validated: any 32-bit number is stored as it is.
  KXTrackStatus TrackOptionId() const { return track_option_id_; }
  void SetTrackOptionId(KXTrackStatus value) { track_option_id_ = value; }

  // The id comes first here, unlike every other record class.
  [[nodiscard]] KXErrorPtr Load(int32_t plngId, KXData& pinsData);
  // Inserts when Id is -1 (Id then holds the new key), else updates.
  [[nodiscard]] KXErrorPtr Save(KXData& pinsData);
  [[nodiscard]] KXErrorPtr Delete(KXData& pinsData);

 private:
  int32_t id_ = -1;
  std::string name_;
  std::string description_;
  KXTrackStatus track_option_id_ = kxtPopup;
};

}  // namespace kx4

#endif  // KX4DATA_APPTRACK_H_
