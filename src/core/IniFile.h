#pragma once
// INI files with profile semantics: section and key names compare case-insensitively,
// values are trimmed, a value in a matching pair of quotes loses them, values are read up
// to 2047 characters, and a missing entry gives the caller's default. Writing an entry
// rewrites the file whole (atomically) and keeps every other section and entry as it was.
#include <QString>
#include <QStringList>
#include <vector>

class IniFile
{
public:
    static constexpr int MaxValueLength = 2047;

    explicit IniFile(QString path);

    const QString &path() const { return path_; }
    QString readString(const QString &section, const QString &key, const QString &def) const;
    int readInteger(const QString &section, const QString &key, int def) const;
    QStringList sectionKeys(const QString &section) const;

    // Each write goes to the file at once; returns false when the file cannot be written,
    // and errorString() then names the file and gives the system's reason.
    bool writeString(const QString &section, const QString &key, const QString &value);
    bool writeInteger(const QString &section, const QString &key, int value);

    // While writes are held, they change only the copy in memory, and commitWrites()
    // replaces the file once, so a group of entries reaches the disk whole or not at all.
    void holdWrites() { held_ = true; }
    bool commitWrites();

    // Why the last write or commit did not reach the file ("Cannot write file "PATH".
    // REASON"); empty when it did.
    const QString &errorString() const { return error_; }

private:
    struct Line { QString text; QString key; bool isEntry = false; };
    struct Section { QString name; std::vector<Line> lines; };

    void load();
    bool save();
    const Section *findSection(const QString &name) const;
    const Line *findEntry(const Section &s, const QString &key) const;
    // Where the value of the entry line l, found for key, begins.
    static qsizetype valueStart(const Line &l, const QString &key);

    QString path_;
    bool held_ = false;
    QString error_;
    std::vector<Line> preamble_;
    std::vector<Section> sections_;
};

// Reads a text file that may be UTF-8 (with or without byte-order mark) or Windows-1252.
QString readTextFileAnyEncoding(const QString &path, bool *ok = nullptr);
