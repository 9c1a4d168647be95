#include "platform/uikit/automation/reading.h"

#include <unordered_map>

#include "platform/uikit/screen.h"

namespace platform::uikit::automation {

namespace {
struct Entry {
  std::type_index base;
  bool (*isA)(const UIView&);
  Reading reading;
};

// The readings, and for each class of view met the chain of readings that
// applies to it, from UIView's down.
struct Registry {
  std::unordered_map<std::type_index, Entry> entries;
  std::unordered_map<std::type_index, std::vector<const Reading*>> chains;

  Registry();
  std::vector<const Reading*> chainFrom(std::type_index type) const {
    std::vector<const Reading*> chain;
    for (auto it = entries.find(type); it != entries.end(); it = entries.find(it->second.base)) {
      chain.insert(chain.begin(), &it->second.reading);
      if (it->second.base == it->first) break;
    }
    return chain;
  }
  const std::vector<const Reading*>& chainOf(const UIView& view) {
    auto [it, fresh] = chains.try_emplace(typeid(view));
    if (!fresh) return it->second;
    // Of the registered classes the view is, the most derived one has the longest chain.
    for (auto& [type, entry] : entries)
      if (entry.isA(view))
        if (auto chain = chainFrom(type); chain.size() > it->second.size()) it->second = std::move(chain);
    return it->second;
  }
};

Registry& registry() {
  static Registry r;
  return r;
}

Registry::Registry() {
  entries.emplace(typeid(UIView), Entry{typeid(UIView), [](const UIView&) { return true; },
                                        Reading{.className = "UIView",
                                                .fields =
                                                    [](const UIView& v, QJsonObject& node) {
                                                      node["class"] = className(v);
                                                      node["frame"] = frameArray(v.convertRect(v.bounds(), nullptr));
                                                      node["visible"] = isVisibleOnScreen(v);
                                                      node["enabled"] = isEnabled(v);
                                                      if (auto& c = v.backgroundColor()) node["backgroundColor"] = colorText(*c);
                                                      if (!v.accessibilityIdentifier().isEmpty())
                                                        node["identifier"] = v.accessibilityIdentifier();
                                                    },
                                                .children =
                                                    [](const UIView& v) {
                                                      std::vector<UIView*> out;
                                                      for (auto& child : v.subviews()) out.push_back(child.get());
                                                      return out;
                                                    },
                                                .text = [](const UIView&) { return QString(); },
                                                .enabled = [](const UIView& v) { return v.isUserInteractionEnabled(); }}});
}

// The last reading of the chain that sets `part`.
template <class F>
const F& last(const UIView& view, F Reading::*part) {
  const auto& chain = registry().chainOf(view);
  for (auto it = chain.rbegin(); it != chain.rend(); ++it)
    if ((*it)->*part) return (*it)->*part;
  return registry().entries.at(typeid(UIView)).reading.*part;
}
}  // namespace

void registerReading(std::type_index type, std::type_index base, bool (*isA)(const UIView&), Reading reading) {
  Registry& r = registry();
  r.entries.insert_or_assign(type, Entry{base, isA, std::move(reading)});
  r.chains.clear();
}

const char* className(const UIView& view) {
  const auto& chain = registry().chainOf(view);
  for (auto it = chain.rbegin(); it != chain.rend(); ++it)
    if ((*it)->className) return (*it)->className;
  return "UIView";
}

QJsonObject describe(const UIView& view) {
  QJsonObject node;
  for (const Reading* r : registry().chainOf(view))
    if (r->fields) r->fields(view, node);
  return node;
}

std::vector<UIView*> children(const UIView& view) { return last(view, &Reading::children)(view); }
QString text(const UIView& view) { return last(view, &Reading::text)(view); }
bool isEnabled(const UIView& view) { return last(view, &Reading::enabled)(view); }

bool isVisibleOnScreen(const UIView& view) {
  for (const UIView* v = &view; v; v = v->superview())
    if (v->isHidden() || v->alpha() <= 0.0) return false;
  return !visibleRectInWindow(view).isEmpty();
}

CGRect visibleRectInWindow(const UIView& view) {
  // Every widget clips its subviews' widgets to its own rectangle.
  CGRect r = view.convertRect(view.bounds(), nullptr);
  for (const UIView* v = view.superview(); v; v = v->superview()) r = r.intersection(v->convertRect(v->bounds(), nullptr));
  return r;
}

QJsonArray frameArray(const CGRect& r) { return QJsonArray{r.minX(), r.minY(), r.width(), r.height()}; }

}  // namespace platform::uikit::automation
