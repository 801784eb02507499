#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace vesk
{

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

// The encoding a file's first bytes mark it as being in, if any.
enum class ByteOrderMark { None, Utf8, Utf16, Utf32 };
ByteOrderMark byteOrderMark(QByteArrayView bytes);

// How a file's bytes are read: UTF-8 when they are valid UTF-8 (past a UTF-8
// byte order mark), Latin-1 otherwise; before Latin-1 the mark is text too.
struct DetectedEncoding {
    Encoding encoding = Encoding::Utf8;
    bool bom = false;        // a UTF-8 byte order mark comes first, not part of the text
    qsizetype textStart = 0; // past that mark
};
DetectedEncoding detectEncoding(QByteArrayView bytes);

// The bytes as text, as detectEncoding() says; the mark is remembered.
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
