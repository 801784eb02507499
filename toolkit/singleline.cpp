#include "toolkit/singleline.h"

#include <QLineEdit>
#include <QValidator>

namespace vesk
{
namespace
{

// A validator may rewrite what it is given, and QLineEdit takes the result
// on every path that changes its text, so one place covers them all.
class SingleLineValidator : public QValidator
{
public:
    using QValidator::QValidator;
    State validate(QString &input, int &pos) const override
    {
        if (!input.contains(u'\r') && !input.contains(u'\n'))
            return Acceptable;
        QString out;
        out.reserve(input.size());
        int newPos = pos;
        for (qsizetype i = 0; i < input.size(); ++i) {
            const QChar c = input[i];
            if (c != u'\r' && c != u'\n') {
                out += c;
                continue;
            }
            out += u' ';
            if (c == u'\r' && i + 1 < input.size() && input[i + 1] == u'\n') {
                ++i; // CR LF is one break
                if (i < pos)
                    --newPos;
            }
        }
        input = out;
        pos = newPos;
        return Acceptable;
    }
};

} // namespace

void keepSingleLine(QLineEdit *box)
{
    box->setValidator(new SingleLineValidator(box));
}

} // namespace vesk
