#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace vesk {

// How a configuration file's bytes map to text. Files are read back in the
// encoding they were written in, so every byte the user did not change is
// written back exactly as it was read.
enum class Encoding { Utf8, Latin1 };

struct DecodedText {
    QString text;
    Encoding encoding = Encoding::Utf8;
    bool bom = false; // the file began with a UTF-8 byte order mark
};

bool isValidUtf8(QByteArrayView bytes);

// UTF-8 when the bytes are valid UTF-8, Latin-1 otherwise. A leading UTF-8
// byte order mark is taken off the text and remembered.
DecodedText decodeText(QByteArrayView bytes);

// Position of the first character that the encoding cannot represent, or -1.
qsizetype firstUnencodable(QStringView text, Encoding encoding);

// The text in the given encoding; only valid when firstUnencodable() is -1.
QByteArray encodeText(QStringView text, Encoding encoding);

QString encodingName(Encoding encoding);

// QStringView::compare(a, b, Qt::CaseInsensitive), several times faster on
// ASCII text: sorting long category lists spent most of its time there.
int compareIgnoringCase(QStringView a, QStringView b);

} // namespace vesk
