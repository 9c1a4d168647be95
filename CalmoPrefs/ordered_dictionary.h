// OrderedDictionary: a dictionary that remembers the order in which its keys
// were added, so that reading its keys follows that order. The contact list
// holds its contacts in name order in one.
#pragma once

#include <QString>
#include <map>
#include <vector>

#include "platform/foundation/plist.h"

namespace calmoprefs {

// The text of a value for a description: a string as it is (no quotes), a
// dictionary as its description at `level`, anything else as its XML-free
// text form.
QString DescriptionForObject(platform::plist::Ref object, unsigned level);

class OrderedDictionary {
 public:
  OrderedDictionary() = default;
  explicit OrderedDictionary(size_t capacity) { array_.reserve(capacity); }

  // A new key goes last; an existing key keeps its place.
  void setObject(platform::plist::Value object, const QString& key);
  void removeObjectForKey(const QString& key);
  size_t count() const { return dictionary_.size(); }
  // An empty view for a key that is absent.
  platform::plist::Ref objectForKey(const QString& key) const;
  // Keys first to last, and last to first.
  const std::vector<QString>& keys() const { return array_; }
  std::vector<QString> reverseKeys() const { return {array_.rbegin(), array_.rend()}; }
  // Moves or adds the key to `index`, counted after a present key is
  // removed; an index past the end puts it last.
  void insertObject(platform::plist::Value object, const QString& key, size_t index);
  // The key at `index`; an empty text past the end.
  QString keyAtIndex(size_t index) const;
  // "{\n", one "    key = value;\n" per pair, "}\n", each line indented by
  // four spaces per level.
  QString descriptionWithIndent(unsigned level) const;

 private:
  std::map<QString, platform::plist::Value> dictionary_;
  std::vector<QString> array_;
};

}  // namespace calmoprefs
