#pragma once
// The help documents beside the program: the list of documents in the Help folder and the
// topics file that gives each document its tree of headings.
#include <QList>
#include <QString>
#include <QStringList>

// One topic line: its text and its depth in the tree (0 for a top-level topic).
struct HelpTopic
{
    int depth = 0;
    QString text;
    bool operator==(const HelpTopic &) const = default;
};

// The topics of a topics file's text, in order. A line's depth is the number of tabs and
// blanks it starts with; the first line is a top-level topic whatever its depth; every
// further line is a sibling of the topic before it at the same depth, its child one level
// deeper, or a sibling of that topic's ancestor at a smaller depth. A line more than one
// level deeper stops the reading: the topics before it are returned and *error says
// "Invalid level (%d) for item "%s"" with the line's depth and text.
QList<HelpTopic> ParseHelpTopics(const QString &text, QString *error = nullptr);

// The names of the "*.rtf" entries of folder, without their extension, in the order the
// file system lists them.
QStringList ListRtfFiles(const QString &folder);
