#include "store/agentprotocol.h"

#include <QJsonDocument>
#include <QJsonValue>

#include <array>
#include <openssl/sha.h>

using namespace Qt::StringLiterals;

namespace vesk::agent
{
namespace
{

constexpr std::array kFaultNames = {u"system",  u"refused", u"unwritable", u"badvalue",
                                    u"changed", u"busy",    u"lost",       u"cancelled"};
constexpr std::array kStateNames = {u"saved",   u"untouched", u"unconfirmed",
                                    u"damaged", u"changed",   u"unknown"};

// Numbers go as decimal strings: a JSON number is a double, which holds no
// 64-bit inode or nanosecond time exactly.
QString number(qint64 n)
{
    return QString::number(n);
}

qint64 numberOf(const QJsonValue &v)
{
    return v.toString().toLongLong();
}

} // namespace

QByteArray greeting()
{
    return "VESK-AGENT " + QByteArray::number(kProtocolVersion) + '\n';
}

std::optional<int> greetingVersion(QByteArrayView line)
{
    const QByteArray text = line.toByteArray().trimmed();
    if (!text.startsWith("VESK-AGENT "))
        return std::nullopt;
    bool ok = false;
    const int v = text.mid(11).toInt(&ok);
    return ok ? std::optional<int>(v) : std::nullopt;
}

QByteArray headerLine(const QJsonObject &header)
{
    return QJsonDocument(header).toJson(QJsonDocument::Compact) + '\n';
}

Result<QJsonObject> parseHeader(QByteArrayView line)
{
    QJsonParseError error{};
    const QJsonDocument d = QJsonDocument::fromJson(line.toByteArray(), &error);
    if (error.error != QJsonParseError::NoError || !d.isObject())
        return Failure::of(Fault::Refused, u"a message that is no JSON object: "_s + error.errorString());
    return d.object();
}

QString sha256(QByteArrayView bytes)
{
    // OpenSSL's, not Qt's: it is ten times as fast here (2 GB/s against
    // 200 MB/s), and a save over ssh hashes the file on both ends.
    unsigned char digest[SHA256_DIGEST_LENGTH];
    ::SHA256(reinterpret_cast<const unsigned char *>(bytes.data()), size_t(bytes.size()), digest);
    return QString::fromLatin1(QByteArray(reinterpret_cast<const char *>(digest), sizeof digest).toHex());
}

QJsonObject toJson(const DiskStamp &s)
{
    return {{u"exists"_s, s.exists},
            {u"size"_s, number(s.size)},
            {u"device"_s, number(qint64(s.device))},
            {u"inode"_s, number(qint64(s.inode))},
            {u"modifiedNs"_s, number(s.modifiedNs)},
            {u"changedNs"_s, number(s.changedNs)},
            {u"compareContent"_s, s.compareContent},
            {u"hash"_s, QString::fromLatin1(s.hash.toHex())}};
}

DiskStamp stampFromJson(const QJsonObject &o)
{
    DiskStamp s;
    s.exists = o[u"exists"_s].toBool();
    s.size = numberOf(o[u"size"_s]);
    s.device = quint64(numberOf(o[u"device"_s]));
    s.inode = quint64(numberOf(o[u"inode"_s]));
    s.modifiedNs = numberOf(o[u"modifiedNs"_s]);
    s.changedNs = numberOf(o[u"changedNs"_s]);
    s.compareContent = o[u"compareContent"_s].toBool();
    s.hash = QByteArray::fromHex(o[u"hash"_s].toString().toLatin1());
    return s;
}

QJsonObject toJson(const Failure &f)
{
    return {{u"fault"_s, QString::fromUtf16(kFaultNames[size_t(f.fault)])},
            {u"code"_s, f.code},
            {u"reason"_s, f.reason}};
}

Failure failureFromJson(const QJsonObject &o)
{
    Failure f;
    const QString name = o[u"fault"_s].toString();
    for (size_t i = 0; i < kFaultNames.size(); ++i)
        if (name == QStringView(kFaultNames[i]))
            f.fault = Fault(i);
    f.code = o[u"code"_s].toInt();
    f.reason = o[u"reason"_s].toString();
    return f;
}

QString stateName(SaveState state)
{
    return QString::fromUtf16(kStateNames[size_t(state)]);
}

std::optional<SaveState> stateFromName(const QString &name)
{
    for (size_t i = 0; i < kStateNames.size(); ++i)
        if (name == QStringView(kStateNames[i]))
            return SaveState(i);
    return std::nullopt;
}

} // namespace vesk::agent
