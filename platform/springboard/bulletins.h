// Bulletins and the bulletin server that publishes them.
#pragma once

#include "platform/runtime/runtime.h"
#include "platform/springboard/device_record.h"
#include "platform/foundation/host_values.h"

namespace platform::springboard {

class BBContent : public runtime::Object {
 public:
  using runtime::Object::Object;
  Text title, subtitle, message;
};

class BBBulletin : public runtime::Object {
 public:
  using runtime::Object::Object;
  Text sectionID;
  runtime::Id content;
  // The bulletin's date as seconds since 1970 (an NSDate); absent for none.
  std::optional<double> date;
};

struct BulletinDescription {
  Text section;
  Text title, subtitle, message;
  std::optional<double> date;  // seconds since 1970
};

// Registers BBServer, BBBulletin and BBContent. The server's own publishing
// records each bulletin it is handed.
void registerBulletins(DeviceRecord& record);

runtime::Id makeBulletin(const BulletinDescription& d);
runtime::Id bulletinServer();

}  // namespace platform::springboard
