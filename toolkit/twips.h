#pragma once

#include <QRect>
#include <QtMath>

namespace vesk
{

// Positions are laid out in twips (1440 to the inch) and turned into logical
// pixels at the screen's logical DPI, so the window scales with the screen.
class Twips
{
public:
    explicit Twips(qreal dpi = 96.0) : m_dpi(dpi) {}
    int px(int twips) const { return qRound(twips * m_dpi / 1440.0); }
    QRect rect(int left, int top, int width, int height) const
    {
        // Edges are converted, not sizes, so neighbouring controls meet exactly.
        const int l = px(left), t = px(top);
        return QRect(l, t, px(left + width) - l, px(top + height) - t);
    }
    qreal dpi() const { return m_dpi; }

private:
    qreal m_dpi;
};

} // namespace vesk
