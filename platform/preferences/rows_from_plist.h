// Specifier plists: a dictionary whose "items" array holds one dictionary
// per row ("cell", "label", "key", "default", "detail", "action", ...).
// Every entry of an item lands in the row's property table.
#pragma once

#include <vector>

#include "platform/foundation/plist.h"
#include "platform/preferences/bundle.h"
#include "platform/preferences/row.h"

namespace platform::preferences {

// The rows of a specifier plist, bound to `target`; "icon" names an image
// of `bundle` (may be null). An item that is not a dictionary or names no
// known cell is left out with a diagnostic line; `source` names the plist
// in those lines.
std::vector<PSSpecifierPtr> specifiersFromPlist(plist::Ref root, PSListController* target, const NSBundle* bundle,
                                                std::string_view source);

}  // namespace platform::preferences
