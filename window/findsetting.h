#pragma once

#include <QObject>
#include <QString>

#include <span>

namespace vesk
{

class MainWindow;
class Toolkit;

// Find Setting and Find Next: look a setting up by caption, key or words
// from its help text, and show it where it sits in the window.
class FindSetting : public QObject
{
    Q_OBJECT
public:
    FindSetting(Toolkit &toolkit, MainWindow &window);

    // Asks for the text, then shows the first setting that matches.
    void find();
    // Shows the next match after the current one, wrapping around; asks
    // for the text first when nothing was searched for yet.
    void findNext();

    const QString &lastSearch() const { return m_last; }
    int currentSlot() const; // -1 before the first match

    // Slots in the order the search runs: tab by tab as the strip shows
    // them, and down each tab's rows.
    static std::span<const int> searchOrder();
    // Caption, key or help text holds text, letter case ignored.
    static bool matches(int slot, const QString &text);

private:
    void searchFrom(size_t start);
    void show(int slot);

    Toolkit &m_toolkit;
    MainWindow &m_window;
    QString m_last;
    std::ptrdiff_t m_current = -1; // position in searchOrder()
};

} // namespace vesk
