#include "platform/springboard/opened_requests.h"

#include "platform/apps/app_registry.h"
#include "platform/foundation/log.h"
#include "platform/phoneapps/requests.h"

namespace platform::springboard {

namespace {
constexpr size_t kMaxTitle = 4096;
}

OpenedRequests::OpenedRequests(Opened opened) : opened_(std::move(opened)) {
  token_ = defaultCenter().addObserver(phoneapps::kMarkOpenedSignal,
                                       [this](const Notification& n) { handle(n.userInfo); });
}

OpenedRequests::~OpenedRequests() { defaultCenter().removeObserver(token_); }

void OpenedRequests::handle(const UserInfo& request) {
  auto bundle = request.find(std::string(phoneapps::kBundleKey));
  auto title = request.find(std::string(phoneapps::kTitleKey));
  if (bundle == request.end() || !platform::apps::isValidBundleIdentifier(bundle->second) ||
      (title != request.end() && title->second.size() > kMaxTitle)) {
    log("springboard: a request to mark notifications opened without a valid bundle or with a title past ",
        kMaxTitle, " bytes; dropped");
    return;
  }
  std::optional<std::string> only;
  if (title != request.end()) only = title->second;
  if (opened_) opened_(bundle->second, only);
}

}  // namespace platform::springboard
