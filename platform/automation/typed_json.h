// Typed requests and answers (verbs.h) to and from their JSON lines.
#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <tuple>
#include <span>
#include <type_traits>

#include "platform/automation/verbs.h"
#include "platform/foundation/qt_text.h"

namespace platform::automation {

inline QJsonValue toJsonValue(double v) { return v; }
inline QJsonValue toJsonValue(bool v) { return v; }
inline QJsonValue toJsonValue(const QString& v) { return v; }
inline QJsonValue toJsonValue(const QJsonArray& v) { return v; }
inline QJsonValue toJsonValue(const QJsonValue& v) { return v; }
inline void fromJsonValue(const QJsonValue& j, double& v) { v = j.toDouble(); }
inline void fromJsonValue(const QJsonValue& j, bool& v) { v = j.toBool(); }
inline void fromJsonValue(const QJsonValue& j, QString& v) { v = j.toString(); }
inline void fromJsonValue(const QJsonValue& j, QJsonArray& v) { v = j.toArray(); }
inline void fromJsonValue(const QJsonValue& j, QJsonValue& v) { v = j; }

template <class S>
QJsonObject toJson(const S& s) {
  QJsonObject o;
  std::apply([&](const auto&... f) { ((o[toQString(f.key)] = toJsonValue(s.*(f.member))), ...); },
             fields(static_cast<const S*>(nullptr)));
  return o;
}

template <class S>
S fromJson(const QJsonObject& o) {
  S s{};
  std::apply([&](const auto&... f) { (fromJsonValue(o[toQString(f.key)], s.*(f.member)), ...); },
             fields(static_cast<const S*>(nullptr)));
  return s;
}

// Whether a request's field of type T may carry an argument of type `type`.
template <class T>
constexpr bool carries(Type type) {
  if constexpr (std::is_same_v<T, double>) return type == Type::Number;
  else if constexpr (std::is_same_v<T, bool>) return type == Type::Bool;
  else if constexpr (std::is_same_v<T, QString>) return type == Type::String;
  else if constexpr (std::is_same_v<T, QJsonArray>) return type == Type::Array;
  else return false;
}

// A field of a typed request is an argument of the verb's table, of its type.
template <class S, class T>
constexpr bool declaredIn(std::span<const Argument> arguments, const Field<S, T>& field) {
  for (const Argument& a : arguments)
    if (a.key == field.key) return carries<T>(a.type);
  return false;
}

// The typed request has the fields the verb's table declares, each of its
// type: checked where the call is declared, so that the table the server
// checks requests against and the type its handler reads cannot drift.
template <class Request, class Answer>
constexpr bool requestMatchesTable(const Typed<Request, Answer>& call) {
  return std::apply(
      [&](const auto&... f) {
        return sizeof...(f) == call.verb.arguments.size() && (declaredIn(call.verb.arguments, f) && ...);
      },
      fields(static_cast<const Request*>(nullptr)));
}

// The request line's object of a verb whose request has no type: its name
// and `arguments`.
inline QJsonObject requestOf(const Verb& verb, QJsonObject arguments = {}) {
  arguments["verb"] = toQString(verb.name);
  return arguments;
}

// The request line's object: the verb's name and the request's fields.
template <class Request, class Answer>
QJsonObject encode(const Typed<Request, Answer>& call, const Request& request) {
  QJsonObject o = toJson(request);
  o["verb"] = toQString(call.verb.name);
  return o;
}

}  // namespace platform::automation
