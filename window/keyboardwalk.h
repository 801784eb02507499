#pragma once

#include <QObject>

#include <vector>

class QPushButton;
class QWidget;

namespace vesk
{

class TabControl;
struct Form;

// The Tab key's walk through the window: every setting page by page along
// the strip, the other pages' controls, Save, Quit and the strip, bringing
// the page that holds the next stop to the front. Remembers whether the
// user picked the page the strip shows since the keyboard came to the
// strip; the walk changing pages is no pick.
class KeyboardWalk : public QObject
{
    Q_OBJECT
public:
    // Sets the focus order of form's controls; nothing else on the pages
    // takes the focus by Tab.
    explicit KeyboardWalk(const Form &form);

    // The stops, first to last.
    const std::vector<QWidget *> &order() const { return m_order; }
    // Moves the keyboard from current to the next stop or the one before;
    // false, and nothing moved, when current is no stop that shows.
    bool step(QWidget *current, bool next);
    // Shows the page step pages along the strip, the keyboard with it.
    void switchPage(int step);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *firstControlOf(int page) const;
    void focusPage(int page);

    TabControl &m_tabs;
    QPushButton *m_saveButton;
    std::vector<QWidget *> m_order;
    bool m_pagePicked = false;
    bool m_walking = false;
};

} // namespace vesk
