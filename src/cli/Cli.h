#pragma once
// The command-line companion: subcommands share argument handling and error reporting.
#include <QString>
#include <QStringList>
#include <stdexcept>

// A failure the tool reports on standard error before exiting with status 1.
struct CliError : std::runtime_error
{
    explicit CliError(const QString &message) : std::runtime_error(message.toStdString()) {}
};
// Wrong arguments: reported with the usage, exit status 2.
struct UsageError : CliError
{
    using CliError::CliError;
};

// Options after the positional arguments: "--name value" pairs and bare positionals.
struct CliArguments
{
    QStringList positional;
    QList<QPair<QString, QString>> options;
    QString value(const QString &name) const;
    QStringList values(const QString &name) const;
    bool has(const QString &name) const;
};
// Splits args; options listed in known take one value each, anything else starting with
// "--" is a usage error.
CliArguments parseArguments(const QStringList &args, const QStringList &known);
// "640x480" into width and height (1 to 32768 each).
void parseSize(const QString &text, int &width, int &height);

struct CliCommand
{
    const char *name;
    const char *usage;
    int (*run)(const QStringList &args);
};

int runRender(const QStringList &args);
int runConvert(const QStringList &args);
int runInfo(const QStringList &args);
int runProject(const QStringList &args);
int runPrintRtf(const QStringList &args);
int runGradient(const QStringList &args);
