#include "platform/springboard/bulletins.h"

#include "platform/springboard/class_helpers.h"

namespace host {
namespace {
rt::Id& serverStorage() {
  static rt::Id server;
  return server;
}
}  // namespace

void registerBulletins(DeviceRecord& record) {
  rt::Class* content = rt::registerClass("BBContent");
  getter(content, "title", &BBContent::title);
  getter(content, "subtitle", &BBContent::subtitle);
  getter(content, "message", &BBContent::message);

  rt::Class* bulletin = rt::registerClass("BBBulletin");
  getter(bulletin, "sectionID", &BBBulletin::sectionID);
  getter(bulletin, "content", &BBBulletin::content);
  getter(bulletin, "date", &BBBulletin::date);

  rt::Class* server = rt::registerClass("BBServer");
  rt::defineMethod<void, rt::Id, uint64_t>(
      server, "publishBulletin:destinations:", [&record](const rt::Id&, rt::Id b, uint64_t) {
        PublishedBulletin out;
        if (auto bb = rt::as<BBBulletin>(b)) {
          out.section = bb->sectionID.value_or("");
          if (auto c = rt::as<BBContent>(bb->content)) {
            out.title = c->title.value_or("");
            out.subtitle = c->subtitle.value_or("");
            out.message = c->message.value_or("");
          }
        }
        record.bulletinPublished(std::move(out));
      });
  serverStorage() = std::make_shared<rt::Object>(server);
}

rt::Id makeBulletin(const BulletinDescription& d) {
  auto content = std::make_shared<BBContent>(rt::getClass("BBContent"));
  content->title = d.title;
  content->subtitle = d.subtitle;
  content->message = d.message;
  auto b = std::make_shared<BBBulletin>(rt::getClass("BBBulletin"));
  b->sectionID = d.section;
  b->content = content;
  b->date = d.date;
  return b;
}

rt::Id bulletinServer() { return serverStorage(); }

}  // namespace host
