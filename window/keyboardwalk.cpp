#include "window/keyboardwalk.h"

#include "config/catalogue.h"
#include "window/form.h"
#include "window/rawtext.h"
#include "window/tabcontrol.h"

#include <QFocusEvent>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>

#include <algorithm>

namespace vesk
{

KeyboardWalk::KeyboardWalk(const Form &form) : m_tabs(*form.tabs), m_saveButton(form.saveButton)
{
    // Page by page along the strip: each page's settings, or its controls.
    for (int p = 0; p < kPageCount; ++p) {
        for (int slot : catalogue::rowsOf(Page(p)))
            m_order.push_back(form.boxes[size_t(slot)]);
        if (Page(p) == Page::Categories) {
            m_order.push_back(form.categoryView);
            m_order.push_back(form.addCategoryButton);
        } else if (Page(p) == Page::Raw) {
            m_order.push_back(form.rawText);
        }
    }
    m_order.push_back(form.saveButton);
    m_order.push_back(form.quitButton);
    m_order.push_back(m_tabs.tabBar());
    for (size_t i = 0; i + 1 < m_order.size(); ++i)
        QWidget::setTabOrder(m_order[i], m_order[i + 1]);
    // Which page the strip shows, the user's pick or the walk's: see step().
    QTabBar *strip = m_tabs.tabBar();
    strip->installEventFilter(this);
    connect(strip, &QTabBar::currentChanged, this, [this] {
        if (!m_walking)
            m_pagePicked = true;
    });
    // Nothing else on the pages takes the focus by Tab.
    for (int p = 0; p < m_tabs.pageCount(); ++p)
        for (QObject *child : m_tabs.page(p)->children())
            if (auto *w = qobject_cast<QWidget *>(child);
                w && std::find(m_order.begin(), m_order.end(), w) == m_order.end())
                w->setFocusPolicy(Qt::NoFocus);
}

bool KeyboardWalk::step(QWidget *current, bool next)
{
    // A control may hand its focus to a stand-in (the Raw text's view).
    auto it = std::find_if(m_order.begin(), m_order.end(), [&](QWidget *w) {
        return w == current || (current && w->focusProxy() == current);
    });
    if (it == m_order.end() || !current->isVisible())
        return false;
    if (next && current == m_tabs.tabBar() && m_pagePicked) {
        // From the strip, into the page the user picked there. A page the
        // walk itself brought to the front (the last one with a stop) would
        // send the walk round that page for ever: it goes on to the first
        // stop instead.
        focusPage(m_tabs.currentIndex());
        return true;
    }
    const auto n = std::ptrdiff_t(m_order.size());
    auto i = ((it - m_order.begin()) + (next ? 1 : n - 1)) % n;
    QWidget *target = m_order[size_t(i)];
    const int page = m_tabs.indexOfPageHolding(target);
    if (page >= 0) {
        m_walking = true;
        m_tabs.setCurrentIndex(page);
        m_walking = false;
    }
    target->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
    return true;
}

bool KeyboardWalk::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::FocusIn && watched == m_tabs.tabBar()) {
        // The keyboard arrives at the strip (not back from a menu or another
        // window): nothing picked there yet.
        const Qt::FocusReason r = static_cast<QFocusEvent *>(event)->reason();
        if (r != Qt::ActiveWindowFocusReason && r != Qt::PopupFocusReason && r != Qt::MenuBarFocusReason)
            m_pagePicked = false;
    }
    return QObject::eventFilter(watched, event);
}

QWidget *KeyboardWalk::firstControlOf(int page) const
{
    for (QWidget *w : m_order)
        if (m_tabs.indexOfPageHolding(w) == page)
            return w;
    return nullptr;
}

void KeyboardWalk::focusPage(int page)
{
    // A page without controls (About) hands on to the buttons below the tabs.
    QWidget *first = firstControlOf(page);
    (first ? first : m_saveButton)->setFocus(Qt::TabFocusReason);
}

void KeyboardWalk::switchPage(int step)
{
    const int n = m_tabs.pageCount();
    const int page = (m_tabs.currentIndex() + step + n) % n;
    m_tabs.setCurrentIndex(page);
    // The keyboard goes with the page; one without controls leaves it on
    // the strip.
    if (QWidget *first = firstControlOf(page))
        first->setFocus(Qt::TabFocusReason);
    else
        m_tabs.tabBar()->setFocus(Qt::TabFocusReason);
}

} // namespace vesk
