#pragma once

// What the editor and `veskcfg agent` say to each other over a pipe (the
// standard input and output of an ssh session, or of an elevation command).
//
// The agent first writes its greeting, "VESK-AGENT <version>\n". Then each
// message, either way, is one JSON object on one line, followed by exactly
// "size" bytes where it carries a file. Requests:
//   {"op":"read"}                 the file: bytes and stamp, leftovers cleared
//   {"op":"backup"}               its backup's bytes
//   {"op":"stamp"}                the stamp of what is there now
//   {"op":"write","size":N,"sha256":H,"expected":STAMP,"backup":B}   + N bytes:
//                                 save them ("backup": false leaves the backup)
// Answers: {"ok":true,...} with "size", "sha256", "stamp", "torn", "owner",
// "mode" and the bytes for a read; "state" and "stamp" for a write; or
// {"ok":false,"fault":F,"code":errno,"reason":R} (a write's also with "state").
// A write whose bytes are cut short or do not match their SHA-256 touches
// nothing; nor does an end of input in the middle of a message.

#include "base/result.h"
#include "store/configstore.h"
#include "store/diskstamp.h"
#include "store/safesave.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>

#include <optional>

namespace vesk::agent
{

// Raised by one whenever the messages change in a way the other end would
// misread.
inline constexpr int kProtocolVersion = 1;

QByteArray greeting();
// The version a greeting line announces; nothing for any other line.
std::optional<int> greetingVersion(QByteArrayView line);

// A message's first line: the object, compact, and its line end.
QByteArray headerLine(const QJsonObject &header);
// The object of a header line; a line that is not one fails.
Result<QJsonObject> parseHeader(QByteArrayView line);

QString sha256(QByteArrayView bytes);

QJsonObject toJson(const DiskStamp &stamp);
DiskStamp stampFromJson(const QJsonObject &o);
// A failure's members, to add to an answer.
QJsonObject toJson(const Failure &failure);
Failure failureFromJson(const QJsonObject &o);
QString stateName(SaveState state);
std::optional<SaveState> stateFromName(const QString &name);

} // namespace vesk::agent
