#pragma once

#include "config/configwriter.h"
#include "config/linediff.h"

#include <QDialog>
#include <QString>

#include <vector>

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace vesk
{

class ConfigDocument;

// The window shows at most this many diff lines (a larger diff is not
// read line by line anyway, and the text box would take seconds to fill);
// it says so when it cuts.
inline constexpr size_t kMaxShownDiffLines = 20'000;

// The two sides Review Changes compares.
struct ReviewSides {
    std::vector<QString> onDisk;  // the file at the configuration path now
    std::vector<QString> toWrite; // what Save would write
    QString note;                 // something the comparison cannot show
};
ReviewSides reviewSides(ConfigDocument &document, const ConfigContent &content);

// The Review Changes window: read-only, closed by Close or Escape.
class ReviewChangesDialog : public QDialog
{
    Q_OBJECT
public:
    explicit ReviewChangesDialog(QWidget *parent = nullptr);

    void showChanges(const QString &path, const ReviewSides &sides);

    QPlainTextEdit *view() const { return m_view; }
    QLabel *noteLabel() const { return m_note; }
    QPushButton *closeButton() const { return m_close; }

private:
    QLabel *m_note;
    QPlainTextEdit *m_view;
    QPushButton *m_close;
};

// Opens (or refreshes) the Review Changes window of parent: content as Save
// would write it, against the document's file as it is now.
ReviewChangesDialog *reviewChanges(QWidget &parent, ConfigDocument &document, const ConfigContent &content);

} // namespace vesk
