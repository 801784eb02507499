#pragma once

#include <QFont>
#include <QStringList>
#include <QTabBar>
#include <QWidget>

#include <vector>

namespace vesk
{

// The tab strip: every caption gets its share of the strip's width, so the
// nine captions fit side by side without scroll arrows.
class FittedTabBar : public QTabBar
{
    Q_OBJECT
public:
    using QTabBar::QTabBar;

protected:
    QSize tabSizeHint(int index) const override;
    QSize minimumTabSizeHint(int index) const override { return tabSizeHint(index); }
    // The style's own tab labels keep a padding the nine captions have no
    // room for; the shapes are the style's, the captions are centred here.
    void paintEvent(QPaintEvent *event) override;

private:
    // The captions' widths, measured again only when a caption or the font
    // changed: a layout asks for every tab's hint, and each hint needs all
    // the widths.
    const std::vector<int> &captionWidths() const;
    mutable QFont m_measuredFont;
    mutable QStringList m_measuredCaptions;
    mutable std::vector<int> m_widths;
    mutable int m_totalWidth = 0;
};

// The tab control: a strip of captions over pages that each span the whole
// control, so the controls on a page are placed relative to the control's
// own top-left corner, tab strip included. Pointer movement over its own
// surface (the strip, or a page where no control covers it) is reported.
class TabControl : public QWidget
{
    Q_OBJECT
public:
    explicit TabControl(QWidget *parent = nullptr);

    QWidget *addPage(const QString &caption, const QString &objectName);
    QWidget *page(int index) const { return m_pages[size_t(index)]; }
    int pageCount() const { return int(m_pages.size()); }
    int currentIndex() const { return m_bar->currentIndex(); }
    void setCurrentIndex(int index) { m_bar->setCurrentIndex(index); }
    int indexOfPageHolding(const QWidget *w) const;
    QTabBar *tabBar() const { return m_bar; }

signals:
    void surfacePointerMoved();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void showPage(int index);

    FittedTabBar *m_bar;
    std::vector<QWidget *> m_pages;
};

} // namespace vesk
