#pragma once

#include <QLabel>

namespace vesk
{

// The help line under the tabs. A screen reader hears it as a label whose
// name is its text, told of every change as the eye sees it; it must
// therefore never be given an accessible name of its own.
class HelpLine : public QLabel
{
    Q_OBJECT
public:
    explicit HelpLine(QWidget *parent = nullptr);
    void setHelp(const QString &text);
};

} // namespace vesk
