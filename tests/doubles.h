#pragma once

#include "store/fileaccess.h"
#include "toolkit/toolkit.h"

#include <QString>
#include <QTemporaryDir>

#include <cerrno>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

namespace vesk::test
{

// A file layer on a real folder that can be told to fail one chosen
// operation: the nth call of an operation, or a write that reaches a byte.
class FaultyFiles : public FileAccess
{
public:
    enum class Op {
        Status,
        Read,
        Open,
        Write,
        Flush,
        SetPermissions,
        Commit,
        Rename,
        Remove,
        Chown,
        CopyAttributes,
        Reserve,
        Truncate,
        Link,
        SyncFolder,
        OpenInPlace,
        Name,       // a temporary made a second name of an existing file
        OpenFolder, // by the folder's path
        Lock,
        Names,
        Mark // a rewrite's mark set
    };

    struct Fault {
        Op op;
        int occurrence = 1;   // fail the nth call of op (1 = the first)
        qint64 atByte = -1;   // for Write: fail once, when this many bytes went through
        QString pathContains; // only calls on paths holding this text count
        QString reason = QStringLiteral("Injected failure");
        int code = EIO;           // the error number the failure carries
        bool outOfMemory = false; // throw std::bad_alloc instead
    };

    void failOn(Fault f) { m_faults.push_back({std::move(f)}); }
    void clearFaults() { m_faults.clear(); }
    // Every operation asked for, as "op path", in order.
    const std::vector<QString> &log() const { return m_log; }
    bool faultFired() const { return m_fired; }
    static const char *name(Op op);
    // Runs before each operation with its log entry: a test can look at the
    // disk as a crash at that moment would leave it, or change it as
    // another program would at that moment.
    std::function<void(const QString &)> beforeEach;
    // Every file seems this much older than it is.
    qint64 ageNs = 0;
    FileStatus aged(FileStatus s) const;
    FileStatus unaged(FileStatus s) const;

    Result<std::unique_ptr<Folder>> openFolder(const QString &path) override;

    // The failure to report when the call must fail. For a write, *allowed
    // says how many of its bytes go through first.
    std::optional<FileResult> fault(Op op, const QString &path, qint64 bytesSoFar = 0, qint64 chunk = 0,
                                    qint64 *allowed = nullptr);

private:
    struct Armed {
        Fault fault;
        int calls = 0;
        bool spent = false;
    };
    DiskFileAccess m_disk;
    std::vector<Armed> m_faults;
    std::vector<QString> m_log;
    bool m_fired = false;
};

// The toolkit double: answers message and input boxes from queues and
// records every prompt with its title, buttons, icon and default button.
class ScriptedToolkit : public Toolkit
{
public:
    struct Prompt {
        enum Kind { Message, Input } kind;
        QString title;
        QString text;
        Buttons buttons = Buttons::Ok;
        Icon icon = Icon::None;
        Answer defaultButton = Answer::Ok;
        QString defaultText; // input boxes
    };

    explicit ScriptedToolkit(QString folder) : m_folder(std::move(folder)) {}

    void answer(Answer a) { m_answers.push_back(a); }
    void type(const QString &text) { m_inputs.push_back(text); } // "" = Cancel
    // Run while a message box with this title is up (e.g. to inspect the window).
    std::function<void(const Prompt &)> onPrompt;

    Answer messageBox(const QString &prompt, Buttons buttons, Icon icon, const QString &title,
                      Answer defaultButton = Answer::Yes) override;
    QString inputBox(const QString &prompt, const QString &title, const QString &defaultText) override;
    QString appFolder() override { return m_folder; }
    // The folder of the location file; the application folder unless set.
    void setDataFolder(QString folder) { m_dataFolder = std::move(folder); }
    QString dataFolder() override { return m_dataFolder.isEmpty() ? m_folder : m_dataFolder; }
    // The folder the location file is written to; the data folder unless set.
    void setWritableDataFolder(QString folder) { m_writableDataFolder = std::move(folder); }
    QString writableDataFolder() override
    {
        return m_writableDataFolder.isEmpty() ? dataFolder() : m_writableDataFolder;
    }
    FileAccess &files() override { return m_files; }
    // Keeps waiting unless onWait says not to.
    bool keepWaiting(const QString &what, qint64 waitedMs) override
    {
        return !onWait || onWait(what, waitedMs);
    }
    void doneWaiting() override {}
    std::function<bool(const QString &, qint64)> onWait;
    void end() override { ++m_ends; }

    FaultyFiles &faultyFiles() { return m_files; }
    const std::vector<Prompt> &prompts() const { return m_prompts; }
    void clearPrompts() { m_prompts.clear(); }
    int ends() const { return m_ends; }
    // Answers queued but never asked for, and questions asked with none queued.
    int unusedAnswers() const { return int(m_answers.size() + m_inputs.size()); }
    int unanswered() const { return m_unanswered; }

private:
    QString m_folder;
    QString m_dataFolder;
    QString m_writableDataFolder;
    FaultyFiles m_files;
    std::deque<Answer> m_answers;
    std::deque<QString> m_inputs;
    std::vector<Prompt> m_prompts;
    int m_ends = 0;
    int m_unanswered = 0;
};

// Reading and writing whole files in a test folder.
QByteArray readBytes(const QString &path);
void writeBytes(const QString &path, const QByteArray &bytes);

} // namespace vesk::test
