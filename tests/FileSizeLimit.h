#pragma once
// Writes that fail as on a full disk, without mounting anything (tests may not run as
// root): no file a process writes may grow past a few bytes (RLIMIT_FSIZE), and with
// SIGXFSZ ignored a write beyond that fails with EFBIG, "File too large". The first write
// that crosses the limit is cut short, as on a disk that fills up part way; the next one
// fails outright.
#include <QProcess>
#include <QString>

#include <cerrno>
#include <csignal>
#include <sys/resource.h>

constexpr rlim_t SmallFileLimit = 100;

// The system's text for the failure such writes report.
inline QString fileTooLargeText() { return qt_error_string(EFBIG); }

// Limits this process while the object lives.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes = SmallFileLimit)
    {
        getrlimit(RLIMIT_FSIZE, &saved_);
        previous_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limited = saved_;
        limited.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previous_);
    }
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

    // Limits a child process from its start.
    static void applyTo(QProcess &process, rlim_t bytes = SmallFileLimit)
    {
        process.setChildProcessModifier([bytes] {
            std::signal(SIGXFSZ, SIG_IGN);
            rlimit limited{};
            getrlimit(RLIMIT_FSIZE, &limited);
            limited.rlim_cur = bytes;
            setrlimit(RLIMIT_FSIZE, &limited);
        });
    }

private:
    rlimit saved_{};
    void (*previous_)(int) = SIG_DFL;
};
