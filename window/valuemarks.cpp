#include "window/valuemarks.h"

#include "config/catalogue.h"
#include "config/configwriter.h"
#include "config/valuecheck.h"
#include "toolkit/accessible.h"
#include "window/helpline.h"

#include <QAction>
#include <QIcon>
#include <QLineEdit>
#include <QStyle>

using namespace Qt::StringLiterals;

namespace vesk
{
namespace
{

// A broken file can have a problem in every setting; past this many the
// list would push the diff out of the Review Changes window.
constexpr int kMaxListedProblems = 12;

// The style's warning icon is drawn in its own colours, so it reads on a
// light and a dark palette alike. Looking it up searches the icon theme on
// disk, so it is done once per style, and only when a box needs it.
QIcon warningIcon(QStyle *style)
{
    static constexpr char kKey[] = "vesk_warningIcon";
    QVariant icon = style->property(kKey);
    if (!icon.isValid()) {
        icon = QVariant::fromValue(style->standardIcon(QStyle::SP_MessageBoxWarning));
        style->setProperty(kKey, icon);
    }
    return icon.value<QIcon>();
}

QString problemLine(const QString &problem)
{
    return u"Problem: "_s + problem;
}

} // namespace

void markValueProblems(QLineEdit *box, int slot, QObject *pointerWatcher, HelpLine *helpLine,
                       Announcer *announcer)
{
    auto *mark = new QAction(box);
    mark->setObjectName(u"valueProblem"_s);
    // The box shows the icon only while it holds the action: a hidden
    // action still leaves a greyed icon in the box.
    auto showMark = [box, mark, slot, pointerWatcher](bool show) {
        if (!show) {
            box->removeAction(mark);
            return;
        }
        if (box->actions().contains(mark))
            return;
        if (mark->icon().isNull())
            mark->setIcon(warningIcon(box->style()));
        box->addAction(mark, QLineEdit::TrailingPosition);
        for (QObject *o : mark->associatedObjects()) {
            if (auto *icon = qobject_cast<QWidget *>(o); icon && icon != box) {
                icon->setProperty("slot", slot);
                icon->setMouseTracking(true);
                icon->installEventFilter(pointerWatcher);
            }
        }
    };

    // The description without a problem is taken when a problem first
    // shows, not now: the caller may still add to it (the Display Options
    // headings).
    QString plainDescription;
    QString problem;
    QString help = catalogue::helpEntry(slot);
    QObject::connect(box, &QLineEdit::textChanged, mark, [=](const QString &text) mutable {
        const QString now = checkValue(slot, text).reason();
        if (now == problem)
            return;
        if (problem.isEmpty())
            plainDescription = box->accessibleDescription();
        problem = now;
        showMark(!problem.isEmpty());
        mark->setToolTip(problem);
        // The icon is a button to a screen reader: named by what it marks.
        mark->setText(problem.isEmpty() ? QString() : problemLine(problem));
        setInvalidEntry(box, !problem.isEmpty());
        if (announcer && box->hasFocus()) {
            const QString caption = catalogue::setting(slot)->caption;
            announcer->announce(problem.isEmpty() ? caption + u" fits its setting now"_s
                                                  : caption + u' ' + problem);
        }
        box->setAccessibleDescription(problem.isEmpty() ? plainDescription
                                                        : problemLine(problem) + u".\n"_s + plainDescription);
        // The help line follows while it shows this setting,
        // so typing there shows the problem come and go.
        const QString newHelp = helpWithProblem(slot, box);
        if (helpLine && helpLine->text() == help)
            helpLine->setHelp(newHelp);
        help = newHelp;
    });
}

QString helpWithProblem(int slot, const QLineEdit *box)
{
    const QString entry = catalogue::helpEntry(slot);
    const QString problem = box ? checkValue(slot, box->text()).reason() : QString();
    return problem.isEmpty() ? entry : entry + u'\n' + problemLine(problem);
}

int valueProblemCount(const ConfigContent &content)
{
    int count = 0;
    for (int slot = 0; slot < catalogue::kSlotCount; ++slot)
        if (catalogue::setting(slot) && !checkValue(slot, content.values[size_t(slot)]))
            ++count;
    return count;
}

QString valueProblemList(const ConfigContent &content)
{
    QStringList lines;
    int count = 0;
    for (int slot = 0; slot < catalogue::kSlotCount; ++slot) {
        const QString problem = checkValue(slot, content.values[size_t(slot)]).reason();
        const Setting *s = catalogue::setting(slot);
        if (problem.isEmpty() || !s)
            continue;
        if (++count <= kMaxListedProblems)
            lines << s->caption + u" ("_s + s->key + u"): "_s + problem;
    }
    if (lines.isEmpty())
        return {};
    if (count > lines.size())
        lines << u"... and %1 more."_s.arg(count - lines.size());
    lines.prepend(
        count == 1
            ? u"This value does not fit its setting; Save writes it as it is:"_s
            : u"These %1 values do not fit their settings; Save writes them as they are:"_s.arg(count));
    return lines.join(u'\n');
}

} // namespace vesk
