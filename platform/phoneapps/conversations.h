// The messaging apps' screens over the notifications delivered to their
// bundle: conversations (one per sender, newest first, unread ones marked
// with a dot until opened) and a conversation's messages as bubbles, oldest
// at the top. Opening a conversation asks the home screen to mark it opened,
// which also takes it off the app's badge.
#pragma once

#include <set>
#include <memory>
#include <string>
#include <vector>

#include "platform/phoneapps/records_feed.h"
#include "platform/uikit/table_view_controller.h"

namespace platform::phoneapps {

struct Conversation {
  QString title;                      // the sender
  std::vector<MessageEntry> messages;  // oldest first
  bool unread = false;
};

// Groups messages (newest first, as read) by sender; newest conversation first.
std::vector<Conversation> conversationsOf(const std::vector<MessageEntry>& newestFirst);

class ConversationsController : public uikit::UITableViewController {
 public:
  ConversationsController(std::string bundle, QString title);
  void viewDidLoad() override;
  void viewWillAppear(bool animated) override;
  int numberOfRowsInSection(uikit::UITableView&, int) override { return int(conversations_.size()); }
  uikit::UITableViewCellPtr cellForRowAtIndexPath(uikit::UITableView& table, uikit::NSIndexPath path) override;
  void didSelectRowAtIndexPath(uikit::UITableView& table, uikit::NSIndexPath path) override;
  void reload();

 private:
  std::string bundle_;
  std::vector<Conversation> conversations_;
  // Opened here; shown read before the home screen has written it.
  std::set<QString> opened_;
  std::unique_ptr<RecordsWatch> watch_;
};

class ConversationController : public uikit::UITableViewController {
 public:
  ConversationController(std::string bundle, Conversation conversation);
  void viewDidLoad() override;
  void viewDidAppear(bool animated) override;
  int numberOfRowsInSection(uikit::UITableView&, int) override { return int(conversation_.messages.size()); }
  uikit::UITableViewCellPtr cellForRowAtIndexPath(uikit::UITableView& table, uikit::NSIndexPath path) override;

 private:
  std::string bundle_;
  Conversation conversation_;
};

}  // namespace platform::phoneapps
