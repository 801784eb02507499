#include "config/textcodec.h"

#include <QStringDecoder>

#include <algorithm>
#include <cstring>
#include <string_view>

using namespace Qt::StringLiterals;

namespace vesk
{

bool isValidUtf8(QByteArrayView bytes)
{
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    const qsizetype n = bytes.size();
    qsizetype i = 0;
    while (i < n) {
        // Eight ASCII bytes at a time: most of a configuration is ASCII.
        quint64 word;
        while (i + 8 <= n && (std::memcpy(&word, p + i, 8), (word & 0x8080808080808080ull) == 0))
            i += 8;
        if (i == n)
            break;
        const unsigned char c = p[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        int len = 0;
        char32_t cp = 0;
        char32_t min = 0;
        if ((c & 0xE0) == 0xC0) {
            len = 2, cp = c & 0x1F, min = 0x80;
        } else if ((c & 0xF0) == 0xE0) {
            len = 3, cp = c & 0x0F, min = 0x800;
        } else if ((c & 0xF8) == 0xF0) {
            len = 4, cp = c & 0x07, min = 0x10000;
        } else {
            return false;
        }
        if (i + len > n)
            return false;
        for (int k = 1; k < len; ++k) {
            if ((p[i + k] & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (p[i + k] & 0x3F);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += len;
    }
    return true;
}

ByteOrderMark byteOrderMark(QByteArrayView bytes)
{
    using namespace std::string_view_literals;
    // UTF-32 first: its little-endian mark begins like UTF-16's.
    if (bytes.startsWith("\xFF\xFE\0\0"sv) || bytes.startsWith("\0\0\xFE\xFF"sv))
        return ByteOrderMark::Utf32;
    if (bytes.startsWith("\xFF\xFE"sv) || bytes.startsWith("\xFE\xFF"sv))
        return ByteOrderMark::Utf16;
    return bytes.startsWith("\xEF\xBB\xBF") ? ByteOrderMark::Utf8 : ByteOrderMark::None;
}

DetectedEncoding detectEncoding(QByteArrayView bytes)
{
    const bool mark = byteOrderMark(bytes) == ByteOrderMark::Utf8;
    if (isValidUtf8(mark ? bytes.sliced(3) : bytes))
        return {Encoding::Utf8, mark, mark ? 3 : 0};
    // A mark in front of text that is not UTF-8 is not a mark: its bytes are text.
    return {Encoding::Latin1, false, 0};
}

DecodedText decodeText(QByteArrayView bytes)
{
    const DetectedEncoding found = detectEncoding(bytes);
    const QByteArrayView body = bytes.sliced(found.textStart);
    DecodedText d{QString(), found.encoding, found.bom};
    if (found.encoding == Encoding::Latin1) {
        d.text = QString::fromLatin1(body);
    } else {
        // QString::fromUtf8() would also swallow a second byte order mark
        // at the start; past the one detectEncoding() took off, it is text.
        QStringDecoder toText(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
        d.text = toText(body);
    }
    return d;
}

qsizetype firstUnencodable(QStringView text, Encoding encoding)
{
    const qsizetype n = text.size();
    const char16_t *d = text.utf16();
    // Blocks that hold nothing of interest are passed over without a branch
    // per character (the compiler turns the inner loop into vector code).
    const char16_t low = encoding == Encoding::Latin1 ? 0x100 : 0xD800;
    const char16_t span = encoding == Encoding::Latin1 ? 0xFF00 : 0x800;
    qsizetype i = 0;
    for (; i + 64 <= n; i += 64) {
        unsigned hits = 0;
        for (int k = 0; k < 64; ++k)
            hits |= unsigned(char16_t(d[i + k] - low) < span);
        if (hits)
            break;
    }
    if (encoding == Encoding::Latin1) {
        for (; i < n; ++i)
            if (d[i] > 0xFF)
                return i;
        return -1;
    }
    // UTF-8 holds every character except a surrogate half without its pair.
    for (; i < n; ++i) {
        if (char16_t(d[i] - 0xD800) >= 0x800)
            continue; // no surrogate: the common case, kept cheap
        if (QChar::isHighSurrogate(d[i]) && i + 1 < n && QChar::isLowSurrogate(d[i + 1])) {
            ++i;
            continue;
        }
        return i;
    }
    return -1;
}

QByteArray encodeText(QStringView text, Encoding encoding)
{
    return encoding == Encoding::Latin1 ? text.toLatin1() : text.toUtf8();
}

int compareIgnoringCase(QStringView a, QStringView b)
{
    const qsizetype n = std::min(a.size(), b.size());
    const char16_t *x = a.utf16();
    const char16_t *y = b.utf16();
    for (qsizetype i = 0; i < n; ++i) {
        char16_t p = x[i];
        char16_t q = y[i];
        // From the first character beyond ASCII on, Qt's own folding decides
        // (what came before is ASCII, so no surrogate pair is cut).
        if ((p | q) >= 0x80)
            return a.sliced(i).compare(b.sliced(i), Qt::CaseInsensitive);
        if (p != q) {
            if (char16_t(p - u'A') < 26)
                p += 32;
            if (char16_t(q - u'A') < 26)
                q += 32;
            if (p != q)
                return int(p) - int(q);
        }
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

QString encodingName(Encoding encoding)
{
    return encoding == Encoding::Latin1 ? u"ISO-8859-1"_s : u"UTF-8"_s;
}

} // namespace vesk
