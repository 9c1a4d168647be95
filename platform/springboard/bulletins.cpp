#include "platform/springboard/bulletins.h"

#include "platform/springboard/class_helpers.h"

namespace platform::springboard {
namespace {
runtime::Id& serverStorage() {
  static runtime::Id server;
  return server;
}
}  // namespace

void registerBulletins(DeviceRecord& record) {
  runtime::Class* content = runtime::registerClass("BBContent");
  getter(content, "title", &BBContent::title);
  getter(content, "subtitle", &BBContent::subtitle);
  getter(content, "message", &BBContent::message);

  runtime::Class* bulletin = runtime::registerClass("BBBulletin");
  getter(bulletin, "sectionID", &BBBulletin::sectionID);
  getter(bulletin, "content", &BBBulletin::content);
  getter(bulletin, "date", &BBBulletin::date);

  runtime::Class* server = runtime::registerClass("BBServer");
  runtime::defineMethod<void, runtime::Id, uint64_t>(
      server, "publishBulletin:destinations:", [&record](const runtime::Id&, runtime::Id b, uint64_t) {
        PublishedBulletin out;
        if (auto bb = runtime::as<BBBulletin>(b)) {
          out.section = bb->sectionID.value_or("");
          if (auto c = runtime::as<BBContent>(bb->content)) {
            out.title = c->title.value_or("");
            out.subtitle = c->subtitle.value_or("");
            out.message = c->message.value_or("");
          }
        }
        record.bulletinPublished(std::move(out));
      });
  serverStorage() = std::make_shared<runtime::Object>(server);
}

runtime::Id makeBulletin(const BulletinDescription& d) {
  auto content = std::make_shared<BBContent>(runtime::getClass("BBContent"));
  content->title = d.title;
  content->subtitle = d.subtitle;
  content->message = d.message;
  auto b = std::make_shared<BBBulletin>(runtime::getClass("BBBulletin"));
  b->sectionID = d.section;
  b->content = content;
  b->date = d.date;
  return b;
}

runtime::Id bulletinServer() { return serverStorage(); }

}  // namespace platform::springboard
