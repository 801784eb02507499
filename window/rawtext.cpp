#include "window/rawtext.h"

#include <QTextDocument>

#include <algorithm>
#include <iterator>
#include <vector>

namespace vesk
{
namespace
{

// The text box keeps these as document structure, not as text: a paragraph
// separator turns into a line break and the frame markers vanish. While the
// text is shown they stand in as private-use characters it lacks, so an
// edit elsewhere in the box does not change them.
constexpr char16_t kUnholdable[] = {0x2029, 0xFDD0, 0xFDD1};
constexpr QStringView kUnholdableView(kUnholdable, std::size(kUnholdable));

QString pickStandIns(QStringView text)
{
    if (std::none_of(std::begin(kUnholdable), std::end(kUnholdable),
                     [&](char16_t c) { return text.contains(QChar(c)); }))
        return {};
    constexpr char16_t first = 0xE000, end = 0xF900;
    std::vector<bool> used(end - first);
    for (QChar c : text)
        if (c.unicode() >= first && c.unicode() < end)
            used[c.unicode() - first] = true;
    QString out;
    for (char16_t c = first; c < end && out.size() < kUnholdableView.size(); ++c)
        if (!used[c - first])
            out += QChar(c);
    return out.size() == kUnholdableView.size() ? out : QString();
}

QString swapChars(QString text, QStringView from, QStringView to)
{
    for (qsizetype i = 0; i < from.size() && i < to.size(); ++i)
        text.replace(from[i], to[i]);
    return text;
}

} // namespace

RawTextEdit::RawTextEdit(QWidget *parent) : QPlainTextEdit(parent)
{
    connect(this, &QPlainTextEdit::textChanged, this, [this] {
        if (m_setting)
            return;
        m_edited = true;
        emit edited();
    });
}

void RawTextEdit::setTextAsRead(QString lines)
{
    m_asRead = std::move(lines);
    m_standIns.clear();
    m_edited = false;
    m_pending = true;
    if (isVisible() || m_asRead.isEmpty())
        fill();
}

void RawTextEdit::fill()
{
    if (!m_pending)
        return;
    m_pending = false;
    m_setting = true;
    m_standIns = pickStandIns(m_asRead);
    setPlainText(swapChars(m_asRead, kUnholdableView, m_standIns));
    m_setting = false;
}

QString RawTextEdit::textToWrite() const
{
    if (!m_edited)
        return m_asRead;
    QString raw = document()->toRawText();
    raw.replace(QChar::ParagraphSeparator, u'\n');
    return swapChars(std::move(raw), m_standIns, kUnholdableView);
}

void RawTextEdit::showEvent(QShowEvent *event)
{
    fill();
    QPlainTextEdit::showEvent(event);
}

} // namespace vesk
