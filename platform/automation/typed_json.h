// Typed requests and answers (verbs.h) to and from their JSON lines.
#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <tuple>

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

// The request line's object: the verb's name and the request's fields.
template <class Request, class Answer>
QJsonObject encode(const Typed<Request, Answer>& call, const Request& request) {
  QJsonObject o = toJson(request);
  o["verb"] = toQString(call.verb.name);
  return o;
}

}  // namespace platform::automation
