#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class QTextStream;

namespace vesk
{

class FileAccess;

namespace cli
{

// Exit codes of veskcfg.
inline constexpr int kOk = 0;
inline constexpr int kFailed = 1; // not found, check failed, save failed
inline constexpr int kUsage = 2;

struct Environment {
    FileAccess &files;
    // The folder whose location file names the configuration when no
    // --file is given; asked only then (choosing it may create a folder).
    std::function<QString()> dataFolder;
};

// Runs one veskcfg command line (arguments[0] is the program name) and
// returns its exit code. Results go to out, messages to err.
int run(const QStringList &arguments, const Environment &env, QTextStream &out, QTextStream &err);

} // namespace cli
} // namespace vesk
