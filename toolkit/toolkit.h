#pragma once

#include <QString>

namespace vesk
{

class FileAccess;

enum class Buttons { Ok, YesNo, YesNoCancel };
enum class Icon { None, Critical };
enum class Answer { Ok, Yes, No, Cancel };

// The editor's boundary to the platform: the prompts it shows, where it
// lives, its files and how it ends. Tests put a scripted double here.
class Toolkit
{
public:
    virtual ~Toolkit() = default;

    // Modal message box; defaultButton only matters for Yes/No(/Cancel).
    // A question closed by Escape or by its frame's close button answers
    // Cancel, also when it shows no Cancel button: the question is withdrawn,
    // never answered No, so dismissing it cannot throw work away.
    virtual Answer messageBox(const QString &prompt, Buttons buttons, Icon icon, const QString &title,
                              Answer defaultButton = Answer::Yes) = 0;
    // Modal input box of one line; returns the empty text on Cancel.
    virtual QString inputBox(const QString &prompt, const QString &title, const QString &defaultText) = 0;
    // Folder of the program, without a trailing separator.
    virtual QString appFolder() = 0;
    // Folder the location file is read from: the program's own, or the
    // per-user one for an installed copy.
    virtual QString dataFolder() { return appFolder(); }
    // Folder the location file and a default configuration are written to;
    // the per-user one where the program's own holds a location file but
    // cannot be written.
    virtual QString writableDataFolder() { return dataFolder(); }
    virtual FileAccess &files() = 0;
    // Called again and again while the editor waits for another machine,
    // with how long this wait has lasted: a busy window shows a way to give
    // up (after half a second) and answers false once the user did.
    virtual bool keepWaiting(const QString &what, qint64 waitedMs) = 0;
    // The wait is over: whatever keepWaiting() showed goes.
    virtual void doneWaiting() = 0;
    // Ends the program; the caller returns to the event loop, which stops.
    virtual void end() = 0;
};

} // namespace vesk
