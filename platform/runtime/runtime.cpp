#include "platform/runtime/runtime.h"

#include <map>

#include "platform/foundation/log.h"

namespace platform::runtime {

class Registry {
 public:
  static Registry& instance() {
    static Registry r;
    return r;
  }
  Class* get(std::string_view name) {
    std::lock_guard lock(mutex_);
    auto it = classes_.find(std::string(name));
    return it == classes_.end() ? nullptr : it->second.get();
  }
  Class* add(std::string_view name, Class* super) {
    std::lock_guard lock(mutex_);
    auto& slot = classes_[std::string(name)];
    if (!slot) slot = std::make_unique<Class>(std::string(name), super);
    return slot.get();
  }
  void record(Installation i) {
    std::lock_guard lock(mutex_);
    installations_.push_back(std::move(i));
  }
  std::vector<Installation> installations() {
    std::lock_guard lock(mutex_);
    return installations_;
  }

  static Class::Table& table(Class* c, bool classSide) { return classSide ? c->class_ : c->instance_; }
  static std::shared_mutex& mutexOf(Class* c) { return c->mutex_; }
  static auto& props(Class* c) { return c->properties_; }

 private:
  std::mutex mutex_;
  // Classes live as long as the process: objects keep raw pointers to them.
  std::map<std::string, std::unique_ptr<Class>> classes_;
  std::vector<Installation> installations_;
};

bool Class::isKindOf(const Class* other) const {
  for (const Class* c = this; c; c = c->super_)
    if (c == other) return true;
  return false;
}

std::optional<Method> Class::instanceMethod(std::string_view selector) const {
  for (const Class* c = this; c; c = c->super_) {
    std::shared_lock lock(c->mutex_);
    if (auto it = c->instance_.find(selector); it != c->instance_.end()) return it->second;
  }
  return std::nullopt;
}

std::optional<Method> Class::classMethod(std::string_view selector) const {
  for (const Class* c = this; c; c = c->super_) {
    std::shared_lock lock(c->mutex_);
    if (auto it = c->class_.find(selector); it != c->class_.end()) return it->second;
  }
  return std::nullopt;
}

bool Class::hasOwnInstanceMethod(std::string_view selector) const {
  std::shared_lock lock(mutex_);
  return instance_.find(selector) != instance_.end();
}

const char* installKindName(InstallKind kind) {
  switch (kind) {
    case InstallKind::Property: return "property";
    case InstallKind::Add: return "add";
    case InstallKind::Replace: return "replace";
  }
  return "?";
}

namespace detail {

bool putMethod(Class* cls, std::string_view selector, Method method, bool classSide, bool onlyIfAbsent) {
  std::unique_lock lock(Registry::mutexOf(cls));
  auto& table = Registry::table(cls, classSide);
  auto it = table.find(selector);
  if (it != table.end()) {
    if (onlyIfAbsent) return false;
    it->second = std::move(method);
    return true;
  }
  table.emplace(std::string(selector), std::move(method));
  return true;
}

std::optional<Method> replaceMethod(Class* cls, std::string_view selector, Method method) {
  // The previous implementation may be inherited: look it up before the
  // class gets its own entry.
  auto previous = cls->instanceMethod(selector);
  putMethod(cls, selector, std::move(method), false, false);
  return previous;
}

void recordInstallation(Class* cls, std::string_view selector, InstallKind kind) {
  Registry::instance().record(Installation{cls->name(), std::string(selector), kind});
}

void refuse(const Class* cls, std::string_view selector, const char* why) {
  platform::log("runtime: -[", cls ? cls->name() : std::string("nil"), " ", selector, "]: ", why);
}

}  // namespace detail

Class* getClass(std::string_view name) { return Registry::instance().get(name); }

Class* registerClass(std::string_view name, Class* superclass) { return Registry::instance().add(name, superclass); }

Id createInstance(Class* cls) {
  if (!cls) return nullptr;
  for (Class* c = cls; c; c = c->superclass())
    if (c->factory) return c->factory(cls);
  return std::make_shared<Object>(cls);
}

bool addProperty(Class* cls, std::string_view name, std::vector<PropertyAttribute> attributes) {
  if (!cls) return false;
  {
    std::unique_lock lock(Registry::mutexOf(cls));
    auto& props = Registry::props(cls);
    for (const auto& p : props)
      if (p.first == name) return false;
    props.emplace_back(std::string(name), std::move(attributes));
  }
  detail::recordInstallation(cls, name, InstallKind::Property);
  return true;
}

void setAssociatedObject(const Id& object, const void* key, Id value) {
  if (!object) return;
  std::lock_guard lock(object->assocMutex_);
  if (value) object->associated_[key] = std::move(value);
  else object->associated_.erase(key);
}

Id getAssociatedObject(const Id& object, const void* key) {
  if (!object) return nullptr;
  std::lock_guard lock(object->assocMutex_);
  auto it = object->associated_.find(key);
  return it == object->associated_.end() ? nullptr : it->second;
}

std::vector<Installation> installations() { return Registry::instance().installations(); }

}  // namespace platform::runtime
