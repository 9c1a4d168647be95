// Bulletins and the bulletin server that publishes them.
#pragma once

#include "platform/runtime/runtime.h"
#include "platform/springboard/device_record.h"
#include "platform/foundation/host_values.h"

namespace host {

class BBContent : public rt::Object {
 public:
  using rt::Object::Object;
  Text title, subtitle, message;
};

class BBBulletin : public rt::Object {
 public:
  using rt::Object::Object;
  Text sectionID;
  rt::Id content;
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

rt::Id makeBulletin(const BulletinDescription& d);
rt::Id bulletinServer();

}  // namespace host
