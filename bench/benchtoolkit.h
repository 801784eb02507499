#pragma once

// A toolkit for timing the window: the real disk, a chosen folder, and
// prompts answered at once (OK, or No to a question) but counted, so a
// benchmark can tell that nothing went wrong.

#include "store/fileaccess.h"
#include "toolkit/toolkit.h"

#include <QString>

namespace vesk::bench
{

class BenchToolkit : public Toolkit
{
public:
    explicit BenchToolkit(QString folder) : m_folder(std::move(folder)) {}

    Answer messageBox(const QString &, Buttons buttons, Icon icon, const QString &title, Answer) override
    {
        ++m_prompts;
        m_lastTitle = title;
        if (icon == Icon::Critical)
            ++m_errors;
        return buttons == Buttons::Ok ? Answer::Ok : Answer::No;
    }
    QString inputBox(const QString &, const QString &, const QString &) override
    {
        ++m_prompts;
        ++m_errors; // only a failed read asks for a path
        return QString();
    }
    QString appFolder() override { return m_folder; }
    FileAccess &files() override { return m_files; }
    bool keepWaiting(const QString &, qint64) override { return true; }
    void doneWaiting() override {}
    void end() override {}

    int prompts() const { return m_prompts; }
    int errors() const { return m_errors; }
    const QString &lastTitle() const { return m_lastTitle; }

private:
    QString m_folder;
    DiskFileAccess m_files;
    int m_prompts = 0;
    int m_errors = 0;
    QString m_lastTitle;
};

} // namespace vesk::bench
