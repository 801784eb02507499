#pragma once

#include "cli/commands.h"
#include "cli/invocation.h"
#include "cli/printer.h"
#include "document/configdocument.h"

#include <QTextStream>

#include <functional>

namespace vesk::cli
{

// A change to the content as read; its failure stops the command.
using Edit = std::function<Result<void>(ConfigContent &)>;

// One veskcfg command on one file: the commands that read are in
// commands.cpp, those that change the file in changes.cpp.
class Runner
{
public:
    Runner(const Environment &env, const Invocation &in, QTextStream &out, QTextStream &err)
        : m_env(env), m_in(in), m_out(out, in.json), m_err(err), m_document(env.files)
    {
    }

    int run();
    void finish() { m_out.finish(); }

private:
    // The exit code a failure stands for, its message on standard error.
    int report(const Failure &why)
    {
        m_err << kProgram << ": " << why.reason << '\n';
        if (why.fault != Fault::BadValue)
            return kFailed;
        m_err << "Try '" << kProgram << " --help' for more information.\n";
        return kUsage;
    }
    int failed(const QString &message) { return report(Failure::of(Fault::Refused, message)); }

    Result<QString> configPath() const;
    // A file a change is to be made to is refused while it may be
    // incomplete; a reading only warns.
    Result<ConfigData> load(bool changing = false);

    int list();
    int get(const QString &key);
    int check();
    int explain(const QString &key);
    int explainAll();
    int categories();
    int diff();
    // Applies an edit to the file's content and saves when it changed it.
    // told: what the command tells of its change, in JSON.
    int change(const Edit &edit, const std::function<Printer::Fields()> &told = {});
    int apply();
    int set();
    int unset();
    int category();
    QString diffText(const ConfigContent &content);

    const Environment &m_env;
    const Invocation &m_in;
    Printer m_out;
    QTextStream &m_err;
    ConfigDocument m_document;
    QString m_path;
};

} // namespace vesk::cli
