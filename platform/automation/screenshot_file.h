// Where a screenshot verb puts its picture. The path comes from a client
// and may name anything: it is written as the logs are, a new temporary
// file in the path's folder renamed over the name, so a link planted there
// is replaced rather than written through, and nothing at the name is ever
// opened.
#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <optional>

namespace platform::automation {

// Writes the PNG bytes `png` to the absolute `path`. A FIFO, device, socket
// or folder at the name is refused. Nothing on success, else the error
// answer with code "cannotWrite" and the reason.
std::optional<QJsonObject> writeScreenshot(const QString& path, const QByteArray& png);

}  // namespace platform::automation
