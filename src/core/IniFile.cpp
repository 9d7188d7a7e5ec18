#include "core/IniFile.h"

#include "core/Errors.h"
#include "core/FileBytes.h"

#include <QFile>
#include <QStringDecoder>

QString readTextFileAnyEncoding(const QString &path, bool *ok)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        if (ok) *ok = false;
        return {};
    }
    QByteArray data = f.readAll();
    if (ok) *ok = true;
    if (data.startsWith("\xEF\xBB\xBF"))
        data.remove(0, 3);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(data);
    if (!utf8.hasError())
        return text;
    QStringDecoder ansi("windows-1252");
    if (ansi.isValid())
        return ansi.decode(data);
    return QString::fromLatin1(data);
}

IniFile::IniFile(QString path) : path_(std::move(path)) { load(); }

void IniFile::load()
{
    preamble_.clear();
    sections_.clear();
    bool ok = false;
    const QString text = readTextFileAnyEncoding(path_, &ok);
    if (!ok)
        return;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size(); ++i) {
        QString raw = lines[i];
        if (raw.endsWith(QLatin1Char('\r')))
            raw.chop(1);
        if (i == lines.size() - 1 && raw.isEmpty())
            break;
        const QString t = raw.trimmed();
        if (t.startsWith(QLatin1Char('[')) && t.contains(QLatin1Char(']'))) {
            sections_.push_back({t.mid(1, t.indexOf(QLatin1Char(']')) - 1).trimmed(), {}});
            continue;
        }
        Line line{raw, {}, false};
        const int eq = raw.indexOf(QLatin1Char('='));
        if (eq > 0 && !t.startsWith(QLatin1Char(';'))) {
            line.key = raw.left(eq).trimmed();
            line.isEntry = !line.key.isEmpty();
        }
        (sections_.empty() ? preamble_ : sections_.back().lines).push_back(line);
    }
}

const IniFile::Section *IniFile::findSection(const QString &name) const
{
    for (const Section &s : sections_)
        if (s.name.compare(name, Qt::CaseInsensitive) == 0)
            return &s;
    return nullptr;
}

const IniFile::Line *IniFile::findEntry(const Section &s, const QString &key) const
{
    for (const Line &l : s.lines)
        if (l.isEntry && l.key.compare(key, Qt::CaseInsensitive) == 0)
            return &l;
    // A key that holds "=" itself (the language files' keys are English texts such as
    // "Please enter text (F3 = repeat search):") ends at the "=" that follows the whole key.
    if (key.contains(QLatin1Char('='))) {
        for (const Line &l : s.lines) {
            const QString t = l.text.trimmed();
            if (l.isEntry && t.startsWith(key, Qt::CaseInsensitive) &&
                t.mid(key.size()).trimmed().startsWith(QLatin1Char('=')))
                return &l;
        }
    }
    return nullptr;
}

qsizetype IniFile::valueStart(const Line &l, const QString &key)
{
    qsizetype keyStart = 0;
    while (keyStart < l.text.size() && l.text[keyStart].isSpace())
        ++keyStart;
    const qsizetype from = QStringView(l.text).mid(keyStart).startsWith(key, Qt::CaseInsensitive) ? keyStart + key.size() : 0;
    return l.text.indexOf(QLatin1Char('='), from) + 1;
}

QStringList IniFile::sectionKeys(const QString &section) const
{
    QStringList keys;
    if (const Section *s = findSection(section))
        for (const Line &l : s->lines)
            if (l.isEntry)
                keys << l.key;
    return keys;
}

QString IniFile::readString(const QString &section, const QString &key, const QString &def) const
{
    const Section *s = findSection(section);
    const Line *l = s ? findEntry(*s, key) : nullptr;
    if (!l)
        return def;
    QString v = l->text.mid(valueStart(*l, key)).trimmed();
    if (v.size() >= 2) {
        const QChar q = v.front();
        if ((q == QLatin1Char('"') || q == QLatin1Char('\'')) && v.back() == q)
            v = v.mid(1, v.size() - 2);
    }
    return v.left(MaxValueLength);
}

int IniFile::readInteger(const QString &section, const QString &key, int def) const
{
    bool ok = false;
    const QString v = readString(section, key, QString());
    const int n = v.toInt(&ok);
    if (ok)
        return n;
    // Hexadecimal values as "$FF" or "0xFF" are accepted too.
    if (v.startsWith(QLatin1Char('$'))) {
        const int h = int(v.mid(1).toUInt(&ok, 16));
        if (ok) return h;
    }
    if (v.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) {
        const int h = int(v.mid(2).toUInt(&ok, 16));
        if (ok) return h;
    }
    return def;
}

bool IniFile::writeString(const QString &section, const QString &key, const QString &value)
{
    Section *s = const_cast<Section *>(findSection(section));
    if (!s) {
        sections_.push_back({section, {}});
        s = &sections_.back();
    }
    const QString text = key + QLatin1Char('=') + value;
    if (Line *l = const_cast<Line *>(findEntry(*s, key))) {
        l->text = l->text.left(valueStart(*l, key)) + value;
    } else {
        // New entries go after the last entry, before trailing blank lines.
        auto pos = s->lines.end();
        while (pos != s->lines.begin() && std::prev(pos)->text.trimmed().isEmpty())
            --pos;
        s->lines.insert(pos, Line{text, key, true});
    }
    return held_ || save();
}

bool IniFile::commitWrites()
{
    held_ = false;
    return save();
}

bool IniFile::writeInteger(const QString &section, const QString &key, int value)
{
    return writeString(section, key, QString::number(value));
}

bool IniFile::save()
{
    QString out;
    for (const Line &l : preamble_)
        out += l.text + QStringLiteral("\r\n");
    for (const Section &s : sections_) {
        out += QLatin1Char('[') + s.name + QStringLiteral("]\r\n");
        for (const Line &l : s.lines)
            out += l.text + QStringLiteral("\r\n");
    }
    try {
        writeWholeFile(path_, out.toUtf8());
    } catch (const LetrafexError &e) {
        error_ = e.text();
        return false;
    }
    error_.clear();
    return true;
}
