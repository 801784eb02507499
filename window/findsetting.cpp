#include "window/findsetting.h"

#include "toolkit/keys.h"

#include "config/catalogue.h"
#include "toolkit/toolkit.h"
#include "window/mainwindow.h"
#include "window/tabcontrol.h"

#include <QLabel>
#include <QLineEdit>

using namespace Qt::StringLiterals;

namespace vesk
{

FindSetting::FindSetting(Toolkit &toolkit, MainWindow &window)
    : QObject(&window), m_toolkit(toolkit), m_window(window)
{
    setObjectName(u"findSetting"_s);
}

std::span<const int> FindSetting::searchOrder()
{
    return catalogue::slotsInStripOrder();
}

bool FindSetting::matches(int slot, const QString &text)
{
    const Setting *s = catalogue::setting(slot);
    return s
           && (s->caption.contains(text, Qt::CaseInsensitive) || s->key.contains(text, Qt::CaseInsensitive)
               || s->help.contains(text, Qt::CaseInsensitive));
}

int FindSetting::currentSlot() const
{
    return m_current < 0 ? -1 : searchOrder()[size_t(m_current)];
}

void FindSetting::find()
{
    const QString text =
        m_toolkit.inputBox(u"Caption, key or words from the help text:"_s, u"Find Setting"_s, m_last);
    if (text.isEmpty())
        return;
    m_last = text;
    searchFrom(0);
}

void FindSetting::findNext()
{
    if (m_last.isEmpty()) {
        find();
        return;
    }
    const std::ptrdiff_t before = m_current;
    searchFrom(m_current < 0 ? 0 : size_t(m_current) + 1);
    // Find Next that lands where it was tells so, rather than nothing.
    if (before >= 0 && m_current == before)
        m_toolkit.messageBox(u"No other setting matches "_s + m_last, Buttons::Ok, Icon::None,
                             u"Find Setting"_s);
}

void FindSetting::searchFrom(size_t start)
{
    const std::span<const int> order = searchOrder();
    const size_t n = order.size();
    for (size_t i = 0; i < n; ++i) {
        const size_t at = (start + i) % n;
        if (matches(order[at], m_last)) {
            m_current = std::ptrdiff_t(at);
            show(order[at]);
            return;
        }
    }
    m_current = -1;
    m_toolkit.messageBox(u"No setting matches "_s + m_last, Buttons::Ok, Icon::None, u"Find Setting"_s);
}

void FindSetting::show(int slot)
{
    QLineEdit *box = m_window.valueBox(slot);
    if (!box)
        return;
    TabControl *tabs = m_window.tabs();
    const int page = tabs->indexOfPageHolding(box);
    if (page >= 0)
        tabs->setCurrentIndex(page);
    focusSelected(box); // selected after the focus is told: heard once
    m_window.showHelp(slot);
}

} // namespace vesk
