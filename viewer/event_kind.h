// What tells the two logs' screens apart: calls and notifications are shown
// by the same code, each with its own names.
#pragma once

#include <string_view>

namespace calmora::viewer {

struct EventKind {
  std::string_view logPath;
  const char* tabTitle;
  std::string_view tabImage;
  std::string_view unreadRequest;
  std::string_view unreadReply;
  const char* navigationTitle;
  std::string_view markAll;
  std::string_view markOne;
  const char* refreshLogLine;
  bool isNotification;
  const char* emptyText;  // what an empty list says
};

const EventKind& callsKind();
const EventKind& notificationsKind();

}  // namespace calmora::viewer
