// Code page tables of the RTF reader.
#include "richtext/RtfCodePages.h"

#include <QStringDecoder>

#include <map>

int codePageOfCharset(int charset)
{
    switch (charset) {
    case 0: return 1252;
    case 77: return 10000;
    case 128: return 932;
    case 129: return 949;
    case 134: return 936;
    case 136: return 950;
    case 161: return 1253;
    case 162: return 1254;
    case 163: return 1258;
    case 177: return 1255;
    case 178: return 1256;
    case 186: return 1257;
    case 204: return 1251;
    case 222: return 874;
    case 238: return 1250;
    case 255: return 437;
    default: return 0;
    }
}

namespace {
QByteArray decoderName(int codePage)
{
    switch (codePage) {
    case 437: return "IBM437";
    case 850: return "IBM850";
    case 932: return "Shift_JIS";
    case 936: return "GBK";
    case 949: return "windows-949";
    case 950: return "Big5";
    case 10000: return "macintosh";
    case 65001: return "UTF-8";
    default:
        if (codePage == 874 || (codePage >= 1250 && codePage <= 1258))
            return "windows-" + QByteArray::number(codePage);
        return "windows-1252";
    }
}
} // namespace

QString decodeCodePage(const QByteArray &bytes, int codePage)
{
    // Opening a converter costs more than decoding a run of text: keep one per decoder.
    // The cache is keyed by the decoder's name, so a document naming many unknown code
    // pages still keeps only the few decoders there are.
    static std::map<QByteArray, QStringDecoder> decoders;
    const QByteArray name = decoderName(codePage);
    auto it = decoders.find(name);
    if (it == decoders.end()) {
        QStringDecoder decoder(name.constData());
        if (!decoder.isValid())
            decoder = QStringDecoder("windows-1252");
        it = decoders.emplace(name, std::move(decoder)).first;
    }
    if (!it->second.isValid())
        return QString::fromLatin1(bytes);
    it->second.resetState();
    return it->second.decode(bytes);
}
