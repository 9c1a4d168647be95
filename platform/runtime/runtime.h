// The object runtime of the simulated phone: classes registered by name,
// methods dispatched through a per-class table keyed by selector text, and
// the operations an injected library uses to extend and hook host classes.
//
// Implementations are typed std::function values stored in a std::any; a
// message must name the same result and argument types the method was
// registered with, or it is refused with a diagnostic line and answers a
// default value, as a message to nothing does.
#pragma once

#include <any>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <type_traits>
#include <unordered_map>
#include <vector>

namespace platform::runtime {

class Class;
class Object;
using Id = std::shared_ptr<Object>;

template <class R, class... A>
using Imp = std::function<R(const Id& self, A...)>;

// Base of every runtime object.
class Object : public std::enable_shared_from_this<Object> {
 public:
  explicit Object(Class* isa) : isa_(isa) {}
  virtual ~Object() = default;
  Object(const Object&) = delete;
  Object& operator=(const Object&) = delete;

  Class* isa() const { return isa_; }

 private:
  friend void setAssociatedObject(const Id&, const void*, Id);
  friend Id getAssociatedObject(const Id&, const void*);
  Class* isa_;
  mutable std::mutex assocMutex_;
  std::unordered_map<const void*, Id> associated_;
};

struct PropertyAttribute {
  std::string name;   // "T", "&", "N", ...
  std::string value;  // "@\"UILabel\"" for "T", empty otherwise
};

struct Method {
  std::any imp;  // an Imp<R, A...>
  std::string types;
};

class Class {
 public:
  Class(std::string name, Class* superclass) : name_(std::move(name)), super_(superclass) {}
  const std::string& name() const { return name_; }
  Class* superclass() const { return super_; }
  bool isKindOf(const Class* other) const;

  // A method of this class or of a superclass, or nothing. The copy keeps
  // the implementation alive while the caller runs it.
  std::optional<Method> instanceMethod(std::string_view selector) const;
  std::optional<Method> classMethod(std::string_view selector) const;
  bool respondsTo(std::string_view selector) const { return instanceMethod(selector).has_value(); }
  bool hasOwnInstanceMethod(std::string_view selector) const;
  const std::vector<std::pair<std::string, std::vector<PropertyAttribute>>>& properties() const {
    return properties_;
  }

  // Makes new instances for `createInstance`; set by whoever defines the class.
  std::function<Id(Class*)> factory;

 private:
  friend class Registry;
  struct Hash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
  };
  using Table = std::unordered_map<std::string, Method, Hash, std::equal_to<>>;
  std::string name_;
  Class* super_;
  mutable std::shared_mutex mutex_;
  Table instance_;
  Table class_;
  std::vector<std::pair<std::string, std::vector<PropertyAttribute>>> properties_;
};

enum class InstallKind { Property, Add, Replace };
const char* installKindName(InstallKind kind);

// One change an injected library made to a host class, in the order made.
struct Installation {
  std::string className;
  std::string selector;
  InstallKind kind;
};

namespace detail {
bool putMethod(Class* cls, std::string_view selector, Method method, bool classSide, bool onlyIfAbsent);
std::optional<Method> replaceMethod(Class* cls, std::string_view selector, Method method);
void recordInstallation(Class* cls, std::string_view selector, InstallKind kind);
void refuse(const Class* cls, std::string_view selector, const char* why);
}  // namespace detail

// ---- classes (objc_getClass and the host's registration)
Class* getClass(std::string_view name);  // nullptr when the host has no such class
Class* registerClass(std::string_view name, Class* superclass = nullptr);
Id createInstance(Class* cls);

// ---- what a host uses to give its classes methods
template <class R, class... A>
void defineMethod(Class* cls, std::string_view selector, std::type_identity_t<Imp<R, A...>> imp, std::string_view types = "") {
  if (cls) detail::putMethod(cls, selector, Method{std::move(imp), std::string(types)}, false, false);
}
template <class R, class... A>
void defineClassMethod(Class* cls, std::string_view selector, std::type_identity_t<Imp<R, A...>> imp) {
  if (cls) detail::putMethod(cls, selector, Method{std::move(imp), {}}, true, false);
}

// ---- the injection operations
// class_addMethod: adds the method when the class itself lacks it.
template <class R, class... A>
bool addMethod(Class* cls, std::string_view selector, std::type_identity_t<Imp<R, A...>> imp,
               std::string_view types) {
  if (!cls) return false;
  bool added = detail::putMethod(cls, selector, Method{std::move(imp), std::string(types)}, false, true);
  if (added) detail::recordInstallation(cls, selector, InstallKind::Add);
  return added;
}

// class_addProperty: declares a property (the accessors are added apart).
bool addProperty(Class* cls, std::string_view name, std::vector<PropertyAttribute> attributes);

// MSHookMessageEx: from now on `selector` sent to instances of `cls` runs
// `replacement`; `*previous` receives the implementation it had (inherited
// ones included), callable with the same arguments. A missing class is a
// no-op; a class without the method gets a previous implementation that does
// nothing and answers a default value.
template <class R, class... A>
void hookMessage(Class* cls, std::string_view selector, std::type_identity_t<Imp<R, A...>> replacement,
                 std::type_identity_t<Imp<R, A...>>* previous) {
  if (!cls) return;
  auto old = detail::replaceMethod(cls, selector, Method{std::move(replacement), {}});
  Imp<R, A...> prev;
  if (old) {
    if (auto* typed = std::any_cast<Imp<R, A...>>(&old->imp)) prev = *typed;
    else detail::refuse(cls, selector, "previous implementation has other types");
  }
  if (!prev) prev = [](const Id&, A...) -> R { return R(); };
  if (previous) *previous = std::move(prev);
  detail::recordInstallation(cls, selector, InstallKind::Replace);
}

// objc_setAssociatedObject with retain-nonatomic, objc_getAssociatedObject.
void setAssociatedObject(const Id& object, const void* key, Id value);
Id getAssociatedObject(const Id& object, const void* key);

std::vector<Installation> installations();

// ---- messaging
template <class R, class... A>
R send(const Id& receiver, std::string_view selector, std::type_identity_t<A>... args) {
  if (!receiver) return R();
  auto m = receiver->isa()->instanceMethod(selector);
  if (!m) {
    detail::refuse(receiver->isa(), selector, "unrecognized selector");
    return R();
  }
  auto* imp = std::any_cast<Imp<R, A...>>(&m->imp);
  if (!imp || !*imp) {
    detail::refuse(receiver->isa(), selector, "message types differ from the method's");
    return R();
  }
  return (*imp)(receiver, std::forward<A>(args)...);
}

template <class R, class... A>
R sendToClass(Class* cls, std::string_view selector, std::type_identity_t<A>... args) {
  if (!cls) return R();
  auto m = cls->classMethod(selector);
  if (!m) {
    detail::refuse(cls, selector, "unrecognized class selector");
    return R();
  }
  auto* imp = std::any_cast<Imp<R, A...>>(&m->imp);
  if (!imp || !*imp) {
    detail::refuse(cls, selector, "message types differ from the method's");
    return R();
  }
  return (*imp)(Id(), std::forward<A>(args)...);
}

// The concrete object behind an Id, when it is of type T.
template <class T>
std::shared_ptr<T> as(const Id& object) {
  return std::dynamic_pointer_cast<T>(object);
}

}  // namespace platform::runtime
