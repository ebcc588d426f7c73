#include "cli/Cli.h"

#include "workspace/DocumentTypes.h"

#include <QDateTime>
#include <QFileInfo>
#include <QRegularExpression>

#include <cstdio>
#include <unistd.h>

namespace scrivola::cli {

Arguments::Arguments(const QStringList& args, const QStringList& valued, const QStringList& flags) {
    for (int i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            help_ = true;
        } else if (arg.startsWith('-') && arg.size() > 1 && !QRegularExpression(QStringLiteral("^-[0-9.]")).match(arg).hasMatch()) {
            QString name = arg;
            QString inlineValue;
            bool hasInline = false;
            if (const int eq = arg.indexOf('='); eq > 0) {
                name = arg.left(eq);
                inlineValue = arg.mid(eq + 1);
                hasInline = true;
            }
            if (valued.contains(name)) {
                if (seen_.contains(name)) throw UsageError(QStringLiteral("%1 given twice").arg(name).toStdString());
                if (!hasInline) {
                    if (i + 1 >= args.size()) throw UsageError(QStringLiteral("%1 needs a value").arg(name).toStdString());
                    inlineValue = args[++i];
                }
                seen_ << name;
                values_ << inlineValue;
            } else if (flags.contains(name) && !hasInline) {
                seen_ << name;
                values_ << QString();
            } else {
                throw UsageError(QStringLiteral("unknown option %1").arg(arg).toStdString());
            }
        } else {
            positional_ << arg;
        }
    }
}

QString Arguments::positional(int index, const QString& what) const {
    if (index >= positional_.size()) throw UsageError(QStringLiteral("missing %1").arg(what).toStdString());
    return positional_[index];
}

void Arguments::expectPositional(int count) const {
    if (positional_.size() > count)
        throw UsageError(QStringLiteral("unexpected argument %1").arg(positional_[count]).toStdString());
}

bool Arguments::has(const QString& option) const { return seen_.contains(option); }

std::optional<QString> Arguments::value(const QString& option) const {
    const int i = int(seen_.indexOf(option));
    if (i < 0) return std::nullopt;
    return values_[i];
}

QString Arguments::required(const QString& option) const {
    auto v = value(option);
    if (!v || v->isEmpty()) throw UsageError(QStringLiteral("%1 is required").arg(option).toStdString());
    return *v;
}

double Arguments::number(const QString& option, double fallback, double min, double max) const {
    auto v = value(option);
    if (!v) return fallback;
    bool ok = false;
    const double d = v->toDouble(&ok);
    if (!ok || !(d >= min && d <= max))
        throw UsageError(QStringLiteral("%1 must be a number from %2 to %3").arg(option).arg(min).arg(max).toStdString());
    return d;
}

int Arguments::integer(const QString& option, int fallback, int min, int max) const {
    auto v = value(option);
    if (!v) return fallback;
    bool ok = false;
    const int n = v->toInt(&ok);
    if (!ok || n < min || n > max)
        throw UsageError(QStringLiteral("%1 must be a whole number from %2 to %3").arg(option).arg(min).arg(max).toStdString());
    return n;
}

std::set<int> parsePageList(const QString& text, int pageCount) {
    std::set<int> pages;
    static const QRegularExpression item(QStringLiteral("^\\s*(\\d+)\\s*(?:-\\s*(\\d+)\\s*)?$"));
    for (const QString& part : text.split(',')) {
        const auto m = item.match(part);
        if (!m.hasMatch()) throw UsageError(QStringLiteral("bad page list \"%1\"").arg(text).toStdString());
        const qlonglong first = m.captured(1).toLongLong();
        const qlonglong last = m.captured(2).isEmpty() ? first : m.captured(2).toLongLong();
        if (first < 1 || last < first || last > pageCount)
            throw UsageError(QStringLiteral("pages must lie within 1-%1: \"%2\"").arg(pageCount).arg(part.trimmed()).toStdString());
        for (qlonglong p = first; p <= last; ++p) pages.insert(int(p - 1));
    }
    return pages;
}

void checkOutputPath(const QString& input, const QString& output) {
    const QFileInfo out(output);
    if (out.isDir()) throw UsageError(QStringLiteral("output %1 is a folder").arg(output).toStdString());
    const QFileInfo in(input);
    const QString a = in.canonicalFilePath();
    const QString b = out.exists() ? out.canonicalFilePath() : out.absoluteFilePath();
    if (!a.isEmpty() && a == b) throw UsageError("the output must not overwrite the input");
}

namespace {

// Where our own messages go: the standard error stream, or a duplicate of it once the libraries'
// stream has been sent away.
FILE* messages = stderr;

}  // namespace

void keepStandardErrorForOurMessages() {
    const int fd = ::dup(STDERR_FILENO);
    if (fd < 0) return;
    FILE* ours = ::fdopen(fd, "w");
    if (!ours) {
        ::close(fd);
        return;
    }
    std::fflush(stderr);
    if (!std::freopen("/dev/null", "w", stderr)) {
        std::fclose(ours);
        return;
    }
    std::setvbuf(ours, nullptr, _IOLBF, 0);
    messages = ours;
}

Progress::Progress(QString label)
    : label_(std::move(label)), started_(QDateTime::currentMSecsSinceEpoch()), tty_(isatty(::fileno(messages))) {}

void Progress::update(int done, int total) {
    if (!tty_ || QDateTime::currentMSecsSinceEpoch() - started_ < 1000) return;
    std::fprintf(messages, "\r%s %d/%d", qPrintable(label_), done, total);
    std::fflush(messages);
    shown_ = true;
}

Progress::~Progress() {
    if (shown_) std::fprintf(messages, "\r\033[K");
}

void printLine(const QString& text) {
    std::fputs(text.toUtf8().constData(), stdout);
    std::fputc('\n', stdout);
}

void printError(const QString& text) {
    std::fputs(text.toUtf8().constData(), messages);
    std::fputc('\n', messages);
    std::fflush(messages);
}

}  // namespace scrivola::cli
