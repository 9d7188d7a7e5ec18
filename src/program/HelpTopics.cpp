#include "program/HelpTopics.h"

#include "core/MessageText.h"

#include <QDir>

QList<HelpTopic> ParseHelpTopics(const QString &text, QString *error)
{
    QList<HelpTopic> topics;
    QStringList lines = text.split(QLatin1Char('\n'));
    // A line break at the end of the file ends the last line; it starts no topic.
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    for (QString line : lines) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        int depth = 0;
        while (depth < line.size() && (line[depth] == QLatin1Char('\t') || line[depth] == QLatin1Char(' ')))
            ++depth;
        const QString topicText = line.mid(depth);
        if (topics.isEmpty()) {
            topics.append({0, topicText});
            continue;
        }
        if (depth > topics.last().depth + 1) {
            if (error)
                *error = messageText("Invalid level (%1) for item \"%2\"").arg(depth).arg(topicText);
            return topics;
        }
        topics.append({depth, topicText});
    }
    if (error)
        error->clear();
    return topics;
}

QStringList ListRtfFiles(const QString &folder)
{
    QStringList names = QDir(folder).entryList({QStringLiteral("*.rtf")},
                                               QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                                               QDir::Unsorted);
    for (QString &name : names)
        name.truncate(name.lastIndexOf(QLatin1Char('.')));
    return names;
}
