// How automation reads the views of one class: the class's name in the tree,
// the fields it adds to a view's node, the views it reports as children, the
// text a tap by text matches and whether it counts as enabled. A class
// registers what it adds to or changes from its base class's reading; a view
// of a class that registers nothing reads as its nearest registered base.
// Registrations sit beside the classes, made when their library loads.
#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <functional>
#include <typeindex>
#include <vector>

#include "platform/uikit/view.h"

namespace platform::uikit::automation {

struct Reading {
  const char* className = nullptr;  // null: the base class's
  // Run after the base classes' fields, so a field set again here wins.
  std::function<void(const UIView&, QJsonObject&)> fields;
  // Each unset: the base class's.
  std::function<std::vector<UIView*>(const UIView&)> children;
  std::function<QString(const UIView&)> text;
  std::function<bool(const UIView&)> enabled;
};

void registerReading(std::type_index type, std::type_index base, bool (*isA)(const UIView&), Reading reading);

// The reading of T as functions of a T; answers true so that a file can
// register at load time: `[[maybe_unused]] const bool read = readAs<T, Base>({...});`.
template <class T>
struct ReadingOf {
  const char* className = nullptr;
  std::function<void(const T&, QJsonObject&)> fields;
  std::function<std::vector<UIView*>(const T&)> children;
  std::function<QString(const T&)> text;
  std::function<bool(const T&)> enabled;
};

template <class T, class Base>
bool readAs(ReadingOf<T> of) {
  static_assert(std::is_base_of_v<Base, T> && std::is_base_of_v<UIView, Base>);
  Reading r{.className = of.className};
  auto as = [](const UIView& v) -> const T& { return static_cast<const T&>(v); };
  if (of.fields) r.fields = [f = std::move(of.fields), as](const UIView& v, QJsonObject& n) { f(as(v), n); };
  if (of.children) r.children = [f = std::move(of.children), as](const UIView& v) { return f(as(v)); };
  if (of.text) r.text = [f = std::move(of.text), as](const UIView& v) { return f(as(v)); };
  if (of.enabled) r.enabled = [f = std::move(of.enabled), as](const UIView& v) { return f(as(v)); };
  registerReading(typeid(T), typeid(Base), [](const UIView& v) { return dynamic_cast<const T*>(&v) != nullptr; },
                  std::move(r));
  return true;
}

// What the tree reports of a view, by its class's reading.
const char* className(const UIView& view);
QJsonObject describe(const UIView& view);  // the node without children
std::vector<UIView*> children(const UIView& view);
QString text(const UIView& view);
bool isEnabled(const UIView& view);

// Shown: neither it nor an ancestor hidden or transparent, and some of it
// inside its ancestors.
bool isVisibleOnScreen(const UIView& view);
// The part of the view its ancestors let show, in window coordinates.
CGRect visibleRectInWindow(const UIView& view);
// A frame as automation reports it: [x, y, width, height] in points.
QJsonArray frameArray(const CGRect& r);

}  // namespace platform::uikit::automation
