#include "window/reviewchanges.h"

#include "config/textcodec.h"
#include "document/configdocument.h"
#include "window/valuemarks.h"

#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QLabel>
#include <QPaintEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>
#include <QVBoxLayout>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace vesk
{
namespace
{

// The diff text with its lines coloured across the whole width. The
// colours are painted for the visible lines only, so a diff of any length
// costs nothing to colour.
class DiffView : public QPlainTextEdit
{
public:
    using QPlainTextEdit::QPlainTextEdit;
    bool showsDiff = false;

protected:
    void paintEvent(QPaintEvent *event) override
    {
        if (showsDiff) {
            QPainter painter(viewport());
            const QRect area = event->rect();
            for (QTextBlock b = firstVisibleBlock(); b.isValid(); b = b.next()) {
                const QRectF r = blockBoundingGeometry(b).translated(contentOffset());
                if (r.top() > area.bottom())
                    break;
                if (const QColor c = colourOf(b); c.isValid())
                    painter.fillRect(QRectF(0, r.top(), viewport()->width(), r.height()), c);
            }
        }
        QPlainTextEdit::paintEvent(event);
    }

private:
    static QColor colourOf(const QTextBlock &b)
    {
        if (b.blockNumber() < 2) // the "---" and "+++" lines
            return QColor(0xee, 0xee, 0xee);
        const QString text = b.text();
        switch (text.isEmpty() ? u' ' : text.front().unicode()) {
        case u'-': return QColor(0xff, 0xd7, 0xd5);
        case u'+': return QColor(0xcd, 0xf5, 0xcd);
        case u'@': return QColor(0xdd, 0xe6, 0xf4);
        default: return QColor();
        }
    }
};

} // namespace

ReviewSides reviewSides(ConfigDocument &document, const ConfigContent &content)
{
    Changes c = document.changes(content);
    ReviewSides sides{std::move(c.onDisk), std::move(c.toWrite), QString()};
    QStringList notes;
    if (c.unreadable)
        notes << u"The cfg file at "_s + document.path() + u" could not be read ("_s + c.unreadable->reason
                     + u"), so it is compared as an empty file."_s;
    else if (c.changedElsewhere)
        notes
            << u"Another program changed the cfg file since it was loaded; the lines on disk are its version."_s;
    if (c.unsaveable)
        notes << u"Save would stop: "_s + c.unsaveable->reason;
    else if (c.lineEndsOnly)
        notes << u"The lines are the same, but Save would rewrite how they end (every line ends in CR LF)."_s;
    if (const QString bad = valueProblemList(content); !bad.isEmpty())
        notes << bad;
    sides.note = notes.join(u'\n');
    return sides;
}

ReviewChangesDialog::ReviewChangesDialog(QWidget *parent) : QDialog(parent)
{
    setObjectName(u"ReviewChanges"_s);
    setWindowTitle(u"Review Changes"_s);
    setWindowModality(Qt::WindowModal);

    m_note = new QLabel(this);
    m_note->setObjectName(u"note"_s);
    m_note->setWordWrap(true);
    m_note->setTextFormat(Qt::PlainText);
    m_note->setTextInteractionFlags(Qt::TextSelectableByMouse);

    m_view = new DiffView(this);
    m_view->setObjectName(u"diff"_s);
    m_view->setReadOnly(true);
    m_view->setUndoRedoEnabled(false);
    m_view->setLineWrapMode(QPlainTextEdit::NoWrap);
    // Keyboard users can move through the text and copy from it.
    m_view->setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);
    m_view->setAccessibleName(u"Changes"_s);
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setFamilies({u"Liberation Mono"_s, u"DejaVu Sans Mono"_s, u"monospace"_s});
    mono.setStyleHint(QFont::Monospace);
    mono.setFixedPitch(true);
    m_view->setFont(mono);
    // The line colours are light; keep the text dark on them in any theme.
    QPalette pal = m_view->palette();
    pal.setColor(QPalette::Base, Qt::white);
    pal.setColor(QPalette::Text, Qt::black);
    m_view->setPalette(pal);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    m_close = buttons->button(QDialogButtonBox::Close);
    m_close->setObjectName(u"close"_s);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_note);
    layout->addWidget(m_view, 1);
    layout->addWidget(buttons);
    resize(760, 520);
}

void ReviewChangesDialog::showChanges(const QString &path, const ReviewSides &sides)
{
    const LineDiff diff = unifiedDiff(sides.onDisk, sides.toWrite);
    QStringList notes{u"What Save would write to "_s + path + u", against the file on disk now."_s};
    if (!sides.note.isEmpty())
        notes << sides.note;
    if (diff.unmatched)
        notes
            << u"The changed part is too large to match line by line, so it is shown removed and added whole."_s;
    m_note->setText(notes.join(u'\n'));

    auto *view = static_cast<DiffView *>(m_view);
    view->showsDiff = !diff.lines.empty();
    if (diff.lines.empty()) {
        m_view->setPlainText(u"No changes"_s);
        return;
    }
    QStringList text{u"--- "_s + path + u" (on disk)"_s, u"+++ "_s + path + u" (after Save)"_s};
    const size_t shown = std::min(diff.lines.size(), kMaxShownDiffLines);
    text.reserve(qsizetype(shown) + 3);
    for (size_t i = 0; i < shown; ++i)
        text << diff.lines[i].text;
    if (shown < diff.lines.size()) {
        const QString cut =
            u"Only the first %1 of %2 lines of the changes are shown."_s.arg(shown).arg(diff.lines.size());
        text << u"... "_s + cut;
        notes << cut;
        m_note->setText(notes.join(u'\n'));
    }
    m_view->setPlainText(text.join(u'\n'));

    m_view->moveCursor(QTextCursor::Start);
}

ReviewChangesDialog *reviewChanges(QWidget &parent, ConfigDocument &document, const ConfigContent &content)
{
    auto *dialog = parent.findChild<ReviewChangesDialog *>(QString(), Qt::FindDirectChildrenOnly);
    if (!dialog) {
        dialog = new ReviewChangesDialog(&parent);
        // Without a window manager nothing else gives the keyboard back.
        QObject::connect(dialog, &QDialog::finished, &parent, [&parent] { parent.activateWindow(); });
    }
    dialog->showChanges(document.path(), reviewSides(document, content));
    dialog->open();
    dialog->view()->setFocus();
    return dialog;
}

} // namespace vesk
