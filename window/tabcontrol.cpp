#include "window/tabcontrol.h"

#include "toolkit/accessible.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionTab>
#include <QStyleOptionTabWidgetFrame>
#include <QStylePainter>

namespace vesk
{

const std::vector<int> &FittedTabBar::captionWidths() const
{
    const int n = count();
    bool same = m_measuredFont == font() && m_measuredCaptions.size() == n;
    for (int i = 0; same && i < n; ++i)
        same = m_measuredCaptions[i] == tabText(i);
    if (same)
        return m_widths;
    const QFontMetrics fm(font());
    m_measuredFont = font();
    m_measuredCaptions.clear();
    m_widths.clear();
    m_totalWidth = 0;
    for (int i = 0; i < n; ++i) {
        m_measuredCaptions.append(tabText(i));
        m_widths.push_back(fm.horizontalAdvance(m_measuredCaptions.back()));
        m_totalWidth += m_widths.back();
    }
    return m_widths;
}

QSize FittedTabBar::tabSizeHint(int index) const
{
    const QSize natural = QTabBar::tabSizeHint(index);
    const int n = count();
    if (n == 0 || width() <= 0)
        return natural;
    // Each tab: its caption plus an equal share of the rest of the strip;
    // the last tab also takes what the rounding left.
    const std::vector<int> &widths = captionWidths();
    const int text = m_totalWidth;
    const int share = (width() - text) / n;
    int w = widths[size_t(index)] + share;
    if (index == n - 1)
        w += width() - text - share * n;
    return QSize(w, natural.height());
}

void FittedTabBar::paintEvent(QPaintEvent *)
{
    QStylePainter painter(this);
    auto paintTab = [&](int i) {
        QStyleOptionTab opt;
        initStyleOption(&opt, i);
        painter.drawControl(QStyle::CE_TabBarTabShape, opt);
        const QRect textRect = opt.rect.adjusted(2, 0, -2, 0);
        painter.drawItemText(textRect, Qt::AlignCenter | Qt::TextShowMnemonic, palette(), isTabEnabled(i),
                             tabText(i), QPalette::WindowText);
        if (i == currentIndex() && hasFocus()) {
            QStyleOptionFocusRect focus;
            focus.initFrom(this);
            const int w = fontMetrics().horizontalAdvance(tabText(i)) + 4;
            focus.rect = QRect(0, 0, std::min(w, textRect.width()), fontMetrics().height() + 2);
            focus.rect.moveCenter(textRect.center());
            painter.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
        }
    };
    // The current tab last, as it overlaps its neighbours.
    for (int i = 0; i < count(); ++i)
        if (i != currentIndex())
            paintTab(i);
    if (currentIndex() >= 0)
        paintTab(currentIndex());
}

TabControl::TabControl(QWidget *parent) : QWidget(parent), m_bar(new FittedTabBar(this))
{
    m_bar->setObjectName(QStringLiteral("SSTab1_tabs"));
    m_bar->setExpanding(false);
    m_bar->setUsesScrollButtons(false);
    m_bar->setElideMode(Qt::ElideNone);
    m_bar->setDrawBase(false);
    m_bar->setMouseTracking(true);
    m_bar->installEventFilter(this);
    setMouseTracking(true);
    connect(m_bar, &QTabBar::currentChanged, this, &TabControl::showPage);
}

QWidget *TabControl::addPage(const QString &caption, const QString &objectName)
{
    auto *p = new QWidget(this);
    p->setObjectName(objectName);
    // A page of tabs to a screen reader, named after its tab: moving into
    // another page then says which, as for any tabbed window.
    setAccessibleRole(p, QAccessible::PageTab);
    p->setAccessibleName(caption);
    p->setMouseTracking(true);
    p->installEventFilter(this);
    p->setGeometry(rect());
    p->setVisible(m_pages.empty());
    m_pages.push_back(p);
    m_bar->addTab(caption);
    m_bar->raise();
    return p;
}

int TabControl::indexOfPageHolding(const QWidget *w) const
{
    for (; w; w = w->parentWidget())
        for (size_t i = 0; i < m_pages.size(); ++i)
            if (m_pages[i] == w)
                return int(i);
    return -1;
}

void TabControl::showPage(int index)
{
    // Focus on a page about to be hidden goes to the strip first; otherwise
    // hiding it would send the focus on a walk of its own.
    QWidget *focus = focusWidget();
    if (focus && focus != m_bar && indexOfPageHolding(focus) != index)
        m_bar->setFocus(Qt::OtherFocusReason);
    if (index >= 0 && index < pageCount())
        m_pages[size_t(index)]->setVisible(true);
    for (size_t i = 0; i < m_pages.size(); ++i)
        if (int(i) != index)
            m_pages[i]->setVisible(false);
    m_bar->raise();
}

bool TabControl::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseMove)
        emit surfacePointerMoved();
    return QWidget::eventFilter(watched, event);
}

void TabControl::mouseMoveEvent(QMouseEvent *event)
{
    emit surfacePointerMoved();
    QWidget::mouseMoveEvent(event);
}

void TabControl::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    QStyleOptionTabWidgetFrame frame;
    frame.initFrom(this);
    frame.rect = rect().adjusted(0, m_bar->height() - 1, 0, 0);
    frame.shape = QTabBar::RoundedNorth;
    frame.tabBarSize = m_bar->size();
    frame.tabBarRect = m_bar->geometry();
    style()->drawPrimitive(QStyle::PE_FrameTabWidget, &frame, &painter, this);
}

void TabControl::resizeEvent(QResizeEvent *)
{
    m_bar->setGeometry(0, 0, width(), m_bar->sizeHint().height());
    for (QWidget *p : m_pages)
        p->setGeometry(rect());
    m_bar->raise();
}

} // namespace vesk
