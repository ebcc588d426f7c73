#pragma once

// scrivola-cli: the command-line front end over the document models and services.

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <set>
#include <stdexcept>
#include <vector>

namespace scrivola::cli {

enum ExitCode { kSuccess = 0, kDocumentError = 1, kUsage = 2 };

// Bad command-line usage: the message is printed with the command's usage, exit code 2.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct Command {
    QString name;
    QString summary;
    QString usage;  // the lines after "usage: scrivola-cli "
    std::function<int(const QStringList& args)> run;
    // Page work that never lays out text or paints runs without a GUI application, which
    // saves its start-up (fonts, platform plugin) on every call.
    bool needsGui = true;
};

const std::vector<Command>& commands();

// Parsed "--flag value" options and positional arguments of one subcommand.
class Arguments {
public:
    // `valued` lists the options that take a value; `flags` those that don't.
    Arguments(const QStringList& args, const QStringList& valued, const QStringList& flags = {});

    const QStringList& positional() const { return positional_; }
    QString positional(int index, const QString& what) const;  // throws UsageError when missing
    bool has(const QString& option) const;
    std::optional<QString> value(const QString& option) const;
    QString required(const QString& option) const;
    double number(const QString& option, double fallback, double min, double max) const;
    int integer(const QString& option, int fallback, int min, int max) const;
    bool wantsHelp() const { return help_; }
    void expectPositional(int count) const;

private:
    QStringList positional_;
    QStringList seen_;
    QStringList values_;
    bool help_ = false;
};

// "1,3-5" → {0, 2, 3, 4} (zero-based), checked against the page count.
std::set<int> parsePageList(const QString& text, int pageCount);

// Refuses an output path that names the input file (also through links), or a folder.
void checkOutputPath(const QString& input, const QString& output);

// Writes a progress line on stderr when it is a terminal and the work has taken over a second.
// Image libraries under the codecs (libpng, libtiff) print their own complaints about damaged
// files to the C stream stderr. The command line's standard error carries only its own messages:
// this points stderr at /dev/null and keeps a duplicate of the real one for printError() and
// the progress line.
void keepStandardErrorForOurMessages();

class Progress {
public:
    explicit Progress(QString label);
    void update(int done, int total);
    ~Progress();

private:
    QString label_;
    qint64 started_;
    bool shown_ = false;
    bool tty_;
};

void printLine(const QString& text);
void printError(const QString& text);

}  // namespace scrivola::cli
