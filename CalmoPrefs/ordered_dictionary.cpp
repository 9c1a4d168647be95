#include "CalmoPrefs/ordered_dictionary.h"

#include <algorithm>

namespace calmoprefs {

namespace plist = platform::plist;

namespace {

QString describeDictionary(plist::Ref dict, unsigned level) {
  QString indent(4 * level, QLatin1Char(' '));
  QString text = indent + "{\n";
  for (const auto& key : dict.keys())
    text += indent + "    " + QString::fromStdString(key) + " = " + DescriptionForObject(dict[key], level) + ";\n";
  return text + indent + "}\n";
}

}  // namespace

QString DescriptionForObject(plist::Ref object, unsigned level) {
  if (!object) return "(null)";
  if (object.isDict()) return describeDictionary(object, level);
  if (auto text = object.text()) return QString::fromStdString(*text);
  return QString::fromStdString(plist::toXml(object));
}

void OrderedDictionary::setObject(plist::Value object, const QString& key) {
  auto found = dictionary_.find(key);
  if (found == dictionary_.end()) {
    array_.push_back(key);
    dictionary_.emplace(key, std::move(object));
  } else {
    found->second = std::move(object);
  }
}

void OrderedDictionary::removeObjectForKey(const QString& key) {
  if (dictionary_.erase(key)) array_.erase(std::find(array_.begin(), array_.end(), key));
}

plist::Ref OrderedDictionary::objectForKey(const QString& key) const {
  auto found = dictionary_.find(key);
  return found == dictionary_.end() ? plist::Ref() : found->second.ref();
}

void OrderedDictionary::insertObject(plist::Value object, const QString& key, size_t index) {
  removeObjectForKey(key);
  array_.insert(array_.begin() + static_cast<std::ptrdiff_t>(std::min(index, array_.size())), key);
  dictionary_.emplace(key, std::move(object));
}

QString OrderedDictionary::keyAtIndex(size_t index) const { return index < array_.size() ? array_[index] : QString(); }

QString OrderedDictionary::descriptionWithIndent(unsigned level) const {
  QString indent(4 * level, QLatin1Char(' '));
  QString text = indent + "{\n";
  for (const auto& key : array_)
    text += indent + "    " + key + " = " + DescriptionForObject(objectForKey(key), level) + ";\n";
  return text + indent + "}\n";
}

}  // namespace calmoprefs
